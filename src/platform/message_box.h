#pragma once

#include <string>

namespace pap {

// A modal message box with an OK button only, owned by the window that has the keyboard focus
// (MessageBoxA(GetFocus(), text, caption, MB_OK)). Returns when the user has dismissed it.
void ShowMessageBox(const std::string& text, const std::string& caption);

}  // namespace pap
