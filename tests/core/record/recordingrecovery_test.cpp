// Recordings an interrupted run left behind: cut as a kill leaves them, repaired, renamed and
// reported; and recordings really killed while they were written from an ALSA file device.

#include "core/record/recordingrecovery.h"

#include "core/encode/mp3encoder.h"
#include "core/mp3/medialength.h"
#include "core/record/captureengine.h"
#include "core/record/recordingmarker.h"
#include "decodedmp3.h"
#include "platform/alsaaudioinput.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sonavell {
namespace {

constexpr int kRate = 44100;

// The bytes an encoder has put on the disk after `chunks` chunks of tone, before finish: what a
// kill leaves.
QByteArray unfinishedRecording(const QString &scratch, int chunks)
{
    Mp3Encoder encoder;
    encoder.setFormat(WaveFormat{1, 2, kRate, 0, 0, 16, 0}.normalizedPcm());
    encoder.setPath(scratch);
    encoder.setBitRate(128);
    EXPECT_TRUE(encoder.start(0));
    const QByteArray pcm = test::sinePcm(kRate, 2, 1152.0 * chunks / kRate + 0.1, 440, 10000);
    for (int i = 0; i < chunks; ++i)
        encoder.encodeChunk(pcm.constData() + qsizetype(i) * encoder.bytesPerChunk());
    return test::readAll(scratch);
}

// Length as the list shows it, against what a decoder gets out of the file.
void expectPlayableAndMeasuredRight(const QString &path)
{
    const test::DecodedMp3 decoded = test::decodeMp3File(path);
    SCOPED_TRACE(path.toStdString());
    EXPECT_EQ(decoded.errors, 0);
    ASSERT_GT(decoded.audioFrames, 0);
    const double frameMs = 1152.0 * 1000 / kRate;
    EXPECT_NEAR(queryMediaLength(path), decoded.seconds() * 1000, frameMs);
    // The frame the encoder kept for its tag now holds one that tells the truth.
    EXPECT_TRUE(decoded.hasInfoFrame);
    EXPECT_EQ(decoded.infoFrameCount, decoded.audioFrames);
}

class RecoveryTest : public testing::Test
{
protected:
    QString save(const QString &name) const { return folder.file(name); }
    RecoveryReport recover() const { return recoverRecordings(folder.path(), markers.path()); }

