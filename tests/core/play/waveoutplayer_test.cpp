#include "core/play/waveoutplayer.h"

#include "playtesting.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace sonavell::test {
namespace {

constexpr qsizetype kBuffer = WaveOutPlayer::kBufferBytes;

struct DeliveryCase
{
    const char *name;
    qsizetype dataSize;
    int channels;
    qint64 startOffset;
    int buffersPlayed;
    qint64 expectedStart;  // where in the data playback begins
    qsizetype playedBytes; // what the device receives in buffersPlayed buffers
};

void PrintTo(const DeliveryCase &c, std::ostream *os)
{
    *os << c.name;
}

class WaveOutDelivery : public testing::TestWithParam<DeliveryCase>
{
};

// The device receives the data from the start offset, in order, then silence.
TEST_P(WaveOutDelivery, PlaysDataThenSilence)
{
    const DeliveryCase &c = GetParam();
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("a.wav"));
    const QByteArray data = countingBytes(c.dataSize);
    ASSERT_TRUE(writeWave(path, pcmFormat(44100, c.channels), data));

    FakeAudioOutput output;
    output.allowBuffers(c.buffersPlayed);
    WaveOutPlayer player(output);
    ASSERT_TRUE(player.open(path, c.startOffset, c.dataSize));
    EXPECT_EQ(player.startOffset(), c.expectedStart);
    EXPECT_EQ(output.openedFormat(), pcmFormat(44100, c.channels));
    ASSERT_TRUE(output.waitForPlayed(c.buffersPlayed));

    const QByteArray played = output.played();
    QByteArray expected = data.mid(c.expectedStart);
    expected.resize(c.playedBytes, '\0');
    EXPECT_EQ(played.size(), c.playedBytes);
    EXPECT_TRUE(played == expected);
    EXPECT_EQ(player.position(), c.playedBytes);
    EXPECT_TRUE(player.isPlaying());
    player.stop();
    EXPECT_FALSE(output.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaveOutDelivery,
    testing::Values(
        DeliveryCase{"ShorterThanOneBuffer", 1000, 2, 0, 3, 0, 1000 + 2 * kBuffer},
        DeliveryCase{"SeveralBuffers", 100000, 2, 0, 8, 0, 100000 + kBuffer},
        DeliveryCase{"MoreThanTheRing", 40 * kBuffer, 2, 0, 20, 0, 20 * kBuffer},
        DeliveryCase{"StartInside", 100000, 2, 40000, 5, 40000, 60000 + kBuffer},
        DeliveryCase{"StartAtDataSizeIsSilence", 1000, 2, 1000, 2, 1000, 2 * kBuffer},
        DeliveryCase{"StartBeyondDataRestartsAtZero", 1000, 2, 2000, 2, 0, 1000 + kBuffer},
        DeliveryCase{"NegativeStartIsZero", 1000, 2, -8, 2, 0, 1000 + kBuffer},
        DeliveryCase{"StartInsideAFrameRoundsDown", 100000, 2, 4097, 1, 4096, kBuffer},
        DeliveryCase{"MonoStartOnOddByteRoundsDown", 5001, 1, 4001, 1, 4000, 1002},
        DeliveryCase{"DataEndingInsideAFrameIsPadded", 1001, 2, 0, 2, 0, 1004 + kBuffer}),
    [](const testing::TestParamInfo<DeliveryCase> &info) { return std::string(info.param.name); });

TEST(WaveOutPlayer, PositionIsZeroBeforeOpenAndAfterStopAndStopIsSafeTwice)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("a.wav"));
    ASSERT_TRUE(writeWave(path, pcmFormat(44100, 2), countingBytes(50000)));
    FakeAudioOutput output;
    output.allowBuffers(2);
    WaveOutPlayer player(output);
    EXPECT_EQ(player.position(), 0);
    player.stop();
    ASSERT_TRUE(player.open(path, 0, 50000));
    ASSERT_TRUE(output.waitForPlayed(2));
    EXPECT_EQ(player.position(), 2 * kBuffer);
    player.stop();
    EXPECT_EQ(player.position(), 0);
    EXPECT_FALSE(player.isPlaying());
    player.stop();
    EXPECT_FALSE(output.isOpen());
}

// The whole initial queue is with the device before it starts.
TEST(WaveOutPlayer, QueuesEveryBufferBeforeSoundStarts)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("a.wav"));
    ASSERT_TRUE(writeWave(path, pcmFormat(22050, 1), countingBytes(1000000)));
    ScriptedOutput output;
    output.allowBuffers(0);
    WaveOutPlayer player(output);
    ASSERT_TRUE(player.open(path, 0, 0));
    EXPECT_EQ(player.bufferCount(), WaveOutPlayer::kMaxBuffers);
    EXPECT_EQ(output.writes, WaveOutPlayer::kMaxBuffers);
    EXPECT_FALSE(output.isPaused());
    EXPECT_TRUE(output.played().isEmpty());
}

struct OpenCase
{
    const char *name;
    bool waveFile;
    int busyOpens;
    int preparable;
    int writable;
    bool opens;
    int expectedBuffers;
};

