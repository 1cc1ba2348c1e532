#pragma once

namespace portquell {

class MainWindow;

// Unloads the main window; with it gone the program ends and no further
// event is handled.
void EndProgram(MainWindow& form);

}  // namespace portquell
