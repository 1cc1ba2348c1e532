// What the main window does on its events. The Win32 window and the test
// fake route their events here, so both behave alike.
#pragma once

#include <cstdint>

#include "registry/registry_api.h"
#include "support/program_title.h"

namespace portquell {

class MainWindow;

inline constexpr const char* kAboutText =
    "Tool for disabling serial mouse detection on COM-ports\r\n\r\n"
    "Portquell, written and published by the Portquell developers";

// Loading: centre the window on the screen.
void Form_Load(MainWindow& form);
// A box changed state: the port switch. Writes SkipEnumerations for the
// box's port (-1 ticked, 0 cleared); on a refused write the box goes back
// to its previous state and a warning says why.
void chkPort_Click(MainWindow& form, std::int16_t index, RegistryApi& registry);
void cmdAbout_Click(MainWindow& form);
void cmdClose_Click(MainWindow& form);

}  // namespace portquell
