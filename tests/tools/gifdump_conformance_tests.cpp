// gifdump over the GIF conformance suite: every case's file is written to a temporary directory,
// dumped, and the dump is read back and compared with what the control must show.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/temp_directory.h"
#include "tools/gif_dump.h"
#include "tools/gif_suite.h"

namespace pap::gifsuite {
namespace {

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Bytes ReadBytes(const std::filesystem::path& path)
{
    std::string text = ReadText(path);
    return Bytes(text.begin(), text.end());
}

std::string Numbered(const char* stem, int k, const char* extension)
{
    char name[32];
    std::snprintf(name, sizeof name, "%s-%03d.%s", stem, k, extension);
    return name;
}

// The lines of info.txt that name these fields, cut to the tokens the format fixes.
std::vector<std::string> InfoLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
        if (w.empty())
            continue;
        const size_t fixed = w[0] == "frames" || w[0] == "loop" ? 2 : w[0] == "size" ? 3 : w[0] == "frame" ? 13 : 0;
        if (fixed == 0 || w.size() < fixed)
            continue;
        std::string kept;
        for (size_t i = 0; i < fixed; ++i)
            kept += (i ? " " : "") + w[i];
        lines.push_back(kept);
    }
    return lines;
}

std::vector<std::string> ExpectedInfo(const Expected& e)
{
    std::vector<std::string> lines = {"frames " + std::to_string(e.frames)};
    if (e.frames == 0)
        return lines;
    lines.push_back("size " + std::to_string(e.width) + " " + std::to_string(e.height));
    lines.push_back("loop " + std::to_string(e.loop));
    for (size_t k = 0; k < e.perFrame.size(); ++k) {
        const ExpectedFrame& f = e.perFrame[k];
        std::ostringstream line;
        line << "frame " << k + 1 << " delay " << f.delayMs << " disposal " << f.disposal << " rect " << f.left << " "
             << f.top << " " << f.width << " " << f.height << " transparent "
             << (f.transparent >= 0 ? std::to_string(f.transparent) : "-");
        lines.push_back(line.str());
    }
    return lines;
}

// Where two pictures first differ, as text.
std::string FirstDifference(const Bytes& got, const Bytes& want, int width)
{
    if (got.size() != want.size())
        return "size " + std::to_string(got.size()) + " instead of " + std::to_string(want.size());
    for (size_t i = 0; i < got.size(); i += 4)
        if (!std::equal(got.begin() + long(i), got.begin() + long(i) + 4, want.begin() + long(i))) {
            std::ostringstream out;
            out << "pixel (" << (i / 4) % size_t(width) << "," << (i / 4) / size_t(width) << ") is " << int(got[i])
                << "," << int(got[i + 1]) << "," << int(got[i + 2]) << "," << int(got[i + 3]) << " instead of "
                << int(want[i]) << "," << int(want[i + 1]) << "," << int(want[i + 2]) << "," << int(want[i + 3]);
            return out.str();
        }
    return "";
}

}  // namespace

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

namespace {

class GifConformance : public ::testing::TestWithParam<Case> {};

TEST_P(GifConformance, DumpShowsWhatTheControlMustShow)
{
    const Case& c = GetParam();
    test::TempDirectory dir;
    const std::filesystem::path file = std::filesystem::path(dir.path()) / (c.name + ".gif");
    const Bytes gif = WriteGif(c);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(gif.data()), long(gif.size()));
    const std::filesystem::path out = std::filesystem::path(dir.path()) / "out";
    tools::DumpGif(file, out);

    const Expected want = ExpectedFor(c);
    EXPECT_EQ(InfoLines(ReadText(out / "info.txt")), ExpectedInfo(want));
    for (size_t k = 0; k < want.perFrame.size(); ++k) {
        const std::string problem = FirstDifference(ReadBytes(out / Numbered("frame", int(k + 1), "rgba")),
                                                    want.perFrame[k].rgba, want.width);
        EXPECT_EQ(problem, "") << "frame " << k + 1;
        EXPECT_FALSE(ReadBytes(out / Numbered("snapshot", int(k + 1), "gif")).empty()) << "snapshot " << k + 1;
    }
    EXPECT_FALSE(std::filesystem::exists(out / Numbered("frame", want.frames + 1, "rgba")));
}

INSTANTIATE_TEST_SUITE_P(Suite, GifConformance, ::testing::ValuesIn(MakeSuite()),
                         [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace pap::gifsuite
