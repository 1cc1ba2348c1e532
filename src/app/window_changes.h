// Every change the window makes (a tick, a mouse removed, the guard's box)
// runs as portquell-cli's do: one at a time on the machine, reported to
// the event log with what was clicked.
#pragma once

#include <functional>
#include <string>

#include "devices/device_api.h"
#include "ports/change_run.h"
#include "registry/registry_api.h"

namespace portquell {

class MainWindow;

// The window's log, lock and who runs it: the system's, as the program's
// start sets them; until then (and after nullptr) a log and a lock of the
// window's own.
void UseChangeSeams(const ChangeSeams* seams);

// Runs change under the lock, reporting it as what (the click, e.g. "COM5
// ticked: mouse detection off"). False, after saying why in a message,
// when it did not run: another run held the lock, or it could not be
// taken. A change that ran but could not be reported is said too.
bool RunWindowChange(MainWindow& form, RegistryApi& registry, DeviceApi& devices, const std::string& what,
                     const std::function<void(RegistryApi&, DeviceApi&)>& change);

}  // namespace portquell
