#pragma once

// The platform's HTTP client behind the URL reader (platform/url_reader.h): one blocking read on the
// calling thread.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/url_reader.h"

namespace pap {

// The most bytes a read keeps; a larger resource fails.
constexpr uint64_t kUrlReadMaxBytes = 256ull << 20;

// Reads an http:// or https:// address whole, following redirects. `progress` is called from the
// reading thread with the bytes so far and the announced length (0 when unknown); returning false
// aborts the read. A status of 400 or more is a failure.
UrlReadResult ReadHttp(const std::string& address, const std::function<bool(uint64_t read, uint64_t total)>& progress);

}  // namespace pap
