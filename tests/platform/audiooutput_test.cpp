#include "platform/alsaaudiooutput.h"
#include "platform/fakeaudiooutput.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace sonavell {
namespace {

class DoneCounter : public AudioOutputClient
{
public:
    void onAudioOutput(Event event, AudioOutputBuffer *) override
    {
        std::lock_guard lock(m_mutex);
        if (event == Event::BufferDone)
            ++m_done;
        m_changed.notify_all();
    }
    void waitFor(int count)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_done >= count; });
    }
    int done()
    {
        std::lock_guard lock(m_mutex);
        return m_done;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_done = 0;
};

struct Chunks
{
    explicit Chunks(const QByteArray &pcm, int count)
    {
        const qsizetype size = pcm.size() / count;
        for (int i = 0; i < count; ++i)
            parts.push_back(pcm.mid(i * size, size));
        for (const QByteArray &part : parts)
            buffers.push_back(AudioOutputBuffer{reinterpret_cast<const std::uint8_t *>(part.constData()),
                                                static_cast<std::uint32_t>(part.size()), false, false});
    }
    std::vector<QByteArray> parts;
    std::vector<AudioOutputBuffer> buffers;
};

WaveFormat stereo()
{
    return WaveFormat{}.normalizedPcm();
}

// Both implementations play written buffers in order, hand each back once, and report bytes.
class AudioOutputContract : public testing::TestWithParam<bool> {};

TEST_P(AudioOutputContract, PlaysBuffersInOrder)
{
    test::TempFolder folder;
    const QString raw = folder.file(QStringLiteral("out.raw"));
    std::unique_ptr<AudioOutput> output;
    FakeAudioOutput *fake = nullptr;
    if (GetParam()) {
        output = std::make_unique<AlsaAudioOutput>(
            QStringLiteral("out"),
            QStringLiteral("pcm.out { type file slave.pcm { type null } file \"%1\" format raw }\n").arg(raw).toUtf8());
    } else {
        auto owned = std::make_unique<FakeAudioOutput>();
        fake = owned.get();
        output = std::move(owned);
    }
    const QByteArray pcm = test::sinePcm(44100, 2, 0.5, 440, 9000);
    Chunks chunks(pcm, 5);
    DoneCounter client;
    ASSERT_TRUE(output->open(stereo(), &client)) << output->errorText().toStdString();
    for (AudioOutputBuffer &buffer : chunks.buffers)
        ASSERT_TRUE(output->prepare(buffer) && output->write(buffer));
    client.waitFor(5);
    EXPECT_EQ(output->positionBytes(), static_cast<std::uint64_t>(pcm.size()));
    for (AudioOutputBuffer &buffer : chunks.buffers)
        EXPECT_TRUE(output->unprepare(buffer));
    EXPECT_TRUE(output->close());
    EXPECT_FALSE(output->isOpen());
    const QByteArray played = fake ? fake->played() : test::readAll(raw);
    EXPECT_EQ(played, pcm);
}

TEST_P(AudioOutputContract, PausedDeviceHoldsBuffersUntilResetHandsThemBack)
{
    std::unique_ptr<AudioOutput> output;
    if (GetParam())
        output = std::make_unique<AlsaAudioOutput>(QStringLiteral("out"), "pcm.out { type null }\n");
    else
        output = std::make_unique<FakeAudioOutput>();
    const QByteArray pcm = test::sinePcm(44100, 2, 0.1, 440, 9000);
    Chunks chunks(pcm, 4);
    DoneCounter client;
    ASSERT_TRUE(output->open(stereo(), &client));
    ASSERT_TRUE(output->pause());
    for (AudioOutputBuffer &buffer : chunks.buffers)
        ASSERT_TRUE(output->prepare(buffer) && output->write(buffer));
    ASSERT_TRUE(output->reset());
    EXPECT_EQ(client.done(), 4);
    EXPECT_EQ(output->positionBytes(), 0u);
    for (AudioOutputBuffer &buffer : chunks.buffers)
        EXPECT_FALSE(buffer.queued);

    // Still usable after the reset.
    ASSERT_TRUE(output->write(chunks.buffers[0]));
    client.waitFor(5);
    ASSERT_TRUE(output->restart());
    EXPECT_TRUE(output->close());
}

INSTANTIATE_TEST_SUITE_P(AudioOutput, AudioOutputContract, testing::Values(true, false),
                         [](const auto &info) { return std::string(info.param ? "Alsa" : "Fake"); });

TEST(AlsaAudioOutput, UnknownDeviceFailsSayingWhich)
{
    AlsaAudioOutput output(QStringLiteral("nowhere"), "pcm.out { type null }\n");
    DoneCounter client;
    EXPECT_FALSE(output.open(stereo(), &client));
    EXPECT_TRUE(output.errorText().contains(QStringLiteral("\"nowhere\"")));
    EXPECT_FALSE(output.pause());
    EXPECT_EQ(output.positionBytes(), 0u);
}

} // namespace
} // namespace sonavell
