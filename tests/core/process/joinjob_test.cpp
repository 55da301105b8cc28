#include "core/process/joinjob.h"

#include "decodedmp3.h"
#include "processtesting.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

// The join's own encoder adds its delay and pads its last frame.
constexpr double kEncoderOverhead = 0.2;

class JoinJobTest : public ::testing::Test
{
protected:
    QString makeTone(const char *name, double seconds, int rate, int channels, int kbps = 32, int amplitude = 8000)
    {
        const QString path = m_folder.file(QString::fromLatin1(name));
        EXPECT_TRUE(test::makeToneMp3(path, seconds, rate, channels, kbps, amplitude));
        return path;
    }

    JoinJob &job(const QStringList &files, int targetRate, int targetChannels, const char *output = "joined.mp3")
    {
        m_job = std::make_unique<JoinJob>(files);
        m_job->setOutputPath(m_folder.file(QString::fromLatin1(output)));
        m_job->setBitrateKbps(32);
        m_job->setTargetFormat(test::pcmFormat(targetRate, targetChannels));
        return *m_job;
    }

    test::DecodedMp3 run()
    {
        test::runOnWorker(*m_job, m_sink);
        return test::decodeMp3File(m_job->outputPath());
    }

    test::TempFolder m_folder;
    test::RecordingSink m_sink;
    std::unique_ptr<JoinJob> m_job;
};

TEST_F(JoinJobTest, TwoFilesOfTheTargetFormatJoinWithoutAGap)
{
    // Whole encoder chunks (1152 samples), so that no zero padding ends the first input.
    const QString a = makeTone("a.mp3", 38 * 1152 / 44100.0, 44100, 2, 128);
    const QString b = makeTone("b.mp3", 57 * 1152 / 44100.0, 44100, 2, 128);
    // The inputs' real audio end to end: neither one's encoder delay or padding is joined in.
    const double expected = test::gaplessSeconds(test::readAll(a)) + test::gaplessSeconds(test::readAll(b));
    job({a, b}, 44100, 2).setBitrateKbps(128);
    const test::DecodedMp3 out = run();

    EXPECT_EQ(out.sampleRate, 44100);
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.bitRates, std::set<int>{128});
    EXPECT_EQ(out.errors, 0);
    EXPECT_GE(out.seconds(), expected);
    EXPECT_LE(out.seconds(), expected + kEncoderOverhead);
    // No silence where the files meet: no 5 ms stretch around the joint falls quiet.
    EXPECT_GT(out.level(1.2, 1.4), 3000);
    for (double t = 0.9; t < 1.2; t += 0.005)
        EXPECT_GT(out.level(t, t + 0.005), 2000) << t;
    EXPECT_NEAR(test::gaplessSeconds(test::readAll(m_job->outputPath())), expected, 1.0 / 44100);
    EXPECT_EQ(m_sink.started, (std::vector<int>{0, 1}));
    EXPECT_EQ(m_sink.ranges, (std::vector<int>{1, 1}));
    EXPECT_TRUE(m_sink.errors.isEmpty());
}

struct FormatCase
{
    const char *name;
    int sourceRate;
    int sourceChannels;
    int targetRate;
    int targetChannels;
};

class JoinFormatTest : public JoinJobTest, public ::testing::WithParamInterface<FormatCase>
{
};

