#include "replay/report_reader.h"

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

namespace portquell {

namespace {

// A JSON value as a report holds it: numbers are whole, strings bytes.
struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool flag = false;
    long long number = 0;
    std::string text;
    std::vector<Json> items;         // an array's, or an object's values
    std::vector<std::string> names;  // an object's names, one per item
};

struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}
    Json Document() {
        Json value = Value(0);
        Blank();
        if (at_ != text_.size()) Fail("text after the document");
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw Refused("broken JSON at byte " + std::to_string(at_) + ": " + what);
    }
    void Blank() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t')) ++at_;
    }
    bool Take(char c) {
        Blank();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    void Expect(char c) {
        if (!Take(c)) Fail(std::string("'") + c + "' expected");
    }
    bool Word(const char* word) {
        const std::string w = word;
        if (text_.compare(at_, w.size(), w) != 0) return false;
        at_ += w.size();
        return true;
    }
    Json Value(int depth) {
        if (depth > kMaxReportDepth) Fail("nested too deep");
        Blank();
        if (at_ >= text_.size()) Fail("a value expected");
        Json v;
        const char c = text_[at_];
        if (c == '{') {
            ++at_;
            v.kind = Json::Kind::Object;
            if (Take('}')) return v;
            do {
                Blank();
                v.names.push_back(String());
                Expect(':');
                v.items.push_back(Value(depth + 1));
            } while (Take(','));
            Expect('}');
        } else if (c == '[') {
            ++at_;
            v.kind = Json::Kind::Array;
            if (Take(']')) return v;
            do {
                v.items.push_back(Value(depth + 1));
            } while (Take(','));
            Expect(']');
        } else if (c == '"') {
            v.kind = Json::Kind::String;
            v.text = String();
        } else if (Word("true")) {
            v.kind = Json::Kind::Bool;
            v.flag = true;
        } else if (Word("false")) {
            v.kind = Json::Kind::Bool;
        } else if (Word("null")) {
            v.kind = Json::Kind::Null;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            v.kind = Json::Kind::Number;
            const bool negative = c == '-';
            if (negative) ++at_;
            std::size_t digits = 0;
            unsigned long long n = 0;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
                if (++digits > 18) Fail("a number too long");
                n = n * 10 + static_cast<unsigned>(text_[at_++] - '0');
            }
            if (digits == 0) Fail("digits expected");
            if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E')) Fail("a whole number expected");
            v.number = negative ? -static_cast<long long>(n) : static_cast<long long>(n);
        } else {
            Fail("a value expected");
        }
        return v;
    }
    // A string's bytes: \u00XX is one byte; any other \u a character this
    // program never writes.
    std::string String() {
        if (at_ >= text_.size() || text_[at_] != '"') Fail("a string expected");
        ++at_;
        std::string out;
        for (;;) {
            if (at_ >= text_.size()) Fail("an unended string");
            const char c = text_[at_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) Fail("a control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) Fail("an unended escape");
            const char e = text_[at_++];
            if (e == '"' || e == '\\' || e == '/') {
                out += e;
            } else if (e == 'n') {
                out += '\n';
            } else if (e == 'r') {
                out += '\r';
            } else if (e == 't') {
                out += '\t';
            } else if (e == 'u' && at_ + 4 <= text_.size()) {
                unsigned code = 0;
                for (int i = 0; i < 4; ++i) {
                    const char h = text_[at_++];
                    const int d = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
                    if (d < 0) Fail("a bad \\u escape");
                    code = code * 16 + static_cast<unsigned>(d);
                }
                if (code > 0xFF) Fail("a character beyond one byte (\\u00XX) in a string");
                out += static_cast<char>(code);
            } else {
                Fail("a bad escape");
            }
        }
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

// The fields of a report, each checked where it is read.
class Reader {
public:
    const Json& Field(const Json& object, const std::string& name, const std::string& where) const {
        if (object.kind != Json::Kind::Object) throw Refused(where + ": an object expected");
        for (std::size_t i = 0; i < object.names.size(); ++i) {
            if (object.names[i] == name) return object.items[i];
        }
        throw Refused(where + "." + name + ": missing");
    }
    const std::vector<Json>& Array(const Json& object, const std::string& name, const std::string& where) const {
        const Json& v = Field(object, name, where);
        if (v.kind != Json::Kind::Array) throw Refused(where + "." + name + ": an array expected");
        return v.items;
    }
    std::string Text(const Json& object, const std::string& name, const std::string& where) const {
        const Json& v = Field(object, name, where);
        if (v.kind != Json::Kind::String) throw Refused(where + "." + name + ": a string expected");
        return v.text;
    }
    long long Number(const Json& object, const std::string& name, const std::string& where, long long low,
                     long long high) const {
        const Json& v = Field(object, name, where);
        if (v.kind != Json::Kind::Number || v.number < low || v.number > high) {
            throw Refused(where + "." + name + ": a number from " + std::to_string(low) + " to " + std::to_string(high) + " expected");
        }
        return v.number;
    }
    bool Flag(const Json& object, const std::string& name, const std::string& where) const {
        const Json& v = Field(object, name, where);
        if (v.kind != Json::Kind::Bool) throw Refused(where + "." + name + ": true or false expected");
        return v.flag;
    }
    std::vector<std::string> Texts(const Json& object, const std::string& name, const std::string& where) const {
        std::vector<std::string> texts;
        const std::vector<Json>& items = Array(object, name, where);
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].kind != Json::Kind::String) throw Refused(where + "." + name + "[" + std::to_string(i) + "]: a string expected");
            texts.push_back(items[i].text);
        }
        return texts;
    }
    DevStatus Status(const Json& object, const std::string& where) const {
        const Json& s = Field(object, "status", where);
        const std::string kind = Text(s, "kind", where + ".status");
        if (kind != "win32" && kind != "configret") throw Refused(where + ".status.kind: win32 or configret expected");
        const auto code = static_cast<std::uint32_t>(Number(s, "code", where + ".status", 0, 0xFFFFFFFFLL));
        return kind == "win32" ? DevStatus::Win32(code) : DevStatus::ConfigRet(code);
    }
};

