// The Windows desktop services against the real comdlg32 and shell32 (under Wine here): the open-file
// dialog typed into with SendInput from a second thread, as a user would, and ShellExecuteA of an http
// address, which reaches the stand-in browser named by BROWSER (Wine's winebrowser runs xdg-open).

#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "base/code_page.h"
#include "platform/desktop_shell.h"

namespace pap {
namespace {

using namespace std::chrono_literals;

const char* const kTitle = "ﾌｧｲﾙを開く";
const char* const kFilterDescription = "BGMﾌｧｲﾙ (MP3 WAV)";

// True once the condition holds, polled for up to 10 seconds.
bool Eventually(const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

void Key(WORD vk)
{
    INPUT inputs[2]{};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = vk;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

// Characters as the keyboard types them (VK_PACKET), each one a press and a release.
void Type(const std::string& text)
{
    for (char c : text) {
        INPUT inputs[2]{};
        inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
        inputs[0].ki.wScan = inputs[1].ki.wScan = static_cast<WORD>(static_cast<unsigned char>(c));
        inputs[0].ki.dwFlags = KEYEVENTF_UNICODE;
        inputs[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, inputs, sizeof(INPUT));
    }
}

std::string ChildText(HWND dialog, int id)
{
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return FromAnsi(text);
}

// The names the dialog lists (its list view, wherever it lies among the dialog's children).
std::vector<std::string> ListedNames(HWND dialog)
{
    struct Search {
        HWND list = nullptr;
    } search;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM param) -> BOOL {
            char name[64] = {};
            GetClassNameA(child, name, sizeof name);
            if (std::string(name) != WC_LISTVIEWA)
                return TRUE;
            reinterpret_cast<Search*>(param)->list = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    std::vector<std::string> names;
    if (!search.list)
        return names;
    const int count = static_cast<int>(SendMessageA(search.list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[MAX_PATH] = {};
        LVITEMA item{};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        SendMessageA(search.list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        names.push_back(FromAnsi(text));
    }
    return names;
}

class OpenFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        dir = std::string(temp) + "papyrant-shell-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir.c_str(), nullptr);
        for (const char* name : {"a.MP3", "b.wav", "c.txt"})
            std::ofstream(dir + "\\" + name) << "x";
    }
    void TearDown() override
    {
        for (const char* name : {"a.MP3", "b.wav", "c.txt"})
            DeleteFileA((dir + "\\" + name).c_str());
        RemoveDirectoryA(dir.c_str());
    }

    // Opens the dialog in the directory; a second thread waits for it, looks at it, brings it to the
    // front and plays the keys.
    std::optional<std::string> choose(const std::function<void()>& keys)
    {
        std::atomic<bool> shown{false};
        std::atomic<bool> stuck{false};
        std::thread user([&] {
            HWND dialog = nullptr;
            if (!Eventually([&] { return (dialog = FindWindowA(nullptr, ToAnsi(kTitle).c_str())) != nullptr; }))
                return;
            shown = true;
            // The filter's description in the file type box, and the folder listed through it.
            Eventually([&] { return ListedNames(dialog).size() >= 2; });
            filterText = ChildText(dialog, cmb1);
            listed = ListedNames(dialog);
            SetForegroundWindow(dialog);
            keys();
            // A dialog that stays open is closed so that the test fails instead of waiting for ever.
            if (!Eventually([&] { return !IsWindow(dialog); })) {
                stuck = true;
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            }
        });
        OpenFileRequest request;
        request.filterDescription = kFilterDescription;
        request.filterPattern = "*.MP3;*.WAV";
        request.initialDirectory = dir;
        request.title = kTitle;
        std::optional<std::string> chosen = shell->chooseOpenFile(request);
        user.join();
        EXPECT_TRUE(shown) << "no window titled " << kTitle;
        EXPECT_FALSE(stuck) << "the dialog did not close after the keys";
        return chosen;
    }

    std::string dir;
    std::string filterText;
    std::vector<std::string> listed;
    std::unique_ptr<DesktopShell> shell = MakeDesktopShell();
};

TEST_F(OpenFileDialogTest, ATypedPathAndEnterChooseThatFileEvenWhenItDoesNotExist)
{
    for (const std::string name : {"a.MP3", "new song.mp3"}) {
        SCOPED_TRACE(name);
        const std::string path = dir + "\\" + name;
        const auto chosen = choose([&] {
            Type(path);
            Key(VK_RETURN);
        });
        EXPECT_EQ(chosen, std::optional<std::string>(path));
        // Intact on a Japanese system; elsewhere the ANSI code page lacks the katakana.
        EXPECT_EQ(filterText, AnsiCodePage() == 932 ? kFilterDescription : FromAnsi(ToAnsi(kFilterDescription)));
        EXPECT_EQ(listed, (std::vector<std::string>{"a.MP3", "b.wav"}));
    }
}

TEST_F(OpenFileDialogTest, EscapeChoosesNothing)
{
    EXPECT_EQ(choose([] { Key(VK_ESCAPE); }), std::nullopt);
}

TEST(ShellOpenTest, AnHttpAddressReachesTheBrowser)
{
    const char* log = std::getenv("PAPYRANT_ADDRESS_LOG");
    if (!log || !std::getenv("BROWSER"))
        GTEST_SKIP() << "no stand-in browser (BROWSER and PAPYRANT_ADDRESS_LOG)";
    // The Unix path of the log through Wine's drive Z:.
    const std::string logPath = std::string("Z:") + log;
    DeleteFileA(logPath.c_str());
    const std::string address = "http://example.com/papyrant/?a=1&b=%E3%81%82";
    EXPECT_TRUE(MakeDesktopShell()->openAddress(0, address));
    auto read = [&] {
        std::ifstream in(logPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    EXPECT_TRUE(Eventually([&] { return read() == address + "\n"; })) << read();
}

TEST(ShellOpenTest, FalseWhenNoProgramOpensTheAddress)
{
    EXPECT_FALSE(MakeDesktopShell()->openAddress(0, "papyrant-no-such-scheme:x"));
}

}  // namespace
}  // namespace pap
