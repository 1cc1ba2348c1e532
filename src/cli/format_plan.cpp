// A preview's plan: what a command would write, restart and remove.
#include "cli/cli_formats.h"
#include "cli/cli_text.h"
#include "registry/clsRegHandler.h"

namespace portquell {

namespace {

// "HKLM\\", "HKCU\\": the only roots a command writes; any other as "root\\".
const char* RootText(RegHandle root) {
    return root == regroot::kLocalMachine ? "HKLM\\" : root == regroot::kCurrentUser ? "HKCU\\" : "root\\";
}

std::string KeyText(const RegWrite& write) { return RootText(write.root) + PrintablePath(write.key); }

std::string KeyJson(const RegWrite& write) { return JsonString(RootText(write.root) + write.key); }

const char* ActionWord(RegWrite::Kind kind) {
    switch (kind) {
        case RegWrite::Kind::CreateKey:
            return "createKey";
        case RegWrite::Kind::SetValue:
            return "setValue";
        case RegWrite::Kind::DeleteValue:
            return "deleteValue";
        case RegWrite::Kind::DeleteKey:
            break;
    }
    return "deleteKey";
}

bool IsText(std::uint32_t type) { return type == regtype::kSz || type == regtype::kExpandSz; }

// The data as a REG_SZ's text (without its NUL), a REG_DWORD's number, or
// bytes in hex.
std::string DataText(const RegWrite& write, bool json) {
    if (IsText(write.type)) {
        const std::string text = write.data.substr(0, write.data.find('\0'));
        return json ? JsonString(text) : Printable(text);
    }
    const std::optional<std::uint32_t> number =
        write.type == regtype::kDword ? FourByteNumber(write.data) : std::nullopt;
    if (number) return std::to_string(static_cast<std::int32_t>(*number));
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : write.data) {
        const auto byte = static_cast<unsigned char>(c);
        hex += std::string(hex.empty() ? "" : " ") + kDigits[byte >> 4] + kDigits[byte & 15];
    }
    return json ? JsonString(hex) : hex;
}

}  // namespace

void WritePlanText(const ChangePlan& plan, std::ostream& out) {
    for (const RegWrite& write : plan.writes) {
        switch (write.kind) {
            case RegWrite::Kind::CreateKey:
                out << "would create " << KeyText(write) << "\n";
                break;
            case RegWrite::Kind::SetValue:
                out << "would set " << KeyText(write) << " " << Printable(write.name) << " = " << TypeName(write.type)
                    << " " << DataText(write, false) << "\n";
                break;
            case RegWrite::Kind::DeleteValue:
                out << "would delete " << KeyText(write) << " " << Printable(write.name) << "\n";
                break;
            case RegWrite::Kind::DeleteKey:
                out << "would delete the key " << KeyText(write) << "\n";
                break;
        }
    }
    for (const std::string& id : plan.restarts) out << "would restart " << DeviceLabel(id) << "\n";
    for (const std::string& id : plan.removals) out << "would remove serial mouse " << DeviceLabel(id) << "\n";
    if (plan.Empty()) out << "would change nothing\n";
}

void WritePlanJson(const ChangePlan& plan, std::ostream& out) {
    out << ",\n  \"plan\": {\"writes\": [";
    for (std::size_t i = 0; i < plan.writes.size(); ++i) {
        const RegWrite& w = plan.writes[i];
        const bool value = w.kind == RegWrite::Kind::SetValue || w.kind == RegWrite::Kind::DeleteValue;
        out << (i == 0 ? "\n    " : ",\n    ") << "{\"action\": \"" << ActionWord(w.kind) << "\", \"key\": " << KeyJson(w)
            << ", \"value\": " << (value ? JsonString(w.name) : "null");
        if (w.kind == RegWrite::Kind::SetValue) {
            out << ", \"type\": " << JsonString(TypeName(w.type)) << ", \"data\": " << DataText(w, true);
        }
        out << "}";
    }
    out << (plan.writes.empty() ? "]" : "\n  ]");
    const auto ids = [&](const char* name, const std::vector<std::string>& list) {
        out << ", \"" << name << "\": [";
        for (std::size_t i = 0; i < list.size(); ++i) out << (i == 0 ? "" : ", ") << JsonString(list[i]);
        out << "]";
    };
    ids("restarts", plan.restarts);
    ids("removals", plan.removals);
    out << "}";
}

}  // namespace portquell
