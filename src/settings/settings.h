#pragma once

// The settings record of the saver program and its ini file, "Papyrant.ini" in the settings
// directory (platform/paths.h: the program's directory on Windows, the user's configuration
// directory on Linux): section "Section", keys "BGM区分" (MusicType), "BGMﾘﾋﾟｰﾄ" (RepeatTrack)
// and "BGMﾌｧｲﾙ" (MusicFile). The keys and the path are stored in the system's ANSI code page (UTF-8 on Linux).
// Failures are silent: a step that fails leaves its field as it was and the next step runs.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pap {

struct MusicSettingsRecord {
    int16_t MusicType = 0;    // 0 no music, 1 audio CD, 2 a music file (MP3 or WAV); others play nothing
    int16_t RepeatTrack = 0;  // CD track to repeat; 0 plays the whole disc
    std::string MusicFile;    // full path of the music file, empty when none
    std::string BrowseDir;    // folder the file chooser opens in; derived, not stored
};

// The program-wide record: zeroed at start, filled by LoadSettings.
extern MusicSettingsRecord MusicSettings;

// Asked for a directory each time it is needed (the ini file's, for each key read or written).
using DirectoryFn = std::function<std::string()>;

// The ini file of a settings directory: the directory, a separator unless it ends in one, and
// "Papyrant.ini".
std::string SettingsFilePath(const std::string& settingsDirectory);

// The value of key in section of the file, at most 255 bytes in the ANSI code page; empty when the
// file, the section or the key is missing.
std::string IniRead(std::string_view section, std::string_view key, const std::string& filePath);

// Writes one key (names of up to 127 characters). Failures are ignored.
void IniWrite(std::string_view section, std::string_view key, std::string_view value, const std::string& filePath);

// Whether a file can be opened for reading, after one trailing separator is removed from the path.
// A directory, a missing file or one without read access gives false.
bool FileExists(std::string_view path);

// The folder part of a path. Windows style: up to the last ':' or '\', without a final '\'
// (C:\Music\a.mp3 gives C:\Music, C:\a.mp3 and C:a.mp3 give C:). POSIX style: up to the last '/',
// without it except at the root (/music/a.mp3 gives /music, /a.mp3 gives /). A name without
// separator gives empty text. DirectoryOf uses the style of the platform.
enum class PathStyle { Windows, Posix };
std::string DirectoryOf(std::string_view path, PathStyle style);
std::string DirectoryOf(std::string_view path);

// Fills the record from the ini file in settingsDirectory; BrowseDir becomes the folder of
// MusicFile, or the program's directory when there is no music file.
void LoadSettings(MusicSettingsRecord& settings, const DirectoryFn& settingsDirectory,
                  const DirectoryFn& programDirectory);
// The same with the ini file in the program's directory.
void LoadSettings(MusicSettingsRecord& settings, const DirectoryFn& programDirectory);

// Writes MusicType, RepeatTrack (number form, " 2") and MusicFile (unchanged), in that order, into
// the ini file in settingsDirectory.
void SaveSettings(const MusicSettingsRecord& settings, const DirectoryFn& settingsDirectory);

// LoadSettings and SaveSettings of MusicSettings, in the platform's settings directory.
void LoadSettings();
void SaveSettings();

// RepeatTrack as the settings dialog's Set button takes it from its combo box text: a numeric text
// rounded (halves to even), 0 for a text that is not numeric (empty included), and the current
// value when the number lies outside the 16-bit range.
int16_t RepeatTrackFromText(std::string_view text, int16_t current);

}  // namespace pap