RegHandle RootOf(const std::string& name, const std::string& where) {
    static const std::map<std::string, RegHandle> roots = {
        {"HKLM", regroot::kLocalMachine}, {"HKCU", regroot::kCurrentUser}, {"HKCR", regroot::kClassesRoot},
        {"HKU", regroot::kUsers}, {"HKCC", regroot::kCurrentConfig}};
    const auto found = roots.find(name);
    if (found == roots.end()) throw Refused(where + ".root: HKLM, HKCU, HKCR, HKU or HKCC expected");
    return found->second;
}

std::string Bytes(const std::string& hex, const std::string& where) {
    if (hex.size() % 2 != 0) throw Refused(where + ": hexadecimal bytes expected");
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int byte = 0;
        for (std::size_t k = i; k < i + 2; ++k) {
            const char h = hex[k];
            const int d = h >= '0' && h <= '9' ? h - '0' : h >= 'A' && h <= 'F' ? h - 'A' + 10 : h >= 'a' && h <= 'f' ? h - 'a' + 10 : -1;
            if (d < 0) throw Refused(where + ": hexadecimal bytes expected");
            byte = byte * 16 + d;
        }
        out += static_cast<char>(byte);
    }
    return out;
}

void Fill(const Json& doc, MachineReport& r) {
    const Reader read;
    r.format = static_cast<int>(read.Number(doc, "format", "report", 0, 1000000));
    if (r.format != kReportFormat) {
        throw Refused("report.format: " + std::to_string(r.format) + " is not format " + std::to_string(kReportFormat) +
                      ", the one this program reads");
    }
    const Json& program = read.Field(doc, "program", "report");
    r.version = read.Text(program, "version", "program");
    r.commit = read.Text(program, "commit", "program");
    const Json& system = read.Field(doc, "system", "report");
    r.product = read.Text(system, "product", "system");
    r.displayVersion = read.Text(system, "displayVersion", "system");
    r.build = read.Text(system, "build", "system");
    r.computer = read.Text(system, "computer", "system");
    r.elevated = read.Flag(system, "elevated", "system");
    const std::vector<Json>& keys = read.Array(doc, "registry", "report");
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string where = "registry[" + std::to_string(i) + "]";
        KeyRead key;
        key.root = RootOf(read.Text(keys[i], "root", where), where);
        key.path = read.Text(keys[i], "key", where);
        bool refused = false;
        for (const std::string& name : keys[i].names) refused = refused || name == "status";
        if (refused) {
            key.status = static_cast<RegStatus>(read.Number(keys[i], "status", where, 1, 0x7FFFFFFF));
        } else {
            key.subKeys = read.Texts(keys[i], "subKeys", where);
            const std::vector<Json>& values = read.Array(keys[i], "values", where);
            for (std::size_t k = 0; k < values.size(); ++k) {
                const std::string at = where + ".values[" + std::to_string(k) + "]";
                key.values.push_back({read.Text(values[k], "name", at),
                                      static_cast<std::uint32_t>(read.Number(values[k], "type", at, 0, 0xFFFFFFFFLL)),
                                      Bytes(read.Text(values[k], "data", at), at + ".data")});
            }
        }
        r.registry.push_back(std::move(key));
    }
    const std::vector<Json>& listings = read.Array(doc, "listings", "report");
    for (std::size_t i = 0; i < listings.size(); ++i) {
        const std::string where = "listings[" + std::to_string(i) + "]";
        ListingRead listing{read.Text(listings[i], "class", where), read.Text(listings[i], "enumerator", where),
                            read.Status(listings[i], where), {}};
        const std::vector<Json>& devices = read.Array(listings[i], "devices", where);
        for (std::size_t k = 0; k < devices.size(); ++k) {
            const std::string at = where + ".devices[" + std::to_string(k) + "]";
            DeviceInfo d;
            d.instanceId = read.Text(devices[k], "id", at);
            d.hardwareIds = read.Texts(devices[k], "hardwareIds", at);
            d.compatibleIds = read.Texts(devices[k], "compatibleIds", at);
            d.service = read.Text(devices[k], "service", at);
            d.classGuid = read.Text(devices[k], "class", at);
            d.present = read.Flag(devices[k], "present", at);
            d.parent = read.Text(devices[k], "parent", at);
            listing.devices.push_back(std::move(d));
        }
        r.listings.push_back(std::move(listing));
    }
    const std::vector<Json>& details = read.Array(doc, "details", "report");
    for (std::size_t i = 0; i < details.size(); ++i) {
        const std::string where = "details[" + std::to_string(i) + "]";
        DetailsRead d{read.Text(details[i], "id", where), read.Status(details[i], where), {}};
        if (read.Field(details[i], "reported", where).kind != Json::Kind::Null) {
            d.details.reported = read.Text(details[i], "reported", where);
        }
        d.details.parent = read.Text(details[i], "parent", where);
        r.details.push_back(std::move(d));
    }
    const std::vector<Json>& answers = read.Array(doc, "answers", "report");
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const std::string where = "answers[" + std::to_string(i) + "]";
        r.answers.push_back({read.Texts(answers[i], "command", where),
                             static_cast<int>(read.Number(answers[i], "exit", where, 0, 255)),
                             read.Text(answers[i], "stdout", where), read.Text(answers[i], "stderr", where)});
    }
}

}  // namespace

bool ReadReport(const std::string& text, MachineReport& report, std::string& why) {
    if (text.size() > kMaxReportBytes) {
        why = "the report is larger than " + std::to_string(kMaxReportBytes >> 20) + " MiB";
        return false;
    }
    try {
        MachineReport read;
        Fill(Parser(text).Document(), read);
        report = std::move(read);
        return true;
    } catch (const Refused& refused) {
        why = refused.what();
    } catch (const std::bad_alloc&) {
        why = "the report is too large to read";
    }
    return false;
}

}  // namespace portquell
