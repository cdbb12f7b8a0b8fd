// Replacing a file on Windows keeps what the old file carried besides its content.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "support/temp_directory.h"

namespace pap {
namespace {

using test::readBytes;
using test::TempDirectory;
using test::writeBytes;

DWORD attributesOf(const std::string& path) { return GetFileAttributesA(path.c_str()); }

TEST(ReplaceWholeFileWin32, KeepsAttributesAndRefusesAReadOnlyFile)
{
    TempDirectory root;
    std::string hidden = root.file("Papyrant.ini");
    writeBytes(hidden, "old");
    ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(ReplaceWholeFile(hidden, "new content"));
    EXPECT_EQ(readBytes(hidden), "new content");
    EXPECT_TRUE(attributesOf(hidden) & FILE_ATTRIBUTE_HIDDEN);

    std::string readOnly = root.file("locked.ini");
    writeBytes(readOnly, "kept");
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(ReplaceWholeFile(readOnly, "lost"));
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(readBytes(readOnly), "kept");

    // Nothing is left beside the two files.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((root.path() + "\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    int entries = 0;
    do {
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
            ++entries;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(entries, 2);
}

}  // namespace
}  // namespace pap
