#include "app/s_modAppMain.h"

#include "app/main_window.h"

namespace portquell {

void EndProgram(MainWindow& form) { form.Unload(); }

}  // namespace portquell
