#include "core/process/trimjob.h"

#include "core/mp3/medialength.h"

#include "decodedmp3.h"
#include "processtesting.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

// Low-rate inputs keep the suite fast: 8000 Hz is MPEG-2.5, 576 samples (72 ms) a frame.
constexpr int kRate = 8000;
constexpr double kFrame = 576.0 / kRate;
// A re-encoded file starts with the encoder's delay and ends with its padding.
constexpr double kEncoderOverhead = 0.35;

QStringList entries(const test::TempFolder &folder)
{
    return QDir(folder.path()).entryList(QDir::Files, QDir::Name);
}

class TrimJobTest : public ::testing::Test
{
protected:
    QString makeTone(const char *name, double seconds)
    {
        const QString path = m_folder.file(QString::fromLatin1(name));
        EXPECT_TRUE(test::makeToneMp3(path, seconds, kRate, 1, 16));
        return path;
    }

    void run(TrimJob &job) { test::runOnWorker(job, m_sink); }

    // Puts an ID3v2 tag (one TIT2 frame) and an ID3v1 tag around the frames of path, trims one
    // second off each end and gives what lies between the tags, checking that they stayed.
    QByteArray trimTagged(const QString &path, bool recode)
    {
        // An ID3v2.3 header declaring 16 bytes, then one TIT2 frame of 6 bytes.
        const QByteArray id3v2 = QByteArray::fromHex("49443303000000000010") + QByteArray::fromHex("544954320000000600000041626364") + "e";
        EXPECT_EQ(id3v2.size(), 26);
        const QByteArray id3v1 = QByteArray("TAG").append(QByteArray("Title").leftJustified(125, '\0'));
        EXPECT_TRUE(test::writeAll(path, id3v2 + test::readAll(path) + id3v1));
        TrimJob job({path});
        job.setRecode(recode);
        job.setStartTrimSeconds(1);
        job.setEndTrimSeconds(1);
        run(job);
        const QByteArray bytes = test::readAll(path);
        EXPECT_EQ(bytes.left(id3v2.size()), id3v2);
        EXPECT_EQ(bytes.right(128), id3v1);
        return bytes.mid(id3v2.size(), bytes.size() - id3v2.size() - 128);
    }

    test::TempFolder m_folder;
    test::RecordingSink m_sink;
};

struct TrimCase
{
    const char *name;
    bool recode;
    double start;
    double end;
    double kept; // seconds of audio the result holds; 0: the input's length less start and end
};

class TrimWindowTest : public TrimJobTest, public ::testing::WithParamInterface<TrimCase>
{
};

