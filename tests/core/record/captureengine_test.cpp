#include "core/record/captureengine.h"

#include "decodedmp3.h"
#include "core/encode/mp3encoder.h"
#include "platform/fakeaudioinput.h"
#include "testname.h"
#include "testsupport.h"

#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <vector>

namespace sonavell {
namespace {

WaveFormat pcmFormat(int channels, int rate)
{
    WaveFormat format;
    format.channels = static_cast<std::uint16_t>(channels);
    format.samplesPerSec = static_cast<std::uint32_t>(rate);
    // Byte rate and alignment deliberately wrong: the engine derives them.
    format.avgBytesPerSec = 1;
    format.blockAlign = 1;
    return format;
}

// A loud tone, so the encoder's silence skip at the start never drops a chunk.
std::int16_t tone(std::uint64_t frame, int channel)
{
    return static_cast<std::int16_t>(std::lround(12000 * std::sin(2 * M_PI * 441.0 * double(frame) / 44100.0)) + channel);
}

// Records listener calls; any call once `stopReturned` is set is a fault.
class CountingListener : public CaptureListener
{
public:
    void onBuffer(const std::int16_t *samples, std::uint32_t byteCount, bool redraw) override
    {
        std::lock_guard lock(mutex);
        if (stopReturned)
            ++callsAfterStop;
        calls.push_back(redraw);
        bytes += byteCount;
        firstSamples.push_back(samples[0]);
        changed.notify_all();
    }
    void onDeviceLost() override
    {
        std::lock_guard lock(mutex);
        lost = true;
        changed.notify_all();
    }
    void waitForCalls(size_t count)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return calls.size() >= count || lost; });
    }
    void waitForLoss()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return lost; });
    }
    size_t callCount()
    {
        std::lock_guard lock(mutex);
        return calls.size();
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<bool> calls;
    std::vector<std::int16_t> firstSamples;
    std::uint64_t bytes = 0;
    bool lost = false;
    std::atomic<bool> stopReturned{false};
    int callsAfterStop = 0;
};

class CaptureEngineTest : public testing::Test
{
protected:
    QString path() const { return folder.file(QStringLiteral("take.mp3")); }

    test::TempFolder folder;
    FakeAudioInput input;
    CountingListener listener;
};

struct SizeCase
{
    int channels;
    int rate;
    int bufferSize;
};

void PrintTo(const SizeCase &c, std::ostream *out)
{
    *out << c.channels << "ch_" << c.rate << "Hz";
}

class CaptureEngineSizes : public testing::TestWithParam<SizeCase> {};

TEST_P(CaptureEngineSizes, BuffersAreOneEncoderChunkOfWholeFrames)
{
    const SizeCase &c = GetParam();
    test::TempFolder folder;
    FakeAudioInput input;
    CaptureEngine engine(input, test::defaultSettings());
    EXPECT_EQ(engine.bufferSize(), 16384);
    engine.setRecordFormat(pcmFormat(c.channels, c.rate));
    ASSERT_TRUE(engine.open(folder.file(QStringLiteral("a.mp3"))));
    EXPECT_EQ(engine.bufferSize(), c.bufferSize);
    EXPECT_EQ(engine.bufferCount(), 5);
    EXPECT_EQ(engine.format().blockAlign, c.channels * 2);
    EXPECT_EQ(engine.format().avgBytesPerSec, static_cast<std::uint32_t>(c.rate * c.channels * 2));
    for (int i = 0; i < engine.bufferCount(); ++i) {
        EXPECT_EQ(engine.headerLength(i) % engine.format().blockAlign, 0u);
        EXPECT_LE(engine.headerLength(i), static_cast<std::uint32_t>(engine.bufferSize()));
    }
    EXPECT_FALSE(engine.close()); // the device never opened
}

// MPEG-1 rates take 1152 samples per channel and chunk, MPEG-2 and 2.5 rates 576.
INSTANTIATE_TEST_SUITE_P(CaptureEngine, CaptureEngineSizes,
                         testing::Values(SizeCase{2, 44100, 4608}, SizeCase{1, 44100, 2304},
                                         SizeCase{2, 22050, 2304}, SizeCase{1, 22050, 1152},
                                         SizeCase{1, 8000, 1152}, SizeCase{2, 11025, 2304}),
                         [](const auto &info) {
                             return test::formatName(info.param.channels, info.param.rate);
                         });

struct ElapsedCase
{
    int channels;
    int rate;
    int bits;
    std::uint64_t bytes;
    const char *text;
};

void PrintTo(const ElapsedCase &c, std::ostream *out)
{
    *out << c.bytes << "_bytes";
}

class CaptureEngineElapsed : public testing::TestWithParam<ElapsedCase> {};