    test::TempFolder folder;
    test::TempFolder markers;
    test::TempFolder scratch;
};

struct CutCase
{
    const char *name;
    int chunks;
    int cutBytes; // taken off the end of what the encoder wrote, to land inside a frame
};

class RecoveryCut : public RecoveryTest, public testing::WithParamInterface<CutCase> {};

TEST_P(RecoveryCut, RepairsRenamesAndListsTheTake)
{
    QByteArray bytes = unfinishedRecording(scratch.file(QStringLiteral("enc")), GetParam().chunks);
    bytes.chop(GetParam().cutBytes);
    ASSERT_TRUE(test::writeAll(save(QStringLiteral("2024-05-01-09-30")), bytes));

    const RecoveryReport report = recover();
    const QString listed = save(QStringLiteral("2024-05-01-09-30.mp3"));
    ASSERT_EQ(report.recoveredPaths(), QStringList{listed});
    EXPECT_FALSE(QFile::exists(save(QStringLiteral("2024-05-01-09-30"))));
    expectPlayableAndMeasuredRight(listed);
    EXPECT_TRUE(report.message().contains(listed + QStringLiteral(" (0:0"))) << report.message().toStdString();

    // A second run finds nothing to do and changes nothing.
    const QByteArray repaired = test::readAll(listed);
    EXPECT_TRUE(recover().isEmpty());
    EXPECT_EQ(test::readAll(listed), repaired);
}

INSTANTIATE_TEST_SUITE_P(Table, RecoveryCut,
                         testing::Values(CutCase{"whole_frames", 300, 0}, CutCase{"partial_last_frame", 300, 100},
                                         CutCase{"a_few_frames", 8, 7}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(RecoveryTest, TakeOfAMarkerGetsItsNameAndNeverReplacesAFile)
{
    const QByteArray bytes = unfinishedRecording(scratch.file(QStringLiteral("enc")), 100);
    ASSERT_TRUE(test::writeAll(save(QStringLiteral("2024-05-01-09-31")), bytes));
    ASSERT_TRUE(test::writeAll(save(QStringLiteral("take1.mp3")), "keep me"));
    RecordingMarker marker;
    ASSERT_TRUE(marker.write(markers.path(), save(QStringLiteral("2024-05-01-09-31")), save(QStringLiteral("take1.mp3"))));

    const RecoveryReport report = recover();
    EXPECT_EQ(report.recoveredPaths(), QStringList{save(QStringLiteral("take1001.mp3"))});
    EXPECT_EQ(test::readAll(save(QStringLiteral("take1.mp3"))), QByteArray("keep me"));
    EXPECT_TRUE(RecordingMarker::list(markers.path()).isEmpty());
    expectPlayableAndMeasuredRight(save(QStringLiteral("take1001.mp3")));
}

// A Stop whose rename failed left a finished file and its marker: it is only renamed, its
// encoder's own tag kept byte for byte.
TEST_F(RecoveryTest, FinishedTakeWhoseRenameFailedIsOnlyRenamed)
{
    const QString scratchPath = scratch.file(QStringLiteral("enc"));
    {
        Mp3Encoder encoder;
        encoder.setFormat(WaveFormat{1, 2, kRate, 0, 0, 16, 0}.normalizedPcm());
        encoder.setPath(scratchPath);
        ASSERT_TRUE(encoder.start(0));
        const QByteArray pcm = test::sinePcm(kRate, 2, 2.0, 440, 10000);
        for (qsizetype at = 0; at + encoder.bytesPerChunk() <= pcm.size(); at += encoder.bytesPerChunk())
            encoder.encodeChunk(pcm.constData() + at);
        ASSERT_TRUE(encoder.finish());
    }
    const QByteArray finished = test::readAll(scratchPath);
    ASSERT_TRUE(test::writeAll(save(QStringLiteral("2024-05-01-09-36")), finished));
    RecordingMarker marker;
    ASSERT_TRUE(marker.write(markers.path(), save(QStringLiteral("2024-05-01-09-36")), save(QStringLiteral("take2.mp3"))));
    EXPECT_EQ(recover().recoveredPaths(), QStringList{save(QStringLiteral("take2.mp3"))});
    EXPECT_EQ(test::readAll(save(QStringLiteral("take2.mp3"))), finished);
}

TEST_F(RecoveryTest, EmptyTakeIsRemovedAndOtherFilesAreLeftAndNamed)
{
    ASSERT_TRUE(test::writeAll(save(QStringLiteral("2024-05-01-09-32")), QByteArray()));
    const QByteArray text("not a recording at all, only some words in a file\n");
    ASSERT_TRUE(test::writeAll(save(QStringLiteral("2024-05-01-09-33")), text));
    ASSERT_TRUE(test::writeAll(save(QStringLiteral("notes")), text)); // not a time stamp: not looked at

    const RecoveryReport report = recover();
    ASSERT_EQ(report.files.size(), 2);
    EXPECT_TRUE(report.recoveredPaths().isEmpty());
    EXPECT_FALSE(QFile::exists(save(QStringLiteral("2024-05-01-09-32"))));
    EXPECT_EQ(test::readAll(save(QStringLiteral("2024-05-01-09-33"))), text);
    EXPECT_TRUE(report.message().contains(save(QStringLiteral("2024-05-01-09-32"))));
    EXPECT_TRUE(report.message().contains(save(QStringLiteral("2024-05-01-09-33")) + QStringLiteral(": holds no MP3 audio")));
}

TEST_F(RecoveryTest, RecordingStillBeingWrittenIsLeftAlone)
{
    const QString live = save(QStringLiteral("2024-05-01-09-34"));
    ASSERT_TRUE(test::writeAll(live, unfinishedRecording(scratch.file(QStringLiteral("enc")), 50)));
    QFile writer(live);
    ASSERT_TRUE(writer.open(QIODevice::ReadWrite));
    ASSERT_EQ(::flock(writer.handle(), LOCK_SH), 0); // as the encoder holds it
    EXPECT_TRUE(recover().isEmpty());
    EXPECT_TRUE(QFile::exists(live));
}

// A clean Stop removes its marker; nothing is left to recover.
TEST_F(RecoveryTest, MarkerOfACleanStopLeavesNothing)
{
    RecordingMarker marker;
    ASSERT_TRUE(marker.write(markers.path(), save(QStringLiteral("2024-05-01-09-35")), save(QStringLiteral("x.mp3"))));
    marker.remove();
    EXPECT_TRUE(RecordingMarker::list(markers.path()).isEmpty());
    EXPECT_TRUE(recover().isEmpty());
}

// GIVEN a child process recording from an ALSA file device, WHEN it is killed at a random moment,
// THEN recovery turns what it wrote into a listed file whose length is its audio.
TEST_F(RecoveryTest, RecordingKilledAtRandomMomentsIsRecovered)
{
    const QString raw = scratch.file(QStringLiteral("in.raw"));
    ASSERT_TRUE(test::writeAll(raw, test::sinePcm(kRate, 2, 30.0, 440, 10000)));
    const QByteArray config = QStringLiteral("pcm.card { type file slave.pcm { type null } file \"/dev/null\" "
                                             "infile \"%1\" format raw }\n").arg(raw).toUtf8();
    std::mt19937 random(std::random_device{}());
    std::map<QString, qint64> onDiskAtKill;
    for (int kill = 0; kill < 3; ++kill) {
        const QString path = save(QStringLiteral("2024-05-01-10-0%1").arg(kill));
        const qint64 killAt = std::uniform_int_distribution<qint64>(500, 150000)(random);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            AlsaAudioInput input(QStringLiteral("card"), config);
            CaptureEngine engine(input, test::defaultSettings());
            engine.setRecordFormat(WaveFormat{1, 2, kRate, 0, 0, 16, 0});
            if (!engine.open(path) || !engine.start())
                ::_exit(1);
            for (;;)
                ::pause();
        }
        // Waits on the file, not on a clock: the child is killed once this much is on the disk.
        while (QFileInfo(path).size() < killAt) {
            int status = 0;
            if (::waitpid(child, &status, WNOHANG) == child)
                FAIL() << "the recording child ended by itself";
            ::usleep(1000);
        }
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        onDiskAtKill[save(QStringLiteral("2024-05-01-10-0%1.mp3").arg(kill))] = QFileInfo(path).size();
    }
    const RecoveryReport report = recover();
    ASSERT_EQ(report.recoveredPaths().size(), 3) << report.message().toStdString();
    for (const QString &listed : report.recoveredPaths()) {
        expectPlayableAndMeasuredRight(listed);
        // Nothing but a torn last frame is given up.
        EXPECT_GT(QFileInfo(listed).size(), onDiskAtKill[listed] - 1500) << listed.toStdString();
    }
    EXPECT_TRUE(recover().isEmpty());
}

} // namespace
} // namespace sonavell
