#pragma once

// A DesktopShell for tests: records every call with its arguments, in order, and answers the open-file
// dialog from a queue of scripted results (nothing, as a cancelled dialog, when the queue is empty).

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/desktop_shell.h"

namespace pap::test {

class RecordingDesktopShell final : public DesktopShell {
public:
    struct ChooseOpenFile {
        OpenFileRequest request;
        std::optional<std::string> answer;  // what the call returned
    };
    struct OpenAddress {
        NativeWindow owner = 0;
        std::string address;
    };
    struct ZoomRect {
        NativeWindow window = 0;
        ScreenRect from;
        ScreenRect to;
    };
    using Call = std::variant<ChooseOpenFile, OpenAddress, ZoomRect>;

    // The next chooseOpenFile returns this (nothing: the user cancelled).
    void queueOpenFile(std::optional<std::string> answer) { m_answers.push_back(std::move(answer)); }
    // What openAddress returns from now on.
    void setOpenAddressResult(bool started) { m_openAddressResult = started; }

    const std::vector<Call>& calls() const { return m_calls; }
    // The calls of one kind, in order.
    template <typename T>
    std::vector<T> callsOf() const
    {
        std::vector<T> found;
        for (const Call& call : m_calls)
            if (const T* c = std::get_if<T>(&call))
                found.push_back(*c);
        return found;
    }
    void clear() { m_calls.clear(); }

    std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) override
    {
        std::optional<std::string> answer;
        if (!m_answers.empty()) {
            answer = std::move(m_answers.front());
            m_answers.pop_front();
        }
        m_calls.push_back(ChooseOpenFile{request, answer});
        return answer;
    }
    // Runs inside each openAddress, to look at the program's state at that moment.
    std::function<void()> onOpenAddress;

    bool openAddress(NativeWindow owner, const std::string& address) override
    {
        m_calls.push_back(OpenAddress{owner, address});
        if (onOpenAddress)
            onOpenAddress();
        return m_openAddressResult;
    }
    void zoomRect(NativeWindow window, ScreenRect from, ScreenRect to) override
    {
        m_calls.push_back(ZoomRect{window, from, to});
    }

private:
    std::vector<Call> m_calls;
    std::deque<std::optional<std::string>> m_answers;
    bool m_openAddressResult = true;
};

}  // namespace pap::test