TEST_P(CaptureEngineElapsed, FormatsMinutesAndSeconds)
{
    const ElapsedCase &c = GetParam();
    WaveFormat format = pcmFormat(c.channels, c.rate);
    format.bitsPerSample = static_cast<std::uint16_t>(c.bits);
    EXPECT_EQ(CaptureEngine::elapsedText(format, c.bytes), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(CaptureEngine, CaptureEngineElapsed,
                         testing::Values(ElapsedCase{2, 44100, 16, 0, "00 : 00"},
                                         ElapsedCase{2, 44100, 16, 176399, "00 : 00"},
                                         ElapsedCase{2, 44100, 16, 176400, "00 : 01"},
                                         ElapsedCase{2, 44100, 16, 10584000, "01 : 00"},
                                         ElapsedCase{1, 44100, 16, 10584000, "02 : 00"},
                                         ElapsedCase{1, 8000, 8, 8000, "00 : 01"},
                                         // Past the 32-bit byte count (6 h 45 min) and 99 minutes.
                                         ElapsedCase{2, 44100, 16, 176400ull * 6000, "100 : 00"},
                                         ElapsedCase{2, 44100, 16, 176400ull * 36000, "600 : 00"}),
                         [](const auto &info) {
                             const ElapsedCase &c = info.param;
                             return test::formatName(c.channels, c.rate) + '_' + std::to_string(c.bits) +
                                    "bit_" + std::to_string(c.bytes) + "bytes";
                         });

TEST_F(CaptureEngineTest, HistoryKeepsTheNewestBytesInOrder)
{
    // Each sample is its frame number, so positions in the history are easy to check.
    input.setSignal([](std::uint64_t frame, int channel) { return std::int16_t(frame * 2 + channel); });
    input.allowBuffers(2);
    CaptureEngine engine(input, test::defaultSettings());
    engine.setRecordFormat(pcmFormat(2, 44100));
    ASSERT_TRUE(engine.open(path()));
    ASSERT_TRUE(engine.start());
    ASSERT_TRUE(input.waitForDelivered(2));
    EXPECT_EQ(engine.historyFill(), 9216);
    input.allowBuffers(1);
    ASSERT_TRUE(input.waitForDelivered(3));
    EXPECT_EQ(engine.historyFill(), 11520);
    EXPECT_EQ(engine.historySize(), 11520);

    // 11520 bytes = 2880 frames: the last 6912 bytes of the first two buffers (frames 576..2303)
    // followed by the third buffer (frames 2304..3455).
    const std::vector<std::uint8_t> bytes = engine.historySnapshot();
    ASSERT_EQ(bytes.size(), 11520u);
    const auto *history = reinterpret_cast<const std::int16_t *>(bytes.data());
    for (int frame = 0; frame < 2880; ++frame)
        ASSERT_EQ(history[2 * frame], std::int16_t((frame + 576) * 2)) << frame;
    engine.stop();
    EXPECT_TRUE(engine.close());
}

TEST_F(CaptureEngineTest, PauseKeepsCountingButFeedsNeitherHistoryNorListener)
{
    input.setSignal(tone);
    input.allowBuffers(2);
    CaptureEngine engine(input, test::defaultSettings());
    engine.setListener(&listener);
    engine.setRecordFormat(pcmFormat(2, 44100));
    ASSERT_TRUE(engine.open(path()));
    ASSERT_TRUE(engine.start());
    ASSERT_TRUE(input.waitForDelivered(2));

    EXPECT_TRUE(engine.togglePause());
    EXPECT_TRUE(engine.isPaused());
    input.allowBuffers(40);
    ASSERT_TRUE(input.waitForDelivered(42));
    EXPECT_EQ(engine.totalBytes(), 42u * 4608);
    EXPECT_EQ(engine.elapsedText(), QStringLiteral("00 : 01")); // paused time included
    EXPECT_EQ(engine.historyFill(), 9216);
    EXPECT_EQ(listener.callCount(), 2u);

    EXPECT_FALSE(engine.togglePause());
    input.allowBuffers(3);
    ASSERT_TRUE(input.waitForDelivered(45));
    EXPECT_EQ(listener.callCount(), 5u);
    EXPECT_EQ(engine.historyFill(), 11520);
    engine.setListener(nullptr);
    engine.stop();
    EXPECT_TRUE(engine.close());

    // Only the five unpaused chunks reach the file.
    const test::DecodedMp3 decoded = test::decodeMp3File(path());
    EXPECT_NEAR(decoded.seconds(), 5 * 1152 / 44100.0, 0.03);
}

TEST_F(CaptureEngineTest, EveryListenerCallGetsTheWholeBufferAndEverySixthRedraws)
{
    input.setSignal(tone);
    input.allowBuffers(24);
    CaptureEngine engine(input, test::defaultSettings());
    engine.setListener(&listener);
    engine.setRecordFormat(pcmFormat(1, 44100));
    ASSERT_TRUE(engine.open(path()));
    ASSERT_TRUE(engine.start());
    ASSERT_TRUE(input.waitForDelivered(24));
    engine.setListener(nullptr);
    engine.stop();
    engine.close();

    ASSERT_EQ(listener.calls.size(), 24u);
    EXPECT_EQ(listener.bytes, 24u * 2304);
    std::vector<size_t> redraws;
    for (size_t i = 0; i < listener.calls.size(); ++i)
        if (listener.calls[i])
            redraws.push_back(i);
    ASSERT_EQ(redraws.size(), 4u); // the counter is process-wide, so only the spacing is fixed
    for (size_t i = 1; i < redraws.size(); ++i)
        EXPECT_EQ(redraws[i] - redraws[i - 1], 6u);
    // Buffers arrive in ring order: each listener call sees the next 1152 frames.
    for (size_t i = 0; i < listener.firstSamples.size(); ++i)
        EXPECT_EQ(listener.firstSamples[i], tone(i * 1152, 0)) << i;
}

TEST_F(CaptureEngineTest, RecordsTheSignalIntoAFinishedFile)
{
    input.setSignal(tone);
    input.allowBuffers(200);
    CaptureEngine engine(input, test::defaultSettings());
    engine.setRecordFormat(pcmFormat(2, 44100));
    ASSERT_TRUE(engine.open(path()));
    EXPECT_EQ(engine.fileName(), path());
    ASSERT_TRUE(engine.start());
    ASSERT_TRUE(input.waitForDelivered(200));
    EXPECT_TRUE(engine.stop());
    EXPECT_TRUE(engine.close());
    EXPECT_EQ(engine.error(), CaptureEngine::Error::None);

    const test::DecodedMp3 decoded = test::decodeMp3File(path());
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_EQ(decoded.sampleRate, 44100);
    EXPECT_NEAR(decoded.seconds(), 200 * 1152 / 44100.0, 0.05);
    EXPECT_NEAR(decoded.level(), 12000 * 2 / M_PI, 12000 * 0.1);
}

// What was encoded reaches the disk while the recording runs, not only at Stop.
TEST_F(CaptureEngineTest, FileIsFlushedToTheDiskWhileRecording)
{
    input.setSignal(tone);
    input.allowBuffers(0);
    CaptureEngine engine(input, test::defaultSettings());
    engine.setRecordFormat(pcmFormat(2, 44100));
    engine.setSyncInterval(std::chrono::milliseconds(1));
    ASSERT_TRUE(engine.open(path()));
    ASSERT_TRUE(engine.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return engine.encoder()->syncCount() >= 2; }, 20000));
    engine.stop();
    engine.close();
}