TEST_P(JoinFormatTest, KeepsLengthAndLevelInTheTargetFormat)
{
    const FormatCase &c = GetParam();
    const QString a = makeTone("a.mp3", 1.0, c.sourceRate, c.sourceChannels);
    const QString b = makeTone("b.mp3", 1.0, c.sourceRate, c.sourceChannels);
    const test::DecodedMp3 input = test::decodeMp3File(a);
    job({a, b}, c.targetRate, c.targetChannels);
    const test::DecodedMp3 out = run();

    EXPECT_EQ(out.sampleRate, c.targetRate);
    EXPECT_EQ(out.channels, c.targetChannels);
    // The inputs' real audio, end to end, and the output encoder's delay and padding.
    const double joined = 2 * test::gaplessSeconds(test::readAll(a));
    EXPECT_GE(out.seconds(), joined - 0.01);
    EXPECT_LE(out.seconds(), joined + kEncoderOverhead);
    const double level = input.level(0.3, 0.8);
    EXPECT_NEAR(out.level(0.5, 1.0), level, level * 0.1);
    if (c.targetChannels == 2 && c.sourceChannels == 1) {
        double difference = 0;
        for (std::size_t i = 0; i + 1 < out.pcm.size(); i += 2)
            difference += std::abs(out.pcm[i] - out.pcm[i + 1]);
        EXPECT_LT(difference / double(out.pcm.size() / 2), level * 0.02) << "both channels carry the mono input";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, JoinFormatTest,
                         ::testing::Values(FormatCase{"monoToStereoDoubleRate", 22050, 1, 44100, 2},
                                           FormatCase{"halfRate", 44100, 1, 22050, 1},
                                           FormatCase{"stereoToMono", 22050, 2, 22050, 1},
                                           FormatCase{"eightKilohertzMonoIntoFullRateStereo", 8000, 1, 44100, 2},
                                           FormatCase{"elevenKilohertzMonoIntoFullRateStereo", 11025, 1, 44100, 2}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(JoinJobTest, FullScaleInputDownsampledKeepsItsLevel)
{
    const QString path = m_folder.file(QStringLiteral("loud.mp3"));
    ASSERT_TRUE(test::makeMp3(path, test::constantPcm(44100, 1, 1.0, 32767), 44100, 1, 64));
    const test::DecodedMp3 input = test::decodeMp3File(path);
    job({path}, 22050, 1);
    const test::DecodedMp3 out = run();
    const double level = input.level(0.3, 0.8);
    ASSERT_GT(level, 10000);
    EXPECT_NEAR(out.level(0.4, 0.8), level, level * 0.1);
}

TEST_F(JoinJobTest, AnUnreadableMiddleFileIsReportedAndLeftOut)
{
    const QString a = makeTone("a.mp3", 1.0, 22050, 1);
    const QString missing = m_folder.file(QStringLiteral("missing.mp3"));
    const QString c = makeTone("c.mp3", 1.0, 22050, 1);
    const double expected = test::decodeMp3File(a).seconds() + test::decodeMp3File(c).seconds();
    job({a, missing, c}, 22050, 1);
    const test::DecodedMp3 out = run();
    EXPECT_EQ(m_sink.errors, QStringList{QStringLiteral("Open File %1 Error").arg(missing)});
    EXPECT_EQ(m_sink.started, (std::vector<int>{0, 1, 2}));
    EXPECT_GE(out.seconds(), expected - 0.01);
    EXPECT_LE(out.seconds(), expected + kEncoderOverhead);
}

TEST_F(JoinJobTest, TheOutputMayBeOneOfTheInputs)
{
    const QString a = makeTone("a.mp3", 1.0, 22050, 1);
    const QString b = makeTone("b.mp3", 1.0, 22050, 1);
    const double expected = test::decodeMp3File(a).seconds() + test::decodeMp3File(b).seconds();
    job({a, b}, 22050, 1, "b.mp3");
    const test::DecodedMp3 out = run();
    EXPECT_GE(out.seconds(), expected - 0.01);
    EXPECT_LE(out.seconds(), expected + kEncoderOverhead);
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(JoinJobTest, CancelKeepsEverythingUpToIt)
{
    const QString a = makeTone("a.mp3", 1.0, 22050, 1);
    const QString b = makeTone("b.mp3", 3.0, 22050, 1);
    JoinJob &joining = job({a, b, a}, 22050, 1);
    // GIVEN a cancel at the first second of the second file
    m_sink.onTime = [&](int seconds) {
        if (m_sink.started.back() == 1 && seconds >= 1)
            joining.cancel();
    };
    const test::DecodedMp3 out = run();
    EXPECT_EQ(m_sink.started, (std::vector<int>{0, 1}));
    EXPECT_TRUE(m_sink.cancelled);
    EXPECT_GT(out.seconds(), 2.0);
    EXPECT_LT(out.seconds(), 2.5);
}

struct NoOutputCase
{
    const char *name;
    const char *output;
    bool cancelFirst;
    bool decodable;
    int errors;
};

class JoinNoOutputTest : public JoinJobTest, public ::testing::WithParamInterface<NoOutputCase>
{
};

TEST_P(JoinNoOutputTest, WritesNoFile)
{
    const NoOutputCase &c = GetParam();
    const QString input = m_folder.file(QStringLiteral("in.mp3"));
    if (c.decodable)
        ASSERT_TRUE(test::makeToneMp3(input, 0.5, 8000, 1, 16));
    else
        ASSERT_TRUE(test::writeAll(input, QByteArray(4000, 'z')));
    JoinJob &joining = job({input}, 22050, 1);
    joining.setOutputPath(QString::fromLatin1(c.output));
    if (c.cancelFirst)
        joining.cancel();
    test::runOnWorker(joining, m_sink);
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("in.mp3")});
    EXPECT_EQ(m_sink.errors.size(), c.errors);
}

INSTANTIATE_TEST_SUITE_P(Cases, JoinNoOutputTest,
                         ::testing::Values(NoOutputCase{"undecodable", "out.mp3", false, false, 1},
                                           NoOutputCase{"cancelledFirst", "out.mp3", true, true, 0},
                                           NoOutputCase{"emptyOutputPath", "", false, true, 1}),
                         [](const auto &info) { return std::string(info.param.name); });

// A damaged settings file could hand the join any rate: it is refused with an error before a
// resampler is sized from it.
class JoinBadFormatTest : public JoinJobTest, public ::testing::WithParamInterface<std::pair<const char *, WaveFormat>>
{
};

TEST_P(JoinBadFormatTest, IsReportedAndWritesNoFile)
{
    const QString input = m_folder.file(QStringLiteral("in.mp3"));
    ASSERT_TRUE(test::makeToneMp3(input, 0.5, 8000, 1, 16));
    JoinJob &joining = job({input}, 22050, 1);
    joining.setTargetFormat(GetParam().second);
    test::runOnWorker(joining, m_sink);
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("in.mp3")});
    EXPECT_EQ(m_sink.errors.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, JoinBadFormatTest,
                         ::testing::Values(std::pair{"rate3000000000", WaveFormat{1, 2, 3000000000u, 0, 0, 16, 0}},
                                           std::pair{"rateIntMax", WaveFormat{1, 2, 2147483647u, 0, 0, 16, 0}},
                                           std::pair{"rate7", WaveFormat{1, 1, 7, 0, 0, 16, 0}},
                                           std::pair{"sevenChannels", WaveFormat{1, 7, 44100, 0, 0, 16, 0}}),
                         [](const auto &info) { return std::string(info.param.first); });

} // namespace
} // namespace sonavell
