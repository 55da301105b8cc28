#include "core/play/mediawindowplayer.h"

#include "core/mp3/medialength.h"
#include "playtesting.h"
#include "testname.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace sonavell {

void PrintTo(MediaMode mode, std::ostream *os)
{
    *os << static_cast<int>(mode);
}

namespace test {
namespace {

constexpr qint64 kBuffer = MediaWindowPlayer::kBufferBytes;

// Keeps every notification; notifications after `closed` is set count as faults.
class RecordingOwner : public MediaPlayerOwner
{
public:
    void mediaModeChanged(MediaMode mode) override
    {
        std::lock_guard lock(m_mutex);
        modes.push_back(mode);
        afterClose += closed ? 1 : 0;
        m_changed.notify_all();
    }
    void mediaPositionChanged(qint64 ms) override
    {
        std::lock_guard lock(m_mutex);
        positions.push_back(ms);
        afterClose += closed ? 1 : 0;
    }
    // Waits until `count` notifications of mode have come.
    void waitForMode(MediaMode mode, int count = 1)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return std::count(modes.begin(), modes.end(), mode) >= count; });
    }
    std::vector<MediaMode> modesSeen()
    {
        std::lock_guard lock(m_mutex);
        return modes;
    }
    std::vector<qint64> positionsSeen()
    {
        std::lock_guard lock(m_mutex);
        return positions;
    }

    std::vector<MediaMode> modes;
    std::vector<qint64> positions;
    bool closed = false;
    int afterClose = 0;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

class MediaPlayer : public testing::Test
{
protected:
    void SetUp() override
    {
        path = folder.file(QStringLiteral("song.mp3"));
        ASSERT_TRUE(makeMp3(path, sweepPcm(44100, 2, 3.0), 44100, 2, 128));
        whole = test::decodeForPlayback(path);
        ASSERT_GT(whole.size(), 3 * 44100 * 4);
        player.setPath(path);
        player.setOwner(&owner);
    }

    TempFolder folder;
    QString path;
    QByteArray whole;
    ScriptedOutput output;
    RecordingOwner owner;
    MediaWindowPlayer player{output};
};

TEST_F(MediaPlayer, LengthInMillisecondsOnceOpen)
{
    EXPECT_EQ(player.length(), 0);
    EXPECT_EQ(player.position(), 0);
    ASSERT_TRUE(player.open());
    EXPECT_EQ(player.length(), queryMediaLength(path));
    EXPECT_EQ(player.length(), (whole.size() / 4 * 1000 + 22050) / 44100);
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.mode(), MediaMode::Stopped);
    EXPECT_EQ(output.openedFormat(), pcmFormat(44100, 2));
    EXPECT_TRUE(owner.modesSeen().empty());
}

// GIVEN an unthrottled device WHEN the file plays to its end THEN the device got the whole decoded
// stream in order, and the owner heard Playing, rising positions and Stopped last.
TEST_F(MediaPlayer, PlaysTheWholeFileThenReportsStopped)
{
    output.allowBuffers(0);
    ASSERT_TRUE(player.play());
    output.allowBuffers(-1);
    owner.waitForMode(MediaMode::Stopped);
    EXPECT_TRUE(output.played() == whole);
    EXPECT_EQ(player.mode(), MediaMode::Stopped);
    EXPECT_EQ(player.position(), player.length());
    EXPECT_EQ(owner.modesSeen(), (std::vector<MediaMode>{MediaMode::Playing, MediaMode::Stopped}));
    const std::vector<qint64> positions = owner.positionsSeen();
    ASSERT_FALSE(positions.empty());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.back(), player.length());

    // Play at the end starts again from the beginning (the loop option relies on it).
    ASSERT_TRUE(player.play());
    owner.waitForMode(MediaMode::Stopped, 2);
    EXPECT_TRUE(output.played() == whole + whole);
}

class MediaPlayerSeek : public MediaPlayer, public testing::WithParamInterface<qint64>
{
};

TEST_P(MediaPlayerSeek, PlaysTheSamplesAtThatTime)
{
    const qint64 ms = GetParam();
    ASSERT_TRUE(player.open());
    output.allowBuffers(0);
    player.seekAndPlay(ms);
    EXPECT_EQ(player.mode(), MediaMode::Playing);
    output.allowBuffers(2);
    ASSERT_TRUE(output.waitForPlayed(2));
    const qint64 sample = ms * 44100 / 1000;
    const QByteArray expected = whole.mid(sample * 4, 2 * kBuffer);
    EXPECT_TRUE(output.played() == expected) << "at " << ms << " ms";
    EXPECT_EQ(player.position(), ((sample + 2 * kBuffer / 4) * 1000 + 22050) / 44100);
}

INSTANTIATE_TEST_SUITE_P(Times, MediaPlayerSeek, testing::Values(0, 1, 26, 1000, 1499, 2345),
                         [](const auto &info) { return "at" + std::to_string(info.param) + "ms"; });

TEST_F(MediaPlayer, SeekBeyondTheEndStopsAtTheEnd)
{
    ASSERT_TRUE(player.open());
    player.seekAndPlay(100000);
    EXPECT_EQ(player.mode(), MediaMode::Stopped);
    EXPECT_EQ(player.position(), player.length());
    EXPECT_TRUE(output.played().isEmpty());
}

