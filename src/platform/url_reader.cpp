#include "platform/url_reader.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "platform/files.h"
#include "platform/http_read.h"
#include "platform/ui.h"
#include "platform/url_address.h"

namespace pap {

namespace {

UrlReadResult ReadLocalFile(const std::string& address)
{
    UrlReadResult result;
    const std::string path = LocalPathOf(address);
    std::optional<std::string> content = ReadWholeFile(path, kUrlReadMaxBytes);
    if (!content) {
        result.error = "cannot read the file " + path;
        return result;
    }
    result.ok = true;
    result.bytes.assign(content->begin(), content->end());
    result.bytesMax = result.bytes.size();
    return result;
}

class ThreadedUrlReader final : public UrlReader {
public:
    explicit ThreadedUrlReader(UiSystem& ui) : m_ui(ui), m_shared(std::make_shared<Shared>()) {}

    ~ThreadedUrlReader() override
    {
        {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            m_shared->closed = true;
            m_shared->reads.clear();
            m_shared->queue.clear();
        }
        m_wake.notify_all();
        if (m_worker.joinable())
            m_worker.join();
    }

    uint64_t start(const std::string& address, Progress progress, Complete complete) override
    {
        if (address.empty())
            return 0;
        const uint64_t id = ++m_lastId;
        {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            m_shared->reads[id] = Callbacks{std::move(progress), std::move(complete)};
            m_shared->queue.push_back(Job{id, address});
        }
        m_wake.notify_one();
        if (!m_worker.joinable())
            m_worker = std::thread([this] { work(); });
        return id;
    }

    void cancel(uint64_t id) override
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->reads.erase(id);
    }

private:
    struct Callbacks {
        Progress progress;
        Complete complete;
    };
    struct Job {
        uint64_t id;
        std::string address;
    };
    // What the worker and the posted tasks share; the tasks may outlive the reader.
    struct Shared {
        std::mutex mutex;
        // The reads not yet completed, cancelled or dropped with the reader.
        std::map<uint64_t, Callbacks> reads;
        std::deque<Job> queue;
        bool closed = false;
        // A progress task of the current read waits in the event loop's queue.
        std::atomic<bool> progressQueued{false};

        bool live(uint64_t id)
        {
            std::lock_guard<std::mutex> lock(mutex);
            return reads.count(id) != 0;
        }
    };

    void work()
    {
        for (;;) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(m_shared->mutex);
                m_wake.wait(lock, [&] { return m_shared->closed || !m_shared->queue.empty(); });
                if (m_shared->closed)
                    return;
                job = std::move(m_shared->queue.front());
                m_shared->queue.pop_front();
                if (!m_shared->reads.count(job.id))
                    continue;  // cancelled before it started
            }
            run(job);
        }
    }

    void run(const Job& job)
    {
        const std::shared_ptr<Shared> shared = m_shared;
        const uint64_t id = job.id;
        UrlReadResult result;
        if (IsHttpAddress(job.address)) {
            result = ReadHttp(job.address, [&](uint64_t read, uint64_t total) {
                if (!shared->live(id))
                    return false;
                if (!shared->progressQueued.exchange(true))
                    postProgress(id, read, std::max(read, total), false);
                return true;
            });
        } else {
            result = ReadLocalFile(job.address);
        }
        postProgress(id, result.bytesMax, result.bytesMax, !result.ok);
        m_ui.post([shared2 = shared, id, result = std::move(result)]() mutable {
            Complete complete;
            {
                std::lock_guard<std::mutex> lock(shared2->mutex);
                auto found = shared2->reads.find(id);
                if (found == shared2->reads.end())
                    return;
                complete = std::move(found->second.complete);
                shared2->reads.erase(found);
            }
            if (complete)
                complete(std::move(result));
        });
    }

    void postProgress(uint64_t id, uint64_t read, uint64_t max, bool failed)
    {
        std::shared_ptr<Shared> shared = m_shared;
        m_ui.post([shared, id, read, max, failed] {
            shared->progressQueued = false;
            Progress progress;
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                auto found = shared->reads.find(id);
                if (found == shared->reads.end())
                    return;
                progress = found->second.progress;
            }
            if (progress)
                progress(read, max, failed);
        });
    }

    UiSystem& m_ui;
    std::shared_ptr<Shared> m_shared;
    std::condition_variable m_wake;
    std::thread m_worker;
    uint64_t m_lastId = 0;
};

}  // namespace

std::unique_ptr<UrlReader> MakeUrlReader(UiSystem& ui)
{
    return std::make_unique<ThreadedUrlReader>(ui);
}

}  // namespace pap
