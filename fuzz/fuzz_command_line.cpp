// Fuzz entry point of the saver's command-line switches: any command line gives a mode letter of at
// most one UTF-8 character and a preview handle, without fault. Each character counts as one, so
// writing every multi-byte character as the single letter 'z' changes neither the handle nor a
// one-byte mode letter, and leaves "Z" where the letter was a multi-byte character.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/utf.h"
#include "saver/switches.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::string mode = pap::ModeLetter(line);
    if (mode.size() > 4)
        std::abort();
    std::string oneByteEach;
    size_t secondLength = 0;
    for (size_t at = 0; at < line.size();) {
        const size_t length = pap::Utf8CharLength(line, at);
        if (length == 0 || at + length > line.size())
            std::abort();
        oneByteEach.push_back(length == 1 ? line[at] : 'z');
        if (oneByteEach.size() == 2)
            secondLength = length;
        at += length;
    }
    if (secondLength == 0 && !mode.empty())
        std::abort();
    if (secondLength == 1) {
        const std::string upper(1, static_cast<char>(std::toupper(static_cast<unsigned char>(oneByteEach[1]))));
        if (mode != upper || pap::ModeLetter(oneByteEach) != upper)
            std::abort();
    }
    if (secondLength > 1 && (mode.size() != secondLength || pap::ModeLetter(oneByteEach) != "Z"))
        std::abort();
    if (pap::PreviewHandle(line) != pap::PreviewHandle(oneByteEach))
        std::abort();
    return 0;
}
