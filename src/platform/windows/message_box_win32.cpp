#include <windows.h>

#include "platform/message_box.h"

namespace pap {

void ShowMessageBox(const std::string& text, const std::string& caption)
{
    MessageBoxA(GetFocus(), text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace pap