void PrintTo(const OpenCase &c, std::ostream *os)
{
    *os << c.name;
}

class WaveOutOpen : public testing::TestWithParam<OpenCase>
{
};

TEST_P(WaveOutOpen, Result)
{
    const OpenCase &c = GetParam();
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("a.wav"));
    const bool written = c.waveFile ? writeWave(path, pcmFormat(44100, 2), countingBytes(100000))
                                    : writeAll(path, QByteArray(5000, 'x'));
    ASSERT_TRUE(written);
    ScriptedOutput output;
    output.allowBuffers(0);
    output.busyOpens = c.busyOpens;
    output.preparable = c.preparable;
    output.writable = c.writable;
    WaveOutPlayer player(output);
    EXPECT_EQ(player.open(path, 0, 0), c.opens);
    EXPECT_EQ(player.isPlaying(), c.opens);
    EXPECT_EQ(output.isOpen(), c.opens);
    EXPECT_EQ(player.bufferCount(), c.expectedBuffers);
    if (!c.opens) {
        EXPECT_EQ(player.position(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaveOutOpen,
    testing::Values(OpenCase{"Plays", true, 0, -1, -1, true, 16},
                    OpenCase{"NotAWaveFile", false, 0, -1, -1, false, 0},
                    OpenCase{"BusyOnceIsRetried", true, 1, -1, -1, true, 16},
                    OpenCase{"BusyTwiceFails", true, 2, -1, -1, false, 0},
                    OpenCase{"FewerBuffersPrepared", true, 0, 5, -1, true, 5},
                    OpenCase{"TwoBuffersAreEnough", true, 0, 2, -1, true, 2},
                    OpenCase{"OneBufferIsNotEnough", true, 0, 1, -1, false, 0},
                    OpenCase{"WriteRefusedDuringTheFirstFill", true, 0, -1, 3, false, 0}),
    [](const testing::TestParamInfo<OpenCase> &info) { return std::string(info.param.name); });

TEST(WaveOutPlayer, MissingFileDoesNotOpenTheDevice)
{
    ScriptedOutput output;
    WaveOutPlayer player(output);
    EXPECT_FALSE(player.open(QStringLiteral("/nonexistent/a.wav"), 0, 0));
    EXPECT_EQ(output.opens, 0);
}

// GIVEN a device that refuses the 21st buffer WHEN the ring refills THEN the player stops itself
// and its owner's stop releases the device.
TEST(WaveOutPlayer, RefusedBufferStopsPlaying)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("a.wav"));
    ASSERT_TRUE(writeWave(path, pcmFormat(44100, 2), countingBytes(100000)));
    ScriptedOutput output;
    output.allowBuffers(5);
    output.writable = 20;
    WaveOutPlayer player(output);
    ASSERT_TRUE(player.open(path, 0, 0));
    ASSERT_TRUE(output.waitForPlayed(5));
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(output.writes, 20);
    player.stop();
    EXPECT_FALSE(output.isOpen());
}

// Stop lands while the notification thread is refilling as fast as it can.
TEST(WaveOutPlayer, StopDuringRefills)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("a.wav"));
    ASSERT_TRUE(writeWave(path, pcmFormat(44100, 2), countingBytes(3 * kBuffer + 5)));
    FakeAudioOutput output;
    for (int round = 0; round < 20; ++round) {
        WaveOutPlayer player(output);
        ASSERT_TRUE(player.open(path, round * 1000, 0));
        ASSERT_TRUE(output.waitForPlayed(round * 3));
        player.stop();
        EXPECT_FALSE(output.isOpen());
        player.stop();
    }
}

// The editor makes a new player for each play on the same device; the old one may go later.
TEST(WaveOutPlayer, AStoppedPlayerLeavesTheNextOneItsDevice)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("a.wav"));
    ASSERT_TRUE(writeWave(path, pcmFormat(44100, 2), countingBytes(50000)));
    FakeAudioOutput output;
    output.allowBuffers(0);
    auto first = std::make_unique<WaveOutPlayer>(output);
    ASSERT_TRUE(first->open(path, 0, 0));
    first->stop();
    WaveOutPlayer second(output);
    ASSERT_TRUE(second.open(path, 0, 0));
    first->stop();
    first.reset();
    EXPECT_TRUE(output.isOpen());
    EXPECT_TRUE(second.isPlaying());
    WaveOutPlayer never(output);
    EXPECT_FALSE(never.open(path, 0, 0)); // the device is taken
    EXPECT_TRUE(output.isOpen());
}

TEST(WaveOutPlayer, DestroyingAPlayingPlayerReleasesTheDevice)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("a.wav"));
    ASSERT_TRUE(writeWave(path, pcmFormat(8000, 1), countingBytes(70000)));
    FakeAudioOutput output;
    {
        WaveOutPlayer player(output);
        ASSERT_TRUE(player.open(path, 0, 0));
        ASSERT_TRUE(output.waitForPlayed(30));
    }
    EXPECT_FALSE(output.isOpen());
}

} // namespace
} // namespace sonavell::test
