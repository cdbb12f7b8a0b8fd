// HTTP reads with WinINet. When the network fails (no answer from the server), the read is tried once
// more from the WinINet cache, so that a resource seen before still shows while offline.

#include <windows.h>
#include <wininet.h>

#include <string>

#include "platform/http_read.h"
#include "wide_text.h"

namespace pap {

namespace {

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle) : m_handle(handle) {}
    ~InternetHandle()
    {
        if (m_handle)
            InternetCloseHandle(m_handle);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return m_handle; }

private:
    HINTERNET m_handle;
};

std::string ErrorText(const char* what)
{
    return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

UrlReadResult ReadHttp(const std::string& address, const std::function<bool(uint64_t, uint64_t)>& progress)
{
    UrlReadResult result;
    InternetHandle session(InternetOpenW(L"Papyrant", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session.get()) {
        result.error = ErrorText("cannot start an HTTP client");
        return result;
    }
    DWORD timeout = 30000;
    InternetSetOptionW(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(session.get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);

    const std::wstring wideAddress = WideFromUtf8(address);
    HINTERNET opened = InternetOpenUrlW(session.get(), wideAddress.c_str(), nullptr, 0,
                                        INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES, 0);
    if (!opened) {
        const std::string networkError = ErrorText("cannot reach the address");
        opened = InternetOpenUrlW(session.get(), wideAddress.c_str(), nullptr, 0,
                                  INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_FROM_CACHE |
                                      INTERNET_FLAG_OFFLINE,
                                  0);
        if (!opened) {
            result.error = networkError;
            return result;
        }
    }
    InternetHandle request(opened);

    DWORD status = 0;
    DWORD size = sizeof status;
    if (HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) &&
        status >= 400) {
        result.error = "HTTP status " + std::to_string(status);
        return result;
    }
    DWORD length = 0;
    size = sizeof length;
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr))
        length = 0;

    uint8_t buffer[16384];
    for (;;) {
        if (!progress(result.bytes.size(), length)) {
            result.error = "cancelled";
            return result;
        }
        DWORD got = 0;
        if (!InternetReadFile(request.get(), buffer, sizeof buffer, &got)) {
            result.error = ErrorText("the transfer failed");
            result.bytesMax = result.bytes.size();
            return result;
        }
        if (got == 0)
            break;
        if (result.bytes.size() + got > kUrlReadMaxBytes) {
            result.error = "the resource is too large";
            result.bytesMax = result.bytes.size();
            return result;
        }
        result.bytes.insert(result.bytes.end(), buffer, buffer + got);
    }
    result.bytesMax = result.bytes.size();
    result.ok = true;
    return result;
}

}  // namespace pap
