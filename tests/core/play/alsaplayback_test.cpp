// Both players on the ALSA output, through the file plugin over a null device: what the device
// was given ends up in a raw file.
#include "core/decode/mp3streamdecoder.h"
#include "core/mp3/mp3frametable.h"
#include "core/play/mediawindowplayer.h"
#include "core/play/waveoutplayer.h"
#include "platform/alsaaudiooutput.h"

#include "playtesting.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace sonavell::test {
namespace {

QByteArray fileDeviceConfig(const QString &raw)
{
    return QStringLiteral("pcm.out { type file slave.pcm { type null } file \"%1\" format raw }\n").arg(raw).toUtf8();
}

// Passes everything to the real device and counts the buffers it hands back.
class CountingOutput : public AudioOutput, private AudioOutputClient
{
public:
    explicit CountingOutput(AudioOutput &inner)
        : m_inner(inner)
    {
    }
    void waitForDone(int count)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_done >= count; });
    }

    bool open(const WaveFormat &format, AudioOutputClient *client) override
    {
        m_client = client;
        return m_inner.open(format, this);
    }
    bool prepare(AudioOutputBuffer &buffer) override { return m_inner.prepare(buffer); }
    bool unprepare(AudioOutputBuffer &buffer) override { return m_inner.unprepare(buffer); }
    bool write(AudioOutputBuffer &buffer) override { return m_inner.write(buffer); }
    bool pause() override { return m_inner.pause(); }
    bool restart() override { return m_inner.restart(); }
    bool reset() override { return m_inner.reset(); }
    std::uint64_t positionBytes() const override { return m_inner.positionBytes(); }
    bool close() override { return m_inner.close(); }
    bool isOpen() const override { return m_inner.isOpen(); }
    QString errorText() const override { return m_inner.errorText(); }

private:
    void onAudioOutput(Event event, AudioOutputBuffer *buffer) override
    {
        m_client->onAudioOutput(event, buffer);
        std::lock_guard lock(m_mutex);
        ++m_done;
        m_changed.notify_all();
    }

    AudioOutput &m_inner;
    AudioOutputClient *m_client = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_done = 0;
};

class StoppedOwner : public MediaPlayerOwner
{
public:
    void mediaModeChanged(MediaMode mode) override
    {
        std::lock_guard lock(m_mutex);
        if (mode == MediaMode::Stopped)
            m_stopped = true;
        m_changed.notify_all();
    }
    void mediaPositionChanged(qint64) override {}
    void waitForStopped()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopped = false;
};

TEST(AlsaPlayback, WaveOutPlayerSendsTheDataThenSilence)
{
    TempFolder folder;
    const QString wave = folder.file(QStringLiteral("a.wav"));
    const QString raw = folder.file(QStringLiteral("out.raw"));
    const QByteArray data = sinePcm(44100, 2, 0.5, 440, 9000);
    ASSERT_TRUE(writeWave(wave, pcmFormat(44100, 2), data));
    AlsaAudioOutput alsa(QStringLiteral("out"), fileDeviceConfig(raw));
    CountingOutput output(alsa);
    {
        WaveOutPlayer player(output);
        ASSERT_TRUE(player.open(wave, 0, data.size())) << alsa.errorText().toStdString();
        const int dataBuffers = int(data.size() / WaveOutPlayer::kBufferBytes) + 1;
        output.waitForDone(dataBuffers + 2);
        EXPECT_GE(player.position(), data.size());
        player.stop();
        player.stop();
        EXPECT_FALSE(alsa.isOpen());
    }
    const QByteArray played = readAll(raw);
    ASSERT_GE(played.size(), data.size());
    EXPECT_TRUE(played.left(data.size()) == data);
    EXPECT_EQ(played.mid(data.size()).count('\0'), played.size() - data.size());
}

TEST(AlsaPlayback, MediaPlayerPlaysTheDecodedFileToTheEnd)
{
    TempFolder folder;
    const QString mp3 = folder.file(QStringLiteral("a.mp3"));
    const QString raw = folder.file(QStringLiteral("out.raw"));
    ASSERT_TRUE(makeMp3(mp3, sweepPcm(44100, 2, 1.5), 44100, 2, 128));
    AlsaAudioOutput alsa(QStringLiteral("out"), fileDeviceConfig(raw));
    StoppedOwner owner;
    MediaWindowPlayer player(alsa);
    player.setPath(mp3);
    player.setOwner(&owner);
    ASSERT_TRUE(player.play()) << alsa.errorText().toStdString();
    owner.waitForStopped();
    EXPECT_EQ(player.position(), player.length());
    player.stopAndClose();

    Mp3FrameTable table;
    ASSERT_TRUE(table.build(mp3));
    Mp3StreamDecoder decoder(table);
    ASSERT_TRUE(decoder.open(mp3));
    QByteArray whole(static_cast<qsizetype>(table.totalSamples() * 4), '\0');
    ASSERT_EQ(decoder.read(reinterpret_cast<std::uint8_t *>(whole.data()), static_cast<std::uint32_t>(whole.size())),
              static_cast<std::uint32_t>(whole.size()));
    EXPECT_TRUE(readAll(raw) == whole);
}

} // namespace
} // namespace sonavell::test
