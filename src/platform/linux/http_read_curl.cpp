// HTTP reads with libcurl.

#include <curl/curl.h>

#include <mutex>
#include <string>

#include "platform/http_read.h"

namespace pap {

namespace {

struct Transfer {
    UrlReadResult* result;
    const std::function<bool(uint64_t, uint64_t)>* progress;
    bool tooLarge = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    std::vector<uint8_t>& into = transfer->result->bytes;
    if (into.size() + bytes > kUrlReadMaxBytes) {
        transfer->tooLarge = true;
        return 0;  // ends the transfer with CURLE_WRITE_ERROR
    }
    into.insert(into.end(), data, data + bytes);
    return bytes;
}

int OnProgress(void* user, curl_off_t total, curl_off_t /*now*/, curl_off_t, curl_off_t)
{
    auto* transfer = static_cast<Transfer*>(user);
    const uint64_t read = transfer->result->bytes.size();
    return (*transfer->progress)(read, total > 0 ? static_cast<uint64_t>(total) : 0) ? 0 : 1;
}

}  // namespace

UrlReadResult ReadHttp(const std::string& address, const std::function<bool(uint64_t, uint64_t)>& progress)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    UrlReadResult result;
    CURL* curl = curl_easy_init();
    if (!curl) {
        result.error = "cannot start an HTTP client";
        return result;
    }
    Transfer transfer{&result, &progress};
    char message[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, message);
    // A worker thread must never take signals (name lookups would use SIGALRM for their timeout).
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);

    result.bytesMax = result.bytes.size();
    if (code != CURLE_OK) {
        result.error = transfer.tooLarge ? std::string("the resource is too large")
                       : message[0]      ? std::string(message)
                                         : std::string(curl_easy_strerror(code));
    } else if (status >= 400) {
        result.error = "HTTP status " + std::to_string(status);
    } else {
        result.ok = true;
    }
    return result;
}

}  // namespace pap