TEST_P(TrimWindowTest, KeepsTheWindowOfASixtySecondFile)
{
    const TrimCase &c = GetParam();
    const QString path = makeTone("sixty.mp3", 60.0);
    // Lengths are exact: a copy is timed on the frames, a re-encoding on the real audio.
    const double length = c.recode ? test::gaplessSeconds(test::readAll(path)) : queryMediaLength(path) / 1000.0;
    const double kept = c.kept > 0 ? c.kept : length - c.start - c.end;
    TrimJob job({path});
    job.setRecode(c.recode);
    job.setBitrateKbps(64);
    job.setStartTrimSeconds(c.start);
    job.setEndTrimSeconds(c.end);
    run(job);

    EXPECT_TRUE(m_sink.errors.isEmpty()) << m_sink.errors.join(u'\n').toStdString();
    EXPECT_EQ(entries(m_folder), QStringList{QStringLiteral("sixty.mp3")});
    const test::DecodedMp3 out = test::decodeMp3File(path);
    EXPECT_EQ(out.sampleRate, kRate);
    if (c.recode) {
        // Frames from the one reaching elapsed second start to the last before second end.
        EXPECT_EQ(out.bitRates, std::set<int>{64});
        EXPECT_GE(out.seconds(), kept);
        EXPECT_LE(out.seconds(), kept + kEncoderOverhead);
    } else {
        // Frames copied as they are, from the one ending at start to the one ending at end;
        // the first two may lose their bit reservoir (up to 255 bytes back, two 144-byte
        // frames here) and not decode.
        EXPECT_EQ(out.bitRates, std::set<int>{16});
        EXPECT_GE(out.seconds(), kept - 3 * kFrame);
        EXPECT_LE(out.seconds(), kept + 2 * kFrame);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, TrimWindowTest,
    ::testing::Values(TrimCase{"copyDefaults", false, 10, 10, 0}, TrimCase{"recodeDefaults", true, 10, 10, 0},
                      // End 0: both run to the last frame.
                      TrimCase{"copyEndZero", false, 10, 0, 0}, TrimCase{"recodeEndZero", true, 10, 0, 0},
                      // Lengths that overlap: end becomes start + 1.
                      TrimCase{"copyOverlapping", false, 40, 40, 1.0}, TrimCase{"copyStartZero", false, 0, 30, 0},
                      TrimCase{"copyFractional", false, 2.5, 7.25, 0}, TrimCase{"recodeFractional", true, 2.5, 7.25, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(TrimJobTest, ReencodingAShortFileLowersTheStartLengthForTheRestOfTheJob)
{
    const QString five = makeTone("five.mp3", 5.0);
    const QString sixty = makeTone("sixty.mp3", 60.0);
    const QByteArray original = test::readAll(five);
    const double sixtyLength = test::gaplessSeconds(test::readAll(sixty));
    TrimJob job({five, sixty});
    job.setRecode(true);
    job.setStartTrimSeconds(10);
    job.setEndTrimSeconds(0);
    run(job);

    EXPECT_EQ(test::readAll(five), original);
    EXPECT_EQ(m_sink.errors, QStringList{TrimJob::tooShortMessage(five)});
    // Lowered to the five-second file's exact length.
    const double fiveSeconds = test::gaplessSeconds(original);
    EXPECT_NEAR(job.startTrimSeconds(), fiveSeconds, 0.001);
    const double seconds = test::decodeMp3File(sixty).seconds();
    EXPECT_GE(seconds, sixtyLength - fiveSeconds);
    EXPECT_LE(seconds, sixtyLength - fiveSeconds + kEncoderOverhead + kFrame);
}

class TrimShortFileTest : public TrimJobTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(TrimShortFileTest, IsReportedAndLeftAlone)
{
    const QString five = makeTone("five.mp3", 5.0);
    const QByteArray original = test::readAll(five);
    TrimJob job({five});
    job.setRecode(GetParam());
    job.setStartTrimSeconds(10);
    job.setEndTrimSeconds(10);
    run(job);
    EXPECT_EQ(test::readAll(five), original);
    EXPECT_EQ(m_sink.errors, QStringList{TrimJob::tooShortMessage(five)});
    EXPECT_EQ(entries(m_folder), QStringList{QStringLiteral("five.mp3")});
}

TEST_P(TrimShortFileTest, KeepsTagsAndMode)
{
    const QString path = makeTone("tagged.mp3", 3.0);
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(path, mode));
    const test::DecodedMp3 out = test::decodeMp3(trimTagged(path, GetParam()));
    EXPECT_GT(out.seconds(), 0.9);
    EXPECT_LT(out.seconds(), 1.5);
    EXPECT_EQ(QFile::permissions(path) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther),
              mode);
    EXPECT_EQ(entries(m_folder), QStringList{QStringLiteral("tagged.mp3")});
}

INSTANTIATE_TEST_SUITE_P(Modes, TrimShortFileTest, ::testing::Bool(),
                         [](const auto &info) { return std::string(info.param ? "recode" : "copy"); });

TEST_F(TrimJobTest, CopyLeaningOnTheBitReservoirPutsItsInfoFrameInsideTheTags)
{
    const QString path = m_folder.file(QStringLiteral("noise.mp3"));
    ASSERT_TRUE(test::makeReservoirMp3(path, test::noisePcm(kRate, 1, 4.0, 12000), kRate, 1, 16));
    const test::DecodedMp3 out = test::decodeMp3(trimTagged(path, false));
    EXPECT_EQ(out.errors, 0);
    EXPECT_TRUE(out.hasInfoFrame);
    EXPECT_EQ(out.infoFrameCount, out.audioFrames);
    EXPECT_GT(out.seconds(), 1.9);
    // The end is measured on the exact length, so the fraction of a second past 4 s is kept too.
    EXPECT_LT(out.seconds(), 2.7);
    EXPECT_EQ(entries(m_folder), QStringList{QStringLiteral("noise.mp3")});
}

TEST_F(TrimJobTest, CancelWhileReencodingLeavesTheFileAsItWas)
{
    const QString path = makeTone("a.mp3", 20.0);
    const QByteArray original = test::readAll(path);
    TrimJob job({path});
    job.setRecode(true);
    job.setEndTrimSeconds(0);
    m_sink.onTime = [&](int seconds) {
        if (seconds >= 12)
            job.cancel();
    };
    run(job);
    EXPECT_TRUE(m_sink.cancelled);
    EXPECT_EQ(test::readAll(path), original);
    EXPECT_EQ(entries(m_folder), QStringList{QStringLiteral("a.mp3")});
}

TEST_F(TrimJobTest, AFileThatCannotBeReadDoesNotLowerTheStartLength)
{
    const QString missing = m_folder.file(QStringLiteral("missing.mp3"));
    const QString sixty = makeTone("sixty.mp3", 60.0);
    TrimJob job({missing, sixty});
    job.setRecode(true);
    job.setStartTrimSeconds(30);
    job.setEndTrimSeconds(0);
    run(job);
    EXPECT_EQ(m_sink.errors, QStringList{QStringLiteral("Open File %1 Error").arg(missing)});
    EXPECT_EQ(job.startTrimSeconds(), 30);
    const double seconds = test::decodeMp3File(sixty).seconds();
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 30.0 + kEncoderOverhead + kFrame);
}

TEST_F(TrimJobTest, CopyOfAWriteProtectedFileIsRefused)
{
    const QString path = makeTone("locked.mp3", 3.0);
    const QByteArray original = test::readAll(path);
    QFile::setPermissions(path, QFile::ReadOwner);
    if (QFileInfo(path).isWritable())
        GTEST_SKIP() << "running with rights that ignore file modes";
    TrimJob job({path});
    job.setStartTrimSeconds(1);
    job.setEndTrimSeconds(1);
    run(job);
    EXPECT_EQ(test::readAll(path), original);
    EXPECT_EQ(m_sink.errors.size(), 1);
    EXPECT_EQ(entries(m_folder), QStringList{QStringLiteral("locked.mp3")});
}

} // namespace
} // namespace sonavell