TEST_F(MediaPlayer, PauseHoldsTheDeviceAndResumeLosesNothing)
{
    output.allowBuffers(2);
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(output.waitForPlayed(2));
    player.togglePause();
    EXPECT_TRUE(player.isPaused());
    EXPECT_EQ(player.mode(), MediaMode::Paused);
    EXPECT_TRUE(output.isPaused());
    const qint64 pausedAt = player.position();
    EXPECT_EQ(pausedAt, (2 * kBuffer / 4 * 1000 + 22050) / 44100);
    player.togglePause();
    EXPECT_FALSE(player.isPaused());
    EXPECT_FALSE(output.isPaused());
    output.allowBuffers(-1);
    owner.waitForMode(MediaMode::Stopped);
    EXPECT_TRUE(output.played() == whole);
    EXPECT_EQ(owner.modesSeen(),
              (std::vector<MediaMode>{MediaMode::Playing, MediaMode::Paused, MediaMode::Playing, MediaMode::Stopped}));
}

TEST_F(MediaPlayer, PlayResumesAPausedPlayer)
{
    output.allowBuffers(1);
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(output.waitForPlayed(1));
    player.togglePause();
    ASSERT_EQ(player.mode(), MediaMode::Paused);
    output.allowBuffers(-1);
    ASSERT_TRUE(player.play());
    EXPECT_FALSE(player.isPaused());
    owner.waitForMode(MediaMode::Stopped);
    EXPECT_TRUE(output.played() == whole);
}

TEST_F(MediaPlayer, SeekStartAndEndStopPlaying)
{
    output.allowBuffers(1);
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(output.waitForPlayed(1));
    player.seekEnd();
    EXPECT_EQ(player.mode(), MediaMode::Stopped);
    EXPECT_EQ(player.position(), player.length());
    player.seekStart();
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(owner.modesSeen(), (std::vector<MediaMode>{MediaMode::Playing, MediaMode::Stopped}));

    player.seekEnd();
    output.allowBuffers(-1);
    ASSERT_TRUE(player.play()); // from the end: again from the start
    owner.waitForMode(MediaMode::Stopped, 2);
    EXPECT_TRUE(output.played().mid(kBuffer) == whole);
}

TEST_F(MediaPlayer, StoppedPlayerNeverCallsBack)
{
    for (int round = 0; round < 10; ++round) {
        ASSERT_TRUE(player.play());
        player.seekAndPlay(round * 200);
        player.stopAndClose();
        owner.closed = true; // the owner's thread: no notification may follow
        EXPECT_FALSE(player.isOpen());
        EXPECT_FALSE(output.isOpen());
        EXPECT_EQ(player.length(), 0);
        EXPECT_EQ(player.position(), 0);
        EXPECT_EQ(player.mode(), MediaMode::NotReady);
        player.stopAndClose();
        EXPECT_EQ(owner.afterClose, 0);
        owner.closed = false;
    }
}

TEST_F(MediaPlayer, CommandsWithoutAWindowDoNothing)
{
    player.togglePause();
    player.seekStart();
    player.seekEnd();
    player.seekAndPlay(500);
    player.stopAndClose();
    EXPECT_FALSE(player.isOpen());
    EXPECT_FALSE(player.isPaused());
    EXPECT_EQ(output.opens, 0);
    EXPECT_TRUE(owner.modesSeen().empty());
}

TEST_F(MediaPlayer, RefusedBufferStops)
{
    output.allowBuffers(3);
    output.writable = MediaWindowPlayer::kBufferCount + 2;
    ASSERT_TRUE(player.play());
    owner.waitForMode(MediaMode::Stopped);
    EXPECT_EQ(player.mode(), MediaMode::Stopped);
    player.stopAndClose();
    EXPECT_FALSE(output.isOpen());
}

TEST_F(MediaPlayer, BusyDeviceIsTriedTwice)
{
    output.busyOpens = 1;
    EXPECT_TRUE(player.open());
    player.stopAndClose();
    output.opens = 0;
    output.busyOpens = 2;
    EXPECT_FALSE(player.play());
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(output.opens, 2);
}

TEST_F(MediaPlayer, AClosedPlayerLeavesTheNextOneItsDevice)
{
    ASSERT_TRUE(player.open());
    player.stopAndClose();
    MediaWindowPlayer next(output);
    next.setPath(path);
    ASSERT_TRUE(next.open());
    player.stopAndClose();
    EXPECT_FALSE(player.open()); // the device is taken
    player.stopAndClose();
    EXPECT_TRUE(output.isOpen());
    EXPECT_TRUE(next.isOpen());
}

TEST(MediaPlayerFiles, WhatCannotBePlayed)
{
    TempFolder folder;
    const QString junk = folder.file(QStringLiteral("junk.mp3"));
    ASSERT_TRUE(writeAll(junk, QByteArray(5000, '\x33')));
    FakeAudioOutput output;
    MediaWindowPlayer player(output);
    for (const QString &path : {QString(), folder.file(QStringLiteral("missing.mp3")), junk}) {
        player.setPath(path);
        EXPECT_FALSE(player.play()) << path.toStdString();
        EXPECT_FALSE(player.isOpen());
        EXPECT_FALSE(output.isOpen());
    }
}

TEST(MediaPlayerFiles, MonoPlaysMono)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("mono.mp3"));
    ASSERT_TRUE(makeMp3(path, sweepPcm(22050, 1, 1.0), 22050, 1, 64));
    FakeAudioOutput output;
    RecordingOwner owner;
    MediaWindowPlayer player(output);
    player.setPath(path);
    player.setOwner(&owner);
    ASSERT_TRUE(player.play());
    owner.waitForMode(MediaMode::Stopped);
    EXPECT_EQ(output.openedFormat(), pcmFormat(22050, 1));
    EXPECT_TRUE(output.played() == test::decodeForPlayback(path));
}

} // namespace
} // namespace test
} // namespace sonavell
