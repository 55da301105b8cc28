#pragma once

#include "core/settings/waveformat.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace sonavell {

// One timed recording window. Only the local time of day of each end is used.
struct TimedRecording
{
    std::int32_t flag = 0; // never stored; always 0
    std::int32_t start = 0; // seconds since 1970-01-01 00:00 UTC
    std::int32_t end = 0;

    friend bool operator==(const TimedRecording &, const TimedRecording &) = default;
};

// The process-wide settings record, kept in "Record Setup.sys" in the Data folder.
// The silence fields are read live by the encode and capture threads while the
// user-interface thread may change them, hence atomics.
class RecorderSettings
{
public:
    static constexpr std::array<int, 4> kSampleRates{8000, 11025, 22050, 44100};
    static constexpr std::array<int, 14> kBitRates{8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static constexpr int kDefaultBitRateIndex = 13;
    static constexpr int kDefaultSilenceSeconds = 5;
    // Sane maxima for the stored lists; the dialog allows ten timed windows.
    static constexpr std::uint32_t kMaxFileListEntries = 100000;
    static constexpr std::uint32_t kMaxTimedRecordings = 10;

    RecorderSettings();
    RecorderSettings(const RecorderSettings &other);
    RecorderSettings &operator=(const RecorderSettings &other);

    const WaveFormat &recordFormat() const { return m_recordFormat; }
    void setRecordFormat(const WaveFormat &format) { m_recordFormat = format; }
    int channelsIndex() const { return m_recordFormat.channels - 1; }
    void setChannelsIndex(int index) { m_recordFormat.channels = static_cast<std::uint16_t>(index + 1); }
    int sampleRate() const { return static_cast<int>(m_recordFormat.samplesPerSec); }
    // Only the rate changes: byte rate and block alignment keep their stored values.
    void setSampleRate(int hz) { m_recordFormat.samplesPerSec = static_cast<std::uint32_t>(hz); }
    int sampleRateIndex() const;

    int bitRateIndex() const { return m_bitRateIndex; }
    void setBitRateIndex(int index) { m_bitRateIndex = index; }
    // The table entry in kbit/s; an index outside the table falls back to the default entry.
    int bitRate() const;

    QString saveDirectory() const { return m_saveDirectory; }
    void setSaveDirectory(const QString &directory) { m_saveDirectory = directory; }

    bool silenceEnabled() const { return m_silenceEnabled.load(std::memory_order_relaxed) != 0; }
    void setSilenceEnabled(bool on) { m_silenceEnabled.store(on ? 1 : 0, std::memory_order_relaxed); }
    int sensitivity() const { return m_sensitivity.load(std::memory_order_relaxed); }
    void setSensitivity(int value) { m_sensitivity.store(value, std::memory_order_relaxed); }
    bool skipSilence() const { return m_skipSilence.load(std::memory_order_relaxed) != 0; }
    void setSkipSilence(bool on) { m_skipSilence.store(on ? 1 : 0, std::memory_order_relaxed); }
    // 0 = stop after silence, 1 = record to a new file; a negative stored value reads as 0.
    int silenceAction() const;
    void setSilenceAction(int action) { m_silenceAction.store(action, std::memory_order_relaxed); }
    int stopAfterSeconds() const { return m_stopAfterSeconds.load(std::memory_order_relaxed); }
    void setStopAfterSeconds(int seconds) { m_stopAfterSeconds.store(seconds, std::memory_order_relaxed); }
    int newFileAfterSeconds() const { return m_newFileAfterSeconds.load(std::memory_order_relaxed); }
    void setNewFileAfterSeconds(int seconds) { m_newFileAfterSeconds.store(seconds, std::memory_order_relaxed); }
    bool playLoop() const { return m_playLoop; }
    void setPlayLoop(bool on) { m_playLoop = on; }

    QStringList fileList() const { return m_fileList; }
    void setFileList(const QStringList &files) { m_fileList = files; }
    QList<TimedRecording> timedRecordings() const { return m_timedRecordings; }
    void setTimedRecordings(const QList<TimedRecording> &entries) { m_timedRecordings = entries; }

    // A capture format the recorder and the jobs can use: PCM, 1-2 channels, 16 bits, a rate of
    // the sample-rate table. Jobs that take the format from the settings check it again.
    static bool isRecordFormat(const WaveFormat &format);

    // The "Record Setup.sys" byte layout. A file that does not parse whole changes nothing and
    // gives false; in one that does, each field outside its legal values takes its default.
    QByteArray toBytes() const;
    bool fromBytes(const QByteArray &bytes);

    // Load leaves the defaults when the file is missing; save replaces the file atomically.
    bool load(const QString &path);
    bool save(const QString &path) const;

private:
    WaveFormat m_recordFormat;
    QString m_saveDirectory;
    QStringList m_fileList;
    int m_bitRateIndex = kDefaultBitRateIndex;
    std::atomic<int> m_silenceEnabled{1};
    std::atomic<int> m_sensitivity{500};
    std::atomic<int> m_skipSilence{1};
    std::atomic<int> m_silenceAction{0};
    std::atomic<int> m_stopAfterSeconds{kDefaultSilenceSeconds};
    std::atomic<int> m_newFileAfterSeconds{kDefaultSilenceSeconds};
    bool m_playLoop = true;
    QList<TimedRecording> m_timedRecordings;
};

// The one settings object: built with the defaults and loaded from "Record Setup.sys" on
// first use, saved to the same file when the process exits.
RecorderSettings &settings();

// For programs that only read the settings (the command line): nothing is written at exit.
void keepSettingsUnsaved();

// The settings file's name inside the Data folder.
QString settingsFileName();

// The folder for new recordings when none is set: the user's Music folder, else home, with a trailing '/'.
QString defaultSaveDirectory();

// The Data folder, ending in '/': "Data/" beside the executable when that exists and is
// writable (portable use), else "Data/" in the application data location.
QString dataFolder();

// Points the Data folder elsewhere; for tests, before the first use of settings().
void overrideDataFolder(const QString &folder);

// Value files "<key>.dat": a 32-bit little-endian length, then that many bytes.
std::optional<QByteArray> readValue(const QString &key);
bool writeValue(const QString &key, const QByteArray &bytes);

// Folder paths are stored as text with their terminating zero; these add and strip it.
bool writeFolderValue(const QString &key, const QString &folder);
std::optional<QString> readFolderValue(const QString &key);

} // namespace sonavell
