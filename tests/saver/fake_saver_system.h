#pragma once

// A recording fake of the saver's files, programs and settings, writing into the shared journal, and
// an audio fake that journals the music module's calls beside them.

#include <memory>
#include <string>

#include "forms/fake_ui.h"
#include "music/recording_audio.h"
#include "saver/saver_system.h"

namespace pap::testing {

// A started program whose end the test decides.
class FakeChild final : public ChildProcess {
public:
    FakeChild(std::shared_ptr<bool> ended, Journal& journal) : m_ended(std::move(ended)), m_journal(journal) {}
    bool hasEnded() override { return *m_ended; }
    void end() override
    {
        m_journal.push_back("EndProgram");
        *m_ended = true;
    }

private:
    std::shared_ptr<bool> m_ended;
    Journal& m_journal;
};

class FakeSaverSystem final : public SaverSystem {
public:
    explicit FakeSaverSystem(Journal& journal) : m_journal(journal) {}

    MusicSettingsRecord settingsInFile;
    bool programStarts = true;
    std::shared_ptr<bool> programEnded = std::make_shared<bool>(false);
    gfx::Surface savedPicture;
    bool workDirectoryFit = true;

    bool makeWorkDirectory() override
    {
        m_journal.push_back("MkDir");
        return workDirectoryFit;
    }
    void loadSettings(MusicSettingsRecord& settings) override
    {
        m_journal.push_back("LoadSettings");
        settings = settingsInFile;
    }
    void saveSettings(const MusicSettingsRecord& settings) override
    {
        m_journal.push_back("SaveSettings " + std::to_string(settings.MusicType) + " " +
                            std::to_string(settings.RepeatTrack) + " " + settings.MusicFile);
        settingsInFile = settings;
        settingsInFile.BrowseDir.clear();
    }
    bool savePicture(const gfx::Surface& picture, const std::string& path) override
    {
        m_journal.push_back("SavePicture " + path);
        savedPicture = picture;
        return true;
    }
    std::unique_ptr<ChildProcess> startProgram(const std::string& path, const std::vector<std::string>& arguments,
                                               WindowStyle style) override
    {
        std::string entry = "Start " + path;
        for (const std::string& argument : arguments)
            entry += " " + argument;
        m_journal.push_back(entry + " " + std::to_string(static_cast<int>(style)));
        if (!programStarts)
            return nullptr;
        return std::make_unique<FakeChild>(programEnded, m_journal);
    }
    bool deleteFiles(const std::string& pattern) override
    {
        m_journal.push_back("Kill " + pattern);
        return true;
    }
    bool removeDirectory(const std::string& path) override
    {
        m_journal.push_back("RmDir " + path);
        return true;
    }

private:
    Journal& m_journal;
};

// The music module's calls in the journal: "mci <command>", "PlaySound <name> <flags>".
class JournalAudio final : public AudioSystem {
public:
    explicit JournalAudio(Journal& journal) : m_journal(journal) {}
    RecordingAudio script;

    uint32_t sendString(const std::string& command, char* reply, uint32_t replyLength) override
    {
        m_journal.push_back("mci " + command);
        return script.sendString(command, reply, replyLength);
    }
    bool errorString(uint32_t code, char* buffer, uint32_t length) override
    {
        return script.errorString(code, buffer, length);
    }
    uint32_t waveOutDeviceCount() override { return script.waveOutDeviceCount(); }
    bool playSound(const char* nameOrNull, uint32_t flags) override
    {
        m_journal.push_back(std::string("PlaySound ") + (nameOrNull ? nameOrNull : "(null)") + " " +
                            std::to_string(flags));
        return true;
    }

private:
    Journal& m_journal;
};

}  // namespace pap::testing