TEST_F(CaptureEngineTest, StopWhileCaptureRunsFlatOutNeverDeadlocksNorCallsTheListenerAfter)
{
    // The fake fills buffers instantly, so the callback spends its time waiting for the encode
    // thread; stop lands in that wait most of the time.
    for (int run = 0; run < 20; ++run) {
        FakeAudioInput device;
        device.setSignal(tone);
        CountingListener counting;
        CaptureEngine engine(device, test::defaultSettings());
        engine.setListener(&counting);
        engine.setRecordFormat(pcmFormat(2, 44100));
        ASSERT_TRUE(engine.open(folder.file(QStringLiteral("run%1.mp3").arg(run))));
        ASSERT_TRUE(engine.start());
        counting.waitForCalls(static_cast<size_t>(run % 7 + 1));
        EXPECT_TRUE(engine.stop());
        counting.stopReturned = true;
        const std::uint64_t delivered = device.delivered();
        EXPECT_TRUE(engine.close());
        EXPECT_EQ(device.delivered(), delivered);
        EXPECT_EQ(counting.callsAfterStop, 0);
        EXPECT_FALSE(device.isOpen());
    }
}

TEST_F(CaptureEngineTest, StopOnAnEngineThatNeverStartedIsHarmless)
{
    CaptureEngine engine(input, test::defaultSettings());
    EXPECT_TRUE(engine.stop());
    EXPECT_FALSE(engine.close());
}

