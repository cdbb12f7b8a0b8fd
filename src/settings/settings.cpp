// This file is UTF-8: the key names are converted to the ANSI code page where the file is written.

#include "settings/settings.h"

#include <optional>

#include "base/conversions.h"
#include "base/utf.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/program_info.h"
#include "settings/profile_file.h"

namespace pap {

MusicSettingsRecord MusicSettings;

namespace {

constexpr std::string_view kSection = "Section";
constexpr std::string_view kMusicTypeKey = "BGM区分";
constexpr std::string_view kRepeatTrackKey = "BGMﾘﾋﾟｰﾄ";
constexpr std::string_view kMusicFileKey = "BGMﾌｧｲﾙ";

constexpr size_t kValueBytes = 255;  // a 256-byte buffer and its NUL
constexpr size_t kNameCharacters = 127;

// Runs one step of a procedure whose failing steps are skipped.
template <typename Step>
void runStep(Step&& step) noexcept
{
    try {
        step();
    } catch (...) {
    }
}

std::string_view firstCharacters(std::string_view text, size_t count)
{
    size_t pos = 0;
    for (size_t n = 0; n < count && pos < text.size(); ++n)
        pos += Utf8CharLength(text, pos);
    return text.substr(0, pos);
}

// A stored number: numeric text, its integer part as a 16-bit integer.
std::optional<int16_t> storedInteger(std::string_view text)
{
    std::optional<double> number = NumberFromText(text);
    if (!number)
        return std::nullopt;
    return RoundToInt16(IntegerPart(*number));
}

void loadInteger(int16_t& field, std::string_view key, const DirectoryFn& settingsDirectory)
{
    std::string value = IniRead(kSection, key, SettingsFilePath(settingsDirectory()));
    if (value.empty())
        field = 0;
    else if (std::optional<int16_t> number = storedInteger(value))
        field = *number;
}

}  // namespace

std::string SettingsFilePath(const std::string& settingsDirectory)
{
    std::string path = settingsDirectory;
    if (path.empty() || path.back() != PathSeparator())
        path.push_back(PathSeparator());
    return path + "Papyrant.ini";
}

std::string IniRead(std::string_view section, std::string_view key, const std::string& filePath)
{
    return ReadProfileString(section, key, filePath, kValueBytes);
}

void IniWrite(std::string_view section, std::string_view key, std::string_view value, const std::string& filePath)
{
    WriteProfileString(firstCharacters(section, kNameCharacters), firstCharacters(key, kNameCharacters), value,
                       filePath);
}

bool FileExists(std::string_view path)
{
    std::string file(path);
    if (!file.empty() && file.back() == PathSeparator())
        file.pop_back();
    return !file.empty() && CanOpenForReading(file);
}

std::string DirectoryOf(std::string_view path, PathStyle style)
{
    if (style == PathStyle::Posix) {
        size_t slash = path.rfind('/');
        if (slash == std::string_view::npos)
            return {};
        return std::string(path.substr(0, slash == 0 ? 1 : slash));
    }
    size_t last = path.find_last_of(":\\");
    if (last == std::string_view::npos)
        return {};
    std::string_view folder = path.substr(0, last + 1);
    if (folder.back() == '\\')
        folder.remove_suffix(1);
    return std::string(folder);
}

std::string DirectoryOf(std::string_view path)
{
    return DirectoryOf(path, PathSeparator() == '\\' ? PathStyle::Windows : PathStyle::Posix);
}

void LoadSettings(MusicSettingsRecord& settings, const DirectoryFn& settingsDirectory,
                  const DirectoryFn& programDirectory)
{
    runStep([&] { loadInteger(settings.MusicType, kMusicTypeKey, settingsDirectory); });
    runStep([&] { loadInteger(settings.RepeatTrack, kRepeatTrackKey, settingsDirectory); });
    runStep([&] {
        std::string value = IniRead(kSection, kMusicFileKey, SettingsFilePath(settingsDirectory()));
        settings.MusicFile = value;
        if (!value.empty() && !FileExists(value))
            settings.MusicFile.clear();
        if (settings.MusicFile.empty() && settings.MusicType == 2)
            settings.MusicType = 0;
    });
    runStep([&] {
        settings.BrowseDir = settings.MusicFile.empty() ? programDirectory() : DirectoryOf(settings.MusicFile);
    });
}

void LoadSettings(MusicSettingsRecord& settings, const DirectoryFn& programDirectory)
{
    LoadSettings(settings, programDirectory, programDirectory);
}

void SaveSettings(const MusicSettingsRecord& settings, const DirectoryFn& settingsDirectory)
{
    runStep([&] { IniWrite(kSection, kMusicTypeKey, NumberForm(settings.MusicType), SettingsFilePath(settingsDirectory())); });
    runStep([&] {
        IniWrite(kSection, kRepeatTrackKey, NumberForm(settings.RepeatTrack), SettingsFilePath(settingsDirectory()));
    });
    runStep([&] { IniWrite(kSection, kMusicFileKey, settings.MusicFile, SettingsFilePath(settingsDirectory())); });
}

void LoadSettings() { LoadSettings(MusicSettings, SettingsDirectory, ProgramDirectory); }

void SaveSettings() { SaveSettings(MusicSettings, SettingsDirectoryForWriting); }

int16_t RepeatTrackFromText(std::string_view text, int16_t current)
{
    std::optional<double> number = NumberFromText(text);
    if (!number)
        return 0;
    return RoundToInt16(*number).value_or(current);
}

}  // namespace pap
