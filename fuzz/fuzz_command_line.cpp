// Fuzz entry point of the saver's command-line switches: any command line gives a mode letter of at
// most one character and a preview handle, without fault; for ASCII text the letter is the second
// byte in upper case.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "saver/switches.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::string mode = pap::ModeLetter(line);
    if (mode.size() > 4)
        std::abort();
    bool ascii = true;
    for (char c : line)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii && size >= 2 && mode != std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(line[1])))))
        std::abort();
    if (size < 2 && !mode.empty())
        std::abort();
    (void)pap::PreviewHandle(line);
    return 0;
}