TEST_F(CaptureEngineTest, UnpluggedDeviceEndsTheRecordingWithWhatWasCaptured)
{
    input.setSignal(tone);
    input.setFrameLimit(44100); // one second, then the device is gone
    CaptureEngine engine(input, test::defaultSettings());
    engine.setListener(&listener);
    engine.setRecordFormat(pcmFormat(2, 44100));
    ASSERT_TRUE(engine.open(path()));
    ASSERT_TRUE(engine.start());
    listener.waitForLoss();
    EXPECT_TRUE(engine.isDeviceLost());
    EXPECT_EQ(engine.error(), CaptureEngine::Error::DeviceLost);
    engine.setListener(nullptr);
    EXPECT_TRUE(engine.stop());
    EXPECT_TRUE(engine.close());
    // 38 whole buffers and a last one padded with silence.
    EXPECT_EQ(engine.totalBytes(), 39u * 4608);
    const test::DecodedMp3 decoded = test::decodeMp3File(path());
    EXPECT_NEAR(decoded.seconds(), 39 * 1152 / 44100.0, 0.05);
}

// Which scripted failure, and what start or close then report.
struct StartFailureCase
{
    const char *name;
    FakeAudioInput::Step step;
    CaptureEngine::Error failure;
    bool closeResult; // close after the failed start (and a stop, as the recording control does)
};

void PrintTo(const StartFailureCase &c, std::ostream *out)
{
    *out << c.name;
}

class CaptureEngineStartFailure : public testing::TestWithParam<StartFailureCase> {};

TEST_P(CaptureEngineStartFailure, ReportsTheStepAndCleansUp)
{
    const StartFailureCase &c = GetParam();
    test::TempFolder folder;
    FakeAudioInput input;
    input.failAt(c.step);
    const QString path = folder.file(QStringLiteral("f.mp3"));
    {
        CaptureEngine engine(input, test::defaultSettings());
        engine.setRecordFormat(pcmFormat(2, 44100));
        ASSERT_TRUE(engine.open(path));
        EXPECT_FALSE(engine.start());
        EXPECT_EQ(engine.error(), c.failure);
        EXPECT_TRUE(engine.errorText().contains(QStringLiteral("scripted"))) << engine.errorText().toStdString();
        EXPECT_TRUE(engine.stop());
        EXPECT_EQ(engine.close(), c.closeResult);
        EXPECT_FALSE(input.isOpen());
    }
    // Destroying the engine ended the encode thread and closed the file.
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(test::decodeMp3File(path).errors, 0);
}

INSTANTIATE_TEST_SUITE_P(
    CaptureEngine, CaptureEngineStartFailure,
    testing::Values(
        StartFailureCase{"DeviceOpen", FakeAudioInput::Step::Open, CaptureEngine::Error::DeviceOpen, false},
        StartFailureCase{"Prepare", FakeAudioInput::Step::Prepare, CaptureEngine::Error::DevicePrepare, false},
        StartFailureCase{"Queue", FakeAudioInput::Step::Queue, CaptureEngine::Error::DeviceQueue, true},
        StartFailureCase{"Start", FakeAudioInput::Step::Start, CaptureEngine::Error::DeviceStart, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CaptureEngineTest, NoCaptureDeviceFailsOpenWithoutCreatingTheFile)
{
    input.setDeviceNames({});
    CaptureEngine engine(input, test::defaultSettings());
    EXPECT_FALSE(engine.open(path()));
    EXPECT_EQ(engine.error(), CaptureEngine::Error::NoDevice);
    EXPECT_FALSE(engine.errorText().isEmpty());
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_FALSE(engine.start());
    EXPECT_TRUE(engine.stop());
    EXPECT_FALSE(engine.close());
}

TEST_F(CaptureEngineTest, UncreatableFileFailsOpen)
{
    CaptureEngine engine(input, test::defaultSettings());
    EXPECT_FALSE(engine.open(folder.file(QStringLiteral("missing/take.mp3"))));
    EXPECT_EQ(engine.error(), CaptureEngine::Error::FileNotCreatable);
    EXPECT_FALSE(engine.start());
    EXPECT_EQ(input.callCount(FakeAudioInput::Step::Open), 0);
}

TEST_F(CaptureEngineTest, MissingEncoderLibraryFailsOpen)
{
    const QString original = Mp3Encoder::libraryName();
    Mp3Encoder::setLibraryName(QStringLiteral("libsonavell-no-such-encoder.so"));
    CaptureEngine engine(input, test::defaultSettings());
    EXPECT_FALSE(engine.open(path()));
    Mp3Encoder::setLibraryName(original);
    EXPECT_EQ(engine.error(), CaptureEngine::Error::EncoderLibraryMissing);
    EXPECT_TRUE(engine.errorText().contains(QStringLiteral("libsonavell-no-such-encoder.so")));
}

TEST_F(CaptureEngineTest, UnsupportedFormatFailsOpen)
{
    WaveFormat format = pcmFormat(3, 44100);
    CaptureEngine engine(input, test::defaultSettings());
    engine.setRecordFormat(format);
    EXPECT_FALSE(engine.open(path()));
    EXPECT_EQ(engine.error(), CaptureEngine::Error::UnsupportedFormat);
}

} // namespace
} // namespace sonavell
