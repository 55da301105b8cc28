#include "platform/fakeaudioinput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace sonavell {
namespace {

class Requeue : public AudioInputClient
{
public:
    explicit Requeue(AudioInput &input) : m_input(input) {}
    void onAudioInput(Event event, AudioInputBuffer *buffer) override
    {
        if (event == Event::DeviceLost) {
            lost = true;
            return;
        }
        if (buffer->bytesRecorded == 0)
            return;
        const auto *samples = reinterpret_cast<const std::int16_t *>(buffer->data);
        firstSamples.push_back(samples[0]);
        m_input.queue(*buffer);
    }
    std::vector<std::int16_t> firstSamples;
    std::atomic<bool> lost{false};

private:
    AudioInput &m_input;
};

TEST(FakeAudioInput, FillsFromTheSignalAndUnplugsAfterTheFrameLimit)
{
    FakeAudioInput fake;
    fake.setSignal([](std::uint64_t frame, int channel) { return std::int16_t(frame * 2 + channel); });
    fake.setFrameLimit(250);
    WaveFormat format;
    format = format.normalizedPcm();
    Requeue client(fake);
    ASSERT_TRUE(fake.open(0, format, &client));
    std::vector<std::uint8_t> a(400), b(400);
    AudioInputBuffer buffers[2] = {{a.data(), 400, 0, false, false}, {b.data(), 400, 0, false, false}};
    for (AudioInputBuffer &buffer : buffers)
        ASSERT_TRUE(fake.prepare(buffer) && fake.queue(buffer));
    ASSERT_TRUE(fake.start());
    EXPECT_FALSE(fake.waitForDelivered(100)); // ends early: unplugged
    EXPECT_EQ(fake.delivered(), 3u);          // 100 + 100 + 50 frames
    EXPECT_TRUE(client.lost);
    EXPECT_EQ(client.firstSamples, (std::vector<std::int16_t>{0, 200, 400}));
    ASSERT_TRUE(fake.reset());
    ASSERT_TRUE(fake.close());
}

TEST(FakeAudioInput, ScriptedFailuresHitTheNamedCall)
{
    FakeAudioInput fake;
    fake.failAt(FakeAudioInput::Step::Queue, 1);
    Requeue client(fake);
    ASSERT_TRUE(fake.open(0, WaveFormat{}.normalizedPcm(), &client));
    std::vector<std::uint8_t> memory(64);
    AudioInputBuffer buffer{memory.data(), 64, 0, false, false};
    ASSERT_TRUE(fake.prepare(buffer));
    EXPECT_TRUE(fake.queue(buffer));
    EXPECT_FALSE(fake.queue(buffer));
    EXPECT_FALSE(fake.errorText().isEmpty());
    EXPECT_TRUE(fake.reset());
    EXPECT_EQ(fake.returnedByReset(), 1u);
    EXPECT_TRUE(fake.close());
    EXPECT_FALSE(fake.close());
}

} // namespace
} // namespace sonavell
