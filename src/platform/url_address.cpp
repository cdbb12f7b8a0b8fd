#include "platform/url_address.h"

#include <cctype>

namespace pap {

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool IsHttpAddress(const std::string& address)
{
    return StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://");
}

std::string LocalPathOf(const std::string& address)
{
    if (!StartsWithNoCase(address, "file://"))
        return address;
    std::string rest = address.substr(7);
    if (StartsWithNoCase(rest, "localhost/"))
        rest.erase(0, 9);
#ifdef _WIN32
    // "/C:/dir" names the drive's path; "//server/share" stays a network path.
    if (rest.size() >= 3 && rest[0] == '/' && std::isalpha(static_cast<unsigned char>(rest[1])) &&
        rest[2] == ':')
        rest.erase(0, 1);
#endif
    std::string path;
    path.reserve(rest.size());
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
            path += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
            i += 2;
        } else {
            path += rest[i];
        }
    }
    return path;
}

}  // namespace pap
