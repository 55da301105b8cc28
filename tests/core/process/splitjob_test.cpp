#include "core/process/splitjob.h"

#include "core/process/decodecontext.h"

#include "decodedmp3.h"
#include "processtesting.h"
#include "testname.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>

#include <sys/stat.h>

namespace sonavell {
namespace {

// Low-rate inputs keep the suite fast: 8000 Hz is MPEG-2.5, 576 samples a frame.
constexpr int kRate = 8000;
constexpr int kFrameSamples = 576;

// Where a part starts: before the first frame whose elapsed whole seconds reach second.
double cutAt(int second)
{
    const int frame = (second * kRate + kFrameSamples - 1) / kFrameSamples; // 1-based
    return double(frame - 1) * kFrameSamples / kRate;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

struct PartNameCase
{
    const char *input;
    const char *part2;
};

class SplitPartNameTest : public ::testing::TestWithParam<PartNameCase>
{
};

TEST_P(SplitPartNameTest, LowerCasesTheFileNameOnly)
{
    EXPECT_EQ(SplitJob::partPath(QString::fromUtf8(GetParam().input), 2), QString::fromUtf8(GetParam().part2));
}

INSTANTIATE_TEST_SUITE_P(Names, SplitPartNameTest,
                         ::testing::Values(PartNameCase{"/Music/Talk.MP3", "/Music/talk_2.mp3"},
                                           PartNameCase{"/music/talk.mp3", "/music/talk_2.mp3"},
                                           PartNameCase{"/Music/Talk.wav", "/Music/talk.wav_2.mp3"},
                                           PartNameCase{"/A.MP3/NoEnding", "/A.MP3/noending_2.mp3"},
                                           PartNameCase{"Relative.Mp3", "relative_2.mp3"},
                                           PartNameCase{"/Ü/Ärger.MP3", "/Ü/ärger_2.mp3"}),
                         [](const auto &info) { return test::testName(info.param.input); });

class SplitJobTest : public ::testing::Test
{
protected:
    QString makeTone(const QString &name, double seconds, int kbps = 16)
    {
        const QString path = m_folder.file(name);
        EXPECT_TRUE(test::makeToneMp3(path, seconds, kRate, 1, kbps));
        return path;
    }

    test::TempFolder m_folder;
    test::RecordingSink m_sink;
};

TEST_F(SplitJobTest, HundredSecondsIntoThreeCutAtTheFirstFramesReaching33And66)
{
    const QString path = makeTone(QStringLiteral("long.mp3"), 100.0);
    const test::DecodedMp3 input = test::decodeMp3File(path);
    const QByteArray original = test::readAll(path);
    SplitJob job({path});
    job.setPartCount(3);
    test::runOnWorker(job, m_sink);

    EXPECT_EQ(entries(m_folder.path()), (QStringList{QStringLiteral("long.mp3"), QStringLiteral("long_1.mp3"),
                                                     QStringLiteral("long_2.mp3"), QStringLiteral("long_3.mp3")}));
    EXPECT_EQ(test::readAll(path), original);
    EXPECT_EQ(m_sink.ranges, std::vector<int>{100});
    EXPECT_TRUE(m_sink.errors.isEmpty());

    // Each part is its own stream: the encoder adds its delay and pads the last frame.
    const double starts[] = {0.0, cutAt(33), cutAt(66), input.seconds()};
    constexpr double kEncoderOverhead = 0.25;
    for (int part = 1; part <= 3; ++part) {
        const test::DecodedMp3 decoded = test::decodeMp3File(SplitJob::partPath(path, part));
        SCOPED_TRACE(part);
        EXPECT_EQ(decoded.errors, 0);
        EXPECT_EQ(decoded.bitRates, std::set<int>{16});
        EXPECT_EQ(decoded.sampleRate, kRate);
        EXPECT_EQ(decoded.channels, 1);
        const double length = starts[part] - starts[part - 1];
        EXPECT_GE(decoded.seconds(), length);
        EXPECT_LE(decoded.seconds(), length + kEncoderOverhead);
    }
}

TEST_F(SplitJobTest, OneSecondIntoThreeGivesTwoOneFrameParts)
{
    const QString path = makeTone(QStringLiteral("short.mp3"), 1.0);
    const test::DecodedMp3 oneFrame = [&] {
        const QString probe = m_folder.file(QStringLiteral("probe.bin"));
        EXPECT_TRUE(test::makeToneMp3(probe, double(kFrameSamples) / kRate, kRate, 1, 16));
        const test::DecodedMp3 decoded = test::decodeMp3File(probe);
        QFile::remove(probe);
        return decoded;
    }();
    SplitJob job({path});
    job.setPartCount(3);
    test::runOnWorker(job, m_sink);

    // ⌊1 × 1 / 3⌋ = ⌊1 × 2 / 3⌋ = 0: parts 2 and 3 start at the second and third frames.
    const test::DecodedMp3 part1 = test::decodeMp3File(SplitJob::partPath(path, 1));
    const test::DecodedMp3 part2 = test::decodeMp3File(SplitJob::partPath(path, 2));
    const test::DecodedMp3 part3 = test::decodeMp3File(SplitJob::partPath(path, 3));
    EXPECT_EQ(part1.pcm.size(), oneFrame.pcm.size());
    EXPECT_EQ(part2.pcm.size(), oneFrame.pcm.size());
    EXPECT_GT(part3.seconds(), 0.8);
    EXPECT_FALSE(QFile::exists(SplitJob::partPath(path, 4)));
}

TEST_F(SplitJobTest, UpperCaseInputWritesLowerCaseParts)
{
    QDir(m_folder.path()).mkdir(QStringLiteral("Folder"));
    const QString path = makeTone(QStringLiteral("Folder/Talk.MP3"), 2.0);
    SplitJob job({path});
    job.setPartCount(2);
    test::runOnWorker(job, m_sink);
    EXPECT_EQ(entries(m_folder.file(QStringLiteral("Folder"))),
              (QStringList{QStringLiteral("Talk.MP3"), QStringLiteral("talk_1.mp3"), QStringLiteral("talk_2.mp3")}));
}

class SplitVolumeTest : public SplitJobTest, public ::testing::WithParamInterface<float>
{
};

TEST_P(SplitVolumeTest, ScalesEverySample)
{
    const QString path = makeTone(QStringLiteral("tone.mp3"), 2.0, 32);
    const test::DecodedMp3 input = test::decodeMp3File(path);
    SplitJob job({path});
    job.setPartCount(2);
    job.setVolumeScale(GetParam());
    test::runOnWorker(job, m_sink);
    // Past both encoders' delays; a second encoding at a low rate loses a few percent.
    const double expected = input.level(0.4, 0.9) * GetParam();
    const test::DecodedMp3 part1 = test::decodeMp3File(SplitJob::partPath(path, 1));
    EXPECT_NEAR(part1.level(0.4, 0.9), expected, expected * 0.08);
    EXPECT_EQ(part1.bitRates, std::set<int>{32});
}

INSTANTIATE_TEST_SUITE_P(Scales, SplitVolumeTest, ::testing::Values(0.5f, 1.0f),
                         [](const auto &info) { return "volume_" + test::numberName(info.param); });

TEST_F(SplitJobTest, PartsGetTheModeOfAnyNewFile)
{
    const QString path = makeTone(QStringLiteral("a.mp3"), 1.0);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    SplitJob job({path});
    test::runOnWorker(job, m_sink);
    struct stat status = {};
    ASSERT_EQ(::stat(QFile::encodeName(SplitJob::partPath(path, 1)).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
}

TEST_F(SplitJobTest, ExistingPartsAreOverwritten)
{
    const QString path = makeTone(QStringLiteral("a.mp3"), 2.0);
    ASSERT_TRUE(test::writeAll(SplitJob::partPath(path, 2), QByteArray("old part")));
    SplitJob job({path});
    job.setPartCount(2);
    test::runOnWorker(job, m_sink);
    EXPECT_GT(test::decodeMp3File(SplitJob::partPath(path, 2)).seconds(), 0.9);
    EXPECT_EQ(entries(m_folder.path()).size(), 3);
}

TEST_F(SplitJobTest, CancelClosesThePartBeingWrittenAndWritesNoLaterOne)
{
    const QString path = makeTone(QStringLiteral("a.mp3"), 9.0);
    SplitJob job({path});
    job.setPartCount(3);
    job.setParallelFiles(1); // one part after another
    // GIVEN a cancel once the second part has been written for a second
    m_sink.onTime = [&](int seconds) {
        if (seconds >= 4)
            job.cancel();
    };
    test::runOnWorker(job, m_sink);
    EXPECT_NEAR(test::decodeMp3File(SplitJob::partPath(path, 1)).seconds(), cutAt(3), 0.25);
    const double second = test::decodeMp3File(SplitJob::partPath(path, 2)).seconds();
    EXPECT_GT(second, 0.5);
    EXPECT_LT(second, 1.5);
    EXPECT_FALSE(QFile::exists(SplitJob::partPath(path, 3)));
    EXPECT_EQ(entries(m_folder.path()).size(), 3);
    EXPECT_TRUE(m_sink.cancelled);
}

TEST_F(SplitJobTest, UnreadableAndUndecodableInputsWriteNoPart)
{
    const QString missing = m_folder.file(QStringLiteral("missing.mp3"));
    const QString text = m_folder.file(QStringLiteral("text.mp3"));
    ASSERT_TRUE(test::writeAll(text, QByteArray(5000, 'x')));
    const QString good = makeTone(QStringLiteral("good.mp3"), 1.0);
    SplitJob job({missing, text, good});
    job.setPartCount(2);
    test::runOnWorker(job, m_sink);
    EXPECT_EQ(m_sink.errors, (QStringList{QStringLiteral("Open File %1 Error").arg(missing),
                                          DecodeContext::notAudioMessage(text)}));
    EXPECT_EQ(entries(m_folder.path()), (QStringList{QStringLiteral("good.mp3"), QStringLiteral("good_1.mp3"),
                                                     QStringLiteral("good_2.mp3"), QStringLiteral("text.mp3")}));
}

struct AtOnceCase
{
    const char *name;
    int rate;
    int channels;
    int kbps;
    double seconds;
    int partCount;
    bool damaged; // a frame header in the middle zeroed
};

void PrintTo(const AtOnceCase &c, std::ostream *os)
{
    *os << c.name;
}

class SplitAtOnceTest : public SplitJobTest, public ::testing::WithParamInterface<AtOnceCase>
{
};

// The parts encoded side by side, each decoded from a few frames before its start, are the
// parts of the one-pass split, byte for byte.
TEST_P(SplitAtOnceTest, PartsEqualThoseOfOnePass)
{
    const AtOnceCase c = GetParam();
    const QString path = m_folder.file(QStringLiteral("in.mp3"));
    ASSERT_TRUE(test::makeToneMp3(path, c.seconds, c.rate, c.channels, c.kbps));
    if (c.damaged) {
        QByteArray bytes = test::readAll(path);
        qsizetype at = bytes.indexOf(QByteArray::fromHex("FF"), bytes.size() * 2 / 5);
        while (at >= 0 && (static_cast<unsigned char>(bytes[at + 1]) & 0xE0) != 0xE0)
            at = bytes.indexOf(QByteArray::fromHex("FF"), at + 1);
        ASSERT_GE(at, 0);
        bytes.replace(at, 4, QByteArray(4, '\0'));
        ASSERT_TRUE(test::writeAll(path, bytes));
    }
    auto split = [&](int threads) {
        SplitJob job({path});
        job.setPartCount(c.partCount);
        job.setVolumeScale(0.8f);
        job.setParallelFiles(threads);
        test::RecordingSink sink;
        test::runOnWorker(job, sink);
        QList<QByteArray> parts;
        for (int part = 1; part <= c.partCount; ++part) {
            parts.append(test::readAll(SplitJob::partPath(path, part)));
            QFile::remove(SplitJob::partPath(path, part));
        }
        return parts;
    };
    const QList<QByteArray> onePass = split(1);
    const QList<QByteArray> atOnce = split(3);
    for (int part = 0; part < c.partCount; ++part) {
        SCOPED_TRACE(part + 1);
        EXPECT_GT(onePass[part].size(), 0);
        EXPECT_TRUE(atOnce[part] == onePass[part]);
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, SplitAtOnceTest,
                         ::testing::Values(AtOnceCase{"mono_8000_16k_damaged", 8000, 1, 16, 30.0, 3, true},
                                           AtOnceCase{"stereo_44100_128k", 44100, 2, 128, 8.0, 4, false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace sonavell
