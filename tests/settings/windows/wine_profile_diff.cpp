// Differential test of the profile-file reader and writer against the platform's own functions
// (GetPrivateProfileStringA, WritePrivateProfileStringA), on the corpus that make_ini_corpus.py
// writes. Run under Wine by ctest:
//
//   wine_profile_diff CORPUS_DIRECTORY WORK_DIRECTORY
//
// For every case file: every read gives the same bytes from both readers; every write, applied to
// one copy with the platform function and to another with ours, leaves the same bytes. A write
// marked "layout" in the manifest may leave other bytes, as long as both files are equal once the
// platform has rewritten them (it rewrites a whole file from its parse). After the writes both
// readers read both files alike. Known differences are listed with their reasons; anything that
// does not go as the manifest expects fails the test.

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "settings/settings.h"

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string unescape(const std::string& field)
{
    if (field == "-")
        return {};
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] == 'x') {
            out.push_back(static_cast<char>(std::stoi(field.substr(i + 2, 2), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::string printable(const std::string& bytes)
{
    std::string out;
    char buffer[8];
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
            out += buffer;
        }
    }
    return out.size() > 160 ? out.substr(0, 160) + "..." : out;
}

struct Read {
    std::string section, key, differs;
};
struct Write {
    std::string section, key, value, layout;
};
struct Case {
    std::string name, codePage;
    bool absent = false;
    std::vector<Read> reads;
    std::vector<Write> writes;
};

std::vector<Case> readManifest(const std::string& path)
{
    std::vector<Case> cases;
    std::istringstream lines(readFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::string note;
        if (size_t hash = line.find(" # "); hash != std::string::npos) {
            note = line.substr(hash + 3);
            line.resize(hash);
        }
        std::istringstream words(line);
        std::string directive, a, b, c;
        words >> directive >> a >> b >> c;
        if (directive == "file") {
            cases.push_back(Case{a, b, c == "absent", {}, {}});
        } else if (directive == "read" && !cases.empty()) {
            std::string reason = note.rfind("differs: ", 0) == 0 ? note.substr(9) : "";
            cases.back().reads.push_back(Read{unescape(a), unescape(b), reason});
        } else if (directive == "write" && !cases.empty()) {
            std::string reason = note.rfind("layout: ", 0) == 0 ? note.substr(8) : "";
            cases.back().writes.push_back(Write{unescape(a), unescape(b), unescape(c), reason});
        }
    }
    return cases;
}

class Differ {
public:
    explicit Differ(std::string work) : m_work(std::move(work)) {}

    void run(const std::string& corpus, const std::vector<Case>& cases)
    {
        unsigned codePage = GetACP();
        std::printf("ANSI code page %u\n", codePage);
        for (const Case& c : cases) {
            if (c.codePage != "any" && std::to_string(codePage) != c.codePage) {
                ++m_skipped;
                continue;
            }
            ++m_files;
            runCase(corpus, c);
        }
        std::printf("\n%zu files (%zu for another code page skipped): %zu reads agree, %zu writes give the same "
                    "bytes, %zu differ in layout only, %zu known read differences; %zu failures\n",
                    m_files, m_skipped, m_readsAgreeing, m_writesExact, m_writesLayout, m_readsKnown, m_failures);
    }

    bool passed() const { return m_failures == 0; }

private:
    // A fresh name for each file: the platform caches profile files by name.
    std::string freshPath(const std::string& from)
    {
        std::string path = m_work + "\\f" + std::to_string(m_counter++) + ".ini";
        DeleteFileA(path.c_str());
        if (!from.empty() && fileExists(from))
            writeFile(path, readFile(from));
        return path;
    }

    std::string platformRead(const Read& read, const std::string& path)
    {
        char buffer[256] = {};
        GetPrivateProfileStringA(read.section.c_str(), read.key.c_str(), "", buffer, sizeof buffer, path.c_str());
        return std::string(buffer);
    }

    std::string ourRead(const Read& read, const std::string& path)
    {
        return pap::ToAnsi(pap::IniRead(pap::FromAnsi(read.section), pap::FromAnsi(read.key), path));
    }

    void fail(const std::string& what)
    {
        ++m_failures;
        std::printf("  FAIL %s\n", what.c_str());
    }

    void compareRead(const Case& c, const Read& read, const std::string& platformFile, const std::string& ourFile,
                     const char* when)
    {
        std::string theirs = platformRead(read, freshPath(platformFile));
        std::string ours = ourRead(read, ourFile);
        std::string what = c.name + " " + when + " [" + printable(read.section) + "] " + printable(read.key);
        if (!read.differs.empty()) {
            if (theirs == ours) {
                fail(what + ": expected to differ, both give \"" + printable(ours) + "\"");
            } else {
                ++m_readsKnown;
                std::printf("  known difference %s: platform \"%s\" (%zu bytes), ours \"%s\" (%zu bytes): %s\n",
                            what.c_str(), printable(theirs).c_str(), theirs.size(), printable(ours).c_str(), ours.size(),
                            read.differs.c_str());
            }
        } else if (theirs != ours) {
            fail(what + ": platform \"" + printable(theirs) + "\", ours \"" + printable(ours) + "\"");
        } else {
            ++m_readsAgreeing;
        }
    }

    // The platform's rewrite of a file: it adds a section and deletes it again.
    std::string rewritten(const std::string& path)
    {
        std::string copy = freshPath(path);
        WritePrivateProfileStringA("~rewrite~", "k", "v", copy.c_str());
        WritePrivateProfileStringA("~rewrite~", nullptr, nullptr, copy.c_str());
        return readFile(copy);
    }

    void runCase(const std::string& corpus, const Case& c)
    {
        std::printf("%s\n", c.name.c_str());
        std::string original = c.absent ? std::string() : corpus + "\\" + c.name;
        std::string platformFile = freshPath(original);
        std::string ourFile = freshPath(original);
        for (const Read& read : c.reads)
            compareRead(c, read, original.empty() ? platformFile : original, ourFile, "read");

        for (size_t i = 0; i < c.writes.size(); ++i) {
            const Write& write = c.writes[i];
            WritePrivateProfileStringA(write.section.c_str(), write.key.c_str(), write.value.c_str(),
                                       platformFile.c_str());
            pap::IniWrite(pap::FromAnsi(write.section), pap::FromAnsi(write.key), pap::FromAnsi(write.value), ourFile);
            std::string theirs = readFile(platformFile), ours = readFile(ourFile);
            std::string what = c.name + " write " + std::to_string(i + 1) + " [" + printable(write.section) + "] " +
                               printable(write.key) + "=" + printable(write.value);
            if (theirs == ours) {
                if (!write.layout.empty())
                    fail(what + ": expected a layout difference, the bytes are the same");
                else
                    ++m_writesExact;
                continue;
            }
            if (write.layout.empty()) {
                fail(what + ":\n    platform \"" + printable(theirs) + "\"\n    ours     \"" + printable(ours) + "\"");
                continue;
            }
            if (rewritten(platformFile) != rewritten(ourFile)) {
                fail(what + ": differs even after the platform's rewrite:\n    platform \"" + printable(theirs) +
                     "\"\n    ours     \"" + printable(ours) + "\"");
                continue;
            }
            ++m_writesLayout;
            std::printf("  layout %s: %s\n", what.c_str(), write.layout.c_str());
        }

        if (!c.writes.empty()) {
            // Both readers read each written file alike.
            for (const Read& read : c.reads) {
                if (!read.differs.empty())
                    continue;
                compareRead(c, read, platformFile, platformFile, "read of the platform's file");
                compareRead(c, read, ourFile, ourFile, "read of our file");
            }
        }
    }

    std::string m_work;
    unsigned m_counter = 0;
    size_t m_files = 0, m_skipped = 0, m_readsAgreeing = 0, m_readsKnown = 0, m_writesExact = 0, m_writesLayout = 0,
           m_failures = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: wine_profile_diff CORPUS_DIRECTORY WORK_DIRECTORY\n");
        return 2;
    }
    std::string corpus = argv[1], work = argv[2];
    CreateDirectoryA(work.c_str(), nullptr);
    std::vector<Case> cases = readManifest(corpus + "\\manifest.txt");
    if (cases.size() < 30) {
        std::fprintf(stderr, "wine_profile_diff: %zu cases in the manifest\n", cases.size());
        return 2;
    }
    Differ differ(work);
    differ.run(corpus, cases);
    return differ.passed() ? 0 : 1;
}
