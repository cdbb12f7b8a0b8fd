#pragma once

// GTK 3 for the few desktop dialogs (message boxes, the open-file dialog): started once, on first use.

namespace pap {

// gtk_init_check once per process, keeping the program's own X error handler; false without a usable
// display.
bool StartGtk();

}  // namespace pap
