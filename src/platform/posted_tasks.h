#pragma once

// The queue behind UiSystem::post: filled from any thread, emptied on the program's thread.

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace pap {

class PostedTasks {
public:
    void push(std::function<void()> task)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }

    // Runs the tasks queued so far, in order; tasks they post wait for the next call.
    void runAll()
    {
        std::vector<std::function<void()>> tasks;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            tasks.swap(m_tasks);
        }
        for (auto& task : tasks)
            task();
    }

private:
    std::mutex m_mutex;
    std::vector<std::function<void()>> m_tasks;
};

}  // namespace pap
