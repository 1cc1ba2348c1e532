#include "app/frmMain_events.h"

#include "app/guard_box.h"
#include "app/main_window.h"
#include "app/mouse_relief.h"
#include "app/modAppMainUsr.h"
#include "app/s_modAppMain.h"
#include "app/system_error_text.h"
#include "app/window_changes.h"
#include "ports/port_writes.h"
#include "support/s_modMiscStd.h"

namespace portquell {

namespace {

// Only access denied is a matter of rights; any other refusal is told in
// the system's own words, with its number.
std::string SaveFailedText(std::int32_t status) {
    const std::string first = "The change could not be saved: the registry refused it (status " +
                              std::to_string(status) + ").\r\n\r\n";
    if (status == regstatus::kAccessDenied) {
        return first +
               "Writing serial port settings needs administrator rights. "
               "Start Portquell with \"Run as administrator\" and try again.";
    }
    const std::string description = SystemErrorText(status);
    return first + (description.empty() ? "The system gives no description of this status."
                                        : description);
}

// A port whose value could not be read is not written: what it held could
// not be put back.
std::string ReadFailedText(const std::string& name, std::int32_t status) {
    std::string text = "The state of " + name + " could not be read (" + StatusInWords(status) +
                       "), so nothing was written.";
    if (status == regstatus::kAccessDenied) {
        text += "\r\n\r\nReading and writing serial port settings needs administrator rights. Start Portquell "
                "with \"Run as administrator\" and try again.";
    }
    return text;
}

}  // namespace

void Form_Load(MainWindow& form) { CenterForm(form); }

SerialPort PortOfTag(const std::string& tag) {
    const std::size_t first = tag.find('\\');
    const std::size_t second = first == std::string::npos ? first : tag.find('\\', first + 1);
    if (second == std::string::npos) return SerialPort::Acpi(StrToLong(tag));
    return SerialPort{tag.substr(0, first), tag.substr(first + 1, second - first - 1), tag.substr(second + 1), "", {}, std::nullopt, std::nullopt};
}

void chkPort_Click(MainWindow& form, std::int16_t index, RegistryApi& registry, DeviceApi& devices) {
    if (bScanning) return;
    const bool ticked = form.BoxState(index) == kTicked;
    SerialPort port = PortOfTag(form.BoxTag(index));
    const bool known = static_cast<std::size_t>(index) < gPortBoxes.size();
    if (known) port.portName = gPortBoxes[static_cast<std::size_t>(index)].portName;
    // As portquell-cli disable and enable write: the value read first (a
    // refused read refuses the write), then written, or nothing changed.
    PortWrites writes;
    const bool ran = RunWindowChange(
        form, registry, devices,
        PortTitle(port) + (ticked ? " ticked: mouse detection off" : " cleared: mouse detection on"),
        [&](RegistryApi& r, DeviceApi&) { writes = WriteDetection(r, {port}, ticked); });
    if (!ran || !writes.Done()) {
        // The screen must not claim a state the registry does not hold.
        form.RestoreBoxState(index, known ? gPortBoxes[static_cast<std::size_t>(index)].state
                                          : ticked ? kCleared : kTicked);
        if (!ran) return;
        const PortRefusal& refused = *writes.refused;
        form.MessageBox(refused.step == PortRefusal::Step::Read ? ReadFailedText(PortTitle(port), refused.status)
                                                                : SaveFailedText(refused.status),
                        MessageIcon::Warning);
        return;
    }
    if (known) gPortBoxes[static_cast<std::size_t>(index)].state = ticked ? kTicked : kCleared;
    if (!ticked) return;
    OfferMouseRemoval(form, port, registry, devices);
    OfferGuard(form, port, registry, devices);
}

void cmdAbout_Click(MainWindow& form) { form.MessageBox(kAboutText, MessageIcon::None); }

void cmdClose_Click(MainWindow& form) { EndProgram(form); }

}  // namespace portquell
