#pragma once

// Reads whole resources in the background: local files (a path or a file:// URL) and http:// or https://
// addresses. The reads run on a worker thread; their callbacks run on the program's thread, posted to
// the event loop of the UiSystem the reader was made with.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pap {

class UiSystem;

struct UrlReadResult {
    bool ok = false;
    std::vector<uint8_t> bytes;
    // The number of bytes received (the server may not have announced a length).
    uint64_t bytesMax = 0;
    // Why the read failed, for people; empty when it succeeded.
    std::string error;
};

class UrlReader {
public:
    // Progress of one read: the bytes received so far, the total when it is known (else the bytes so
    // far), and whether the read has just failed; a failure is followed by its completion.
    using Progress = std::function<void(uint64_t bytesRead, uint64_t bytesMax, bool failed)>;
    using Complete = std::function<void(UrlReadResult)>;

    // Ends the reads still running and waits for the worker; no callback comes afterwards.
    virtual ~UrlReader() = default;
    // Starts reading `address`; the reads of one reader run one after another, in the order started.
    // Returns the read's id (never 0), or 0 when the read cannot start (an empty address). Progress
    // callbacks may be merged while the program is busy; the completion comes exactly once.
    virtual uint64_t start(const std::string& address, Progress progress, Complete complete) = 0;
    // Stops a read: none of its callbacks runs after this call. Unknown or finished ids are ignored.
    virtual void cancel(uint64_t id) = 0;
};

// A reader whose callbacks run inside ui.pumpEvents; `ui` must outlive it.
std::unique_ptr<UrlReader> MakeUrlReader(UiSystem& ui);

}  // namespace pap
