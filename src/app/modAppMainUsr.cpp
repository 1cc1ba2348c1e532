#include "app/modAppMainUsr.h"

#include <algorithm>
#include <iterator>

#include "app/guard_box.h"
#include "app/main_window.h"
#include "app/mouse_relief.h"
#include "app/mouse_scan.h"
#include "app/system_error_text.h"
#include "app/window_design.h"
#include "ports/port_identity.h"
#include "ports/serial_port.h"

namespace portquell {

std::int32_t iPortCount = 0;
std::vector<PortBox> gPortBoxes;
std::int32_t iDisabledCount = 0;
bool bScanning = false;

namespace {

using namespace design;

// The window's height below the buttons' bottom edge: the fit's fixed
// allowance, unless the window's real title bar and borders are taller
// than that allowance leaves room for (Windows 10 and 11 draw 585 twips at
// 100 %); then the design's margin below the buttons plus the real frame,
// so that no control is ever cut off.
std::int32_t BelowButtons(const MainWindow& form) {
    return std::max(kBelowButtons, kButtonMargin + form.FrameHeight());
}

// The guard's row under the frame, when its box is shown.
std::int32_t GuardRow(const MainWindow& form) { return form.GuardVisible() ? kGuard.height + kButtonGap : 0; }

// Frame height B, the guard's box and the buttons below it, window height
// to match.
void ApplyFrameHeight(MainWindow& form, std::int32_t frameHeight) {
    form.SetControlHeight(Control::fraPorts, frameHeight);
    const Rect frame = form.ControlRect(Control::fraPorts);
    form.SetControlTop(Control::chkGuard, frame.top + frame.height + kButtonGap);
    const std::int32_t buttonTop = frame.top + frame.height + kButtonGap + GuardRow(form);
    form.SetControlTop(Control::cmdClose, buttonTop);
    const Rect close = form.ControlRect(Control::cmdClose);
    form.SetOuterHeight(close.top + close.height + BelowButtons(form));
    form.SetControlTop(Control::cmdAbout, close.top);
}

// A long list: the frame grows to hold every box, the window with it, up
// to the work area; past that the frame's contents scroll.
void GrowToList(MainWindow& form, std::int32_t listHeight) {
    const Rect frame = form.ControlRect(Control::fraPorts);
    const Rect close = form.ControlRect(Control::cmdClose);
    const Rect work = form.WorkArea();
    // Everything of the window's height that is not the frame.
    const std::int32_t fixed = frame.top + kButtonGap + GuardRow(form) + close.height + BelowButtons(form);
    const std::int32_t frameHeight = std::min(listHeight, work.height - fixed);
    ApplyFrameHeight(form, frameHeight);
    form.SetFrameScrollExtent(frameHeight < listHeight ? listHeight : 0);
    // Keep the grown window on the screen.
    const Rect outer = form.OuterRect();
    const std::int32_t lowestTop = work.top + work.height - outer.height;
    if (outer.top > lowestTop) form.MoveOuter(outer.left, std::max(work.top, lowestTop));
}

void FitLayout(MainWindow& form) {
    const Rect last = form.BoxRect(static_cast<std::int16_t>(std::max(iPortCount - 1, 0)));
    const std::int32_t listHeight = last.top + last.height + kFrameBottomMargin;
    if (iPortCount > 3 && listHeight < form.ControlRect(Control::fraPorts).height) {
        ApplyFrameHeight(form, listHeight);
    } else if (iPortCount >= kFirstGrowingCount) {
        GrowToList(form, listHeight);
    } else if (form.GuardVisible()) {
        // The design's frame, and room under it for the guard's box.
        ApplyFrameHeight(form, form.ControlRect(Control::fraPorts).height);
    }
}

// A port outside the window's own list names its device after the port
// name ("COM7  GPS Receiver"); control characters show as spaces.
std::string CaptionOf(const SerialPort& port) {
    const std::optional<std::string> title = port.identity ? port.identity->Title() : std::nullopt;
    std::string caption = title ? port.portName + "  " + *title : port.portName;
    for (char& c : caption) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return caption;
}

// Wide enough for the longest caption, up to the work area, and still on
// the screen: no caption is cut off.
void FitWidth(MainWindow& form) {
    std::int32_t widest = form.GuardVisible() ? form.CaptionWidth(kGuardCaption) : 0;
    for (std::int16_t k = 0; k < iPortCount; ++k) widest = std::max(widest, form.CaptionWidth(form.BoxCaption(k)));
    const Rect outer = form.OuterRect();
    const Rect work = form.WorkArea();
    const std::int32_t extra = std::min(widest - form.BoxRect(0).width, work.width - outer.width);
    if (extra <= 0) return;
    form.Widen(extra);
    const Rect widened = form.OuterRect();
    const std::int32_t leftmost = work.left + work.width - widened.width;
    if (widened.left > leftmost) form.MoveOuter(std::max(work.left, leftmost), widened.top);
}

// A box of the scan: a port, and the status of its state's read when that
// was refused.
struct ScannedBox {
    SerialPort port;
    std::optional<RegStatus> refused;
    bool named = true;  // its PortName was read
};

// The inventory's ports and those whose state could not be read, in the
// registry's order (the window's own by instance number). A key that would
// not open shows no box: nothing of it is claimed.
std::vector<ScannedBox> Boxes(const PortInventory& inventory) {
    std::vector<ScannedBox> boxes;
    for (const SerialPort& port : inventory.ports) boxes.push_back({port, std::nullopt});
    for (const PortRefusal& refusal : inventory.refusals) {
        if (refusal.step != PortRefusal::Step::Read) continue;
        ScannedBox box{refusal.port.value_or(SerialPort{}), refusal.status, refusal.port.has_value()};
        if (!refusal.port) {
            // The name could not be read: the box shows what the handler
            // gives for it, and the state where that was read.
            if (!refusal.read) continue;
            for (std::int32_t n = kFirstPortInstance; n <= kLastPortInstance; ++n) {
                if (refusal.key == PortParameterKey(n)) box.port = SerialPort::Acpi(n);
            }
            if (!box.port.WindowInstance()) continue;
            box.port.portName = refusal.read->portName;
            box.port.skip = refusal.read->skip;
            box.refused = Refused(refusal.read->skipStatus) ? std::optional<RegStatus>(refusal.read->skipStatus)
                                                             : std::nullopt;
        }
        const std::optional<std::int32_t> mine = box.port.WindowInstance();
        const auto at = std::find_if(boxes.begin(), boxes.end(), [&](const ScannedBox& b) {
            const std::optional<std::int32_t> theirs = b.port.WindowInstance();
            return mine && (!theirs || *theirs > *mine);
        });
        boxes.insert(at, box);
    }
    return boxes;
}

// The program's first line, then what it did not show.
std::string Report(const std::vector<std::string>& lines) {
    std::string text = iPortCount == 0 ? "No serial ports found..."
                                       : "Found " + std::to_string(iPortCount) + " serial ports, and " +
                                             std::to_string(iDisabledCount) + " was already disabled";
    for (const std::string& line : lines) text += "\r\n" + line;
    return text;
}

}  // namespace

void Main(MainWindow& form, RegistryApi& registry, DeviceApi& devices, PortScope scope) {
    iPortCount = 0;
    iDisabledCount = 0;
    gPortBoxes.clear();
    bGuardOffered = false;
    form.Load();
    ScanSerialPorts(form, registry, devices, scope);
}

void ScanSerialPorts(MainWindow& form, RegistryApi& registry, DeviceApi& devices, PortScope scope) {
    bScanning = true;
    gPortBoxes.clear();
    // The window's ports, or with /all every port, as the model takes them:
    // a port whose state could not be read is shown as such, never as on.
    const PortInventory inventory = TakeInventory(registry, scope);
    std::vector<ScannedBox> boxes = Boxes(inventory);
    std::vector<SerialPort> others;
    for (const ScannedBox& box : boxes) {
        if (!box.port.WindowInstance()) others.push_back(box.port);
    }
    IdentifyPorts(registry, devices, others);
    std::vector<std::string> lines;
    std::size_t next = 0;
    for (const ScannedBox& box : boxes) {
        const std::optional<std::int32_t> n = box.port.WindowInstance();
        // The window's own keep their instance numbers as tags and their
        // names alone as captions.
        const std::string caption = n ? box.port.portName : CaptionOf(others[next++]);
        AddPortCheckBox(form, n ? std::to_string(*n) : box.port.InstanceId(), box.port.portName, box.port.skip,
                        caption, box.refused.has_value());
        if (box.refused) {
            lines.push_back("The state of " + (box.named ? PortTitle(box.port) : box.port.InstanceId()) + " could not be read (" +
                            StatusInWords(*box.refused) + ").");
        }
    }
    StartupMice mice;
    if (scope == PortScope::Acpi) {
        // After the window's own, as /all lists them.
        mice = LookForSerialMice(registry, devices, iPortCount > 0);
        IdentifyPorts(registry, devices, mice.ports);
        for (const SerialPort& port : mice.ports) {
            AddPortCheckBox(form, port.InstanceId(), port.portName, port.skip, CaptionOf(port));
        }
    }
    lines.insert(lines.end(), mice.lines.begin(), mice.lines.end());
    ShowGuardBox(form, registry, devices, scope == PortScope::All || !others.empty() || !mice.ports.empty());
    FitLayout(form);
    FitWidth(form);
    form.Show();
    bScanning = false;
    form.MessageBox(Report(lines), MessageIcon::None);
}

PortScope ScopeOfCommandLine(const std::string& commandLine) {
    std::size_t start = commandLine.find_first_not_of(" \t");
    while (start != std::string::npos) {
        const std::size_t end = commandLine.find_first_of(" \t", start);
        const std::string word = commandLine.substr(start, end == std::string::npos ? end : end - start);
        for (const char* all : {"/all", "-all", "--all"}) {
            if (SameTextIgnoringCase(word, all)) return PortScope::All;
        }
        start = end == std::string::npos ? end : commandLine.find_first_not_of(" \t", end);
    }
    return PortScope::Acpi;
}

void AddPortCheckBox(MainWindow& form, std::int16_t instance, const std::string& portName,
                     const SkipSetting& skip) {
    AddPortCheckBox(form, std::to_string(instance), portName, skip);
}

void AddPortCheckBox(MainWindow& form, const std::string& tag, const std::string& portName,
                     const SkipSetting& skip, const std::string& caption, bool unread) {
    const auto k = static_cast<std::int16_t>(iPortCount);
    if (k > 0) {
        form.CreateBox(k);
        form.SetBoxVisible(k, true);
        const Rect previous = form.BoxRect(static_cast<std::int16_t>(k - 1));
        form.SetBoxTop(k, previous.top + form.BoxRect(0).height + kBoxSpacing);
        form.SetBoxLeft(k, previous.left);
    }
    form.SetBoxVisible(k, true);
    form.SetBoxCaption(k, caption.empty() ? portName : caption);
    form.SetBoxTag(k, tag);
    form.SetBoxState(k, unread ? kIndeterminate : skip.Off() ? kTicked : kCleared);
    if (form.BoxState(k) == kTicked) ++iDisabledCount;
    gPortBoxes.push_back({portName, form.BoxState(k)});
    ++iPortCount;
}

}  // namespace portquell
