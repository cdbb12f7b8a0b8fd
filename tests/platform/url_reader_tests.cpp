// Background reads through a real event loop: files and a local HTTP server, callbacks on the loop's
// thread, cancelling, and posting tasks to the loop from other threads.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/ui.h"
#include "platform/url_address.h"
#include "platform/url_reader.h"
#include "support/http_test_server.h"
#include "support/temp_directory.h"
#ifndef _WIN32
#include "e2e/harness.h"
#endif

namespace pap {
namespace {

class UrlReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifndef _WIN32
        server = e2e::XServer::start();
        if (!server)
            GTEST_SKIP() << "no Xvfb";
        setenv("DISPLAY", server->display().c_str(), 1);
#endif
        ui = MakeUiSystem();
        ASSERT_TRUE(ui);
        reader = MakeUrlReader(*ui);
    }

    // Pumps until `done` holds; gives up after 20 s (a hang, never a timing check).
    bool pumpUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            ui->pumpEvents(50);
        }
        return true;
    }

    // What the callbacks of one read saw.
    struct Read {
        std::vector<bool> failures;  // one per progress call
        std::optional<UrlReadResult> result;
        bool offThread = false;
    };

    uint64_t startRead(const std::string& address, Read& read)
    {
        const auto loop = std::this_thread::get_id();
        return reader->start(
            address,
            [&read, loop](uint64_t, uint64_t, bool failed) {
                read.failures.push_back(failed);
                read.offThread |= std::this_thread::get_id() != loop;
            },
            [&read, loop](UrlReadResult result) {
                read.result = std::move(result);
                read.offThread |= std::this_thread::get_id() != loop;
            });
    }

#ifndef _WIN32
    std::unique_ptr<e2e::XServer> server;
#endif
    std::unique_ptr<UiSystem> ui;
    std::unique_ptr<UrlReader> reader;
    test::HttpTestServer http;
    test::TempDirectory files;
};

TEST_F(UrlReaderTest, PostedTasksRunInOrderOnTheLoopThreadAndEndAWait)
{
    std::vector<int> ran;
    bool offThread = false;
    const auto loop = std::this_thread::get_id();
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (int i = 1; i <= 3; ++i)
            ui->post([&, i] {
                ran.push_back(i);
                offThread |= std::this_thread::get_id() != loop;
            });
    });
    const auto before = std::chrono::steady_clock::now();
    ui->pumpEvents(10000);
    const auto waited = std::chrono::steady_clock::now() - before;
    poster.join();
    ASSERT_TRUE(pumpUntil([&] { return ran.size() == 3; }));
    EXPECT_LT(waited, std::chrono::seconds(9)) << "the post did not end the wait";
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(offThread);
}

TEST_F(UrlReaderTest, ReadsAddressesWhole)
{
    ASSERT_TRUE(WriteWholeFile(files.path() + "/picture.gif", "GIF89a-bytes"));
    struct Case {
        std::string address;
        bool ok;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {http.url("/hello"), true, "hello, world"},
        {http.url("/ten"), true, "0123456789"},
        {http.url("/redirect"), true, "hello, world"},
        {http.url("/missing"), false, ""},
        {files.path() + "/picture.gif", true, "GIF89a-bytes"},
#ifdef _WIN32
        {"file:///" + files.path() + "/picture.gif", true, "GIF89a-bytes"},
#else
        {"file://" + files.path() + "/picture.gif", true, "GIF89a-bytes"},
#endif
        {files.path() + "/absent.gif", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        Read read;
        ASSERT_NE(startRead(c.address, read), 0u);
        ASSERT_TRUE(pumpUntil([&] { return read.result.has_value(); }));
        EXPECT_EQ(read.result->ok, c.ok) << read.result->error;
        EXPECT_FALSE(read.offThread);
        ASSERT_FALSE(read.failures.empty());
        EXPECT_EQ(read.failures.back(), !c.ok) << "a failure shows in the last progress call";
        if (c.ok) {
            EXPECT_EQ(std::string(read.result->bytes.begin(), read.result->bytes.end()), c.bytes);
            EXPECT_EQ(read.result->bytesMax, c.bytes.size());
            EXPECT_TRUE(read.result->error.empty());
        } else {
            EXPECT_FALSE(read.result->error.empty());
        }
    }
    EXPECT_EQ(reader->start("", nullptr, nullptr), 0u);
}

TEST_F(UrlReaderTest, CancelledAndDroppedReadsCallNothing)
{
    Read cancelled, after;
    const uint64_t id = startRead(http.url("/slow"), cancelled);
    reader->cancel(id);
    // Reads run in order: once the next one completes, the cancelled one has ended and posted all
    // it ever will.
    startRead(http.url("/ten"), after);
    ASSERT_TRUE(pumpUntil([&] { return after.result.has_value(); }));
    EXPECT_TRUE(cancelled.failures.empty());
    EXPECT_FALSE(cancelled.result.has_value());

    Read dropped;
    startRead(http.url("/slow"), dropped);
    ASSERT_TRUE(pumpUntil([&] { return !dropped.failures.empty(); }));  // under way
    reader.reset();  // waits for the worker
    ui->pumpEvents(0);
    ui->pumpEvents(0);
    EXPECT_FALSE(dropped.result.has_value());
}

TEST(LocalPathOf, TakesTheSchemeAndEscapesOffFileUrls)
{
    struct Case {
        const char* address;
        const char* path;
    };
    const Case cases[] = {
        {"pictures/a.gif", "pictures/a.gif"},
        {"FILE://localhost/tmp/a%20b.gif", "/tmp/a b.gif"},
        {"file:///tmp/100%", "/tmp/100%"},
        {"file:///tmp/%4", "/tmp/%4"},
        {"file:///tmp/%zz%41", "/tmp/%zzA"},
#ifdef _WIN32
        {"file:///C:/dir/a.gif", "C:/dir/a.gif"},
#endif
    };
    for (const Case& c : cases)
        EXPECT_EQ(LocalPathOf(c.address), c.path) << c.address;
    EXPECT_TRUE(IsHttpAddress("HTTPS://example.com/"));
    EXPECT_FALSE(IsHttpAddress("httpx://example.com/"));
}

}  // namespace
}  // namespace pap
