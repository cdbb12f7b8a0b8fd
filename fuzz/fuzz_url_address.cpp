// Fuzz entry point of the address functions of the URL reader. Any text must be classified and turned
// into a path without fault; a path is never longer than its address, and an address that is not a
// file:// URL is its own path.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/url_address.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string address(reinterpret_cast<const char*>(data), size);
    pap::IsHttpAddress(address);
    const std::string path = pap::LocalPathOf(address);
    if (path.size() > address.size())
        std::abort();
    if (path != address) {
        std::string scheme = address.substr(0, 7);
        for (char& c : scheme)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (scheme != "file://")
            std::abort();
    }
    return 0;
}
