#include "clitesting.h"

#include "decodedmp3.h"

#include <QDir>
#include <QFile>

namespace sonavell {
namespace {

using test::CliTest;

class FileJobCommandTest : public CliTest
{
};

TEST_F(FileJobCommandTest, SplitWritesEqualPartsBesideTheFile)
{
    const QString mp3 = file(QStringLiteral("Long.MP3"));
    ASSERT_TRUE(test::makeToneMp3(mp3, 3.0, 44100, 2, 96));
    const QByteArray original = test::readAll(mp3);
    ASSERT_EQ(run({QStringLiteral("split"), QStringLiteral("--parts"), QStringLiteral("3"), mp3}), 0)
        << err.toStdString();
    QStringList names = QDir(folder.path()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(names.join(QLatin1Char(' ')), QStringLiteral("Long.MP3 long_1.mp3 long_2.mp3 long_3.mp3"));
    for (int part = 1; part <= 3; ++part) {
        const test::DecodedMp3 decoded = test::decodeMp3File(file(QStringLiteral("long_%1.mp3").arg(part)));
        EXPECT_EQ(decoded.bitRates, (std::set<int>{96})) << part;
        EXPECT_NEAR(decoded.seconds(), 1.0, 0.1) << part;
    }
    EXPECT_EQ(test::readAll(mp3), original);
}

TEST_F(FileJobCommandTest, JoinMakesOneFileOfTheirLengths)
{
    const QString first = file(QStringLiteral("first.mp3"));
    const QString second = file(QStringLiteral("second.mp3"));
    const QString joined = file(QStringLiteral("joined.mp3"));
    ASSERT_TRUE(test::makeToneMp3(first, 1.0, 22050, 1, 64));
    ASSERT_TRUE(test::makeToneMp3(second, 2.0));
    ASSERT_EQ(run({QStringLiteral("join"), QStringLiteral("--output"), joined, first, second}), 0)
        << err.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(joined);
    // The record setup's defaults; the first file's bit rate.
    EXPECT_EQ(decoded.sampleRate, 44100);
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_EQ(decoded.bitRates, (std::set<int>{64}));
    EXPECT_NEAR(decoded.seconds(), 3.0, 0.15);
}

TEST_F(FileJobCommandTest, JoinFlagsSetTheFormat)
{
    const QString first = file(QStringLiteral("first.mp3"));
    const QString joined = file(QStringLiteral("joined.mp3"));
    ASSERT_TRUE(test::makeToneMp3(first, 1.0));
    ASSERT_EQ(run({QStringLiteral("join"), QStringLiteral("--output"), joined, QStringLiteral("--rate"),
                   QStringLiteral("22050"), QStringLiteral("--channels"), QStringLiteral("1"),
                   QStringLiteral("--bitrate"), QStringLiteral("32"), first, first}),
              0)
        << err.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(joined);
    EXPECT_EQ(decoded.sampleRate, 22050);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_EQ(decoded.bitRates, (std::set<int>{32}));
    EXPECT_NEAR(decoded.seconds(), 2.0, 0.15);
}

TEST_F(FileJobCommandTest, TrimCopiesTheMiddleFrames)
{
    const QString mp3 = file(QStringLiteral("tone.mp3"));
    ASSERT_TRUE(test::makeToneMp3(mp3, 4.0));
    ASSERT_EQ(run({QStringLiteral("trim"), QStringLiteral("--start"), QStringLiteral("1"),
                   QStringLiteral("--end"), QStringLiteral("1"), mp3}),
              0)
        << err.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_EQ(decoded.bitRates, (std::set<int>{128}));
    EXPECT_NEAR(decoded.seconds(), 2.0, 0.1);
}

TEST_F(FileJobCommandTest, TrimWithRecodeEncodesAtTheGivenRate)
{
    const QString mp3 = file(QStringLiteral("tone.mp3"));
    ASSERT_TRUE(test::makeToneMp3(mp3, 4.0));
    ASSERT_EQ(run({QStringLiteral("trim"), QStringLiteral("--start"), QStringLiteral("1"),
                   QStringLiteral("--end"), QStringLiteral("1"), QStringLiteral("--recode"),
                   QStringLiteral("--bitrate"), QStringLiteral("64"), mp3}),
              0)
        << err.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_EQ(decoded.bitRates, (std::set<int>{64}));
    EXPECT_NEAR(decoded.seconds(), 2.0, 0.1);
}

TEST_F(FileJobCommandTest, MissingInputFailsNamingIt)
{
    const QString missing = file(QStringLiteral("missing.mp3"));
    for (const QStringList &args :
         {QStringList{QStringLiteral("split"), QStringLiteral("--parts"), QStringLiteral("2"), missing},
          QStringList{QStringLiteral("trim"), missing},
          QStringList{QStringLiteral("trim"), QStringLiteral("--recode"), missing},
          QStringList{QStringLiteral("join"), QStringLiteral("--output"), file(QStringLiteral("j.mp3")),
                      missing}}) {
        EXPECT_EQ(run(args), 1) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(err.contains(missing)) << err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(FileJobCommandTest, InputWithoutAudioFailsNamingIt)
{
    const QString text = file(QStringLiteral("notes.mp3"));
    const QString good = file(QStringLiteral("good.mp3"));
    const QString joined = file(QStringLiteral("joined.mp3"));
    ASSERT_TRUE(test::writeAll(text, QByteArray(5000, 'n')));
    ASSERT_TRUE(test::makeToneMp3(good, 1.0));

    EXPECT_EQ(run({QStringLiteral("split"), QStringLiteral("--parts"), QStringLiteral("2"), text}), 1);
    EXPECT_TRUE(err.contains(text)) << err.toStdString();
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("notes_1.mp3"))));

    // The join goes on with the files that have audio.
    EXPECT_EQ(run({QStringLiteral("join"), QStringLiteral("--output"), joined, text, good}), 1);
    EXPECT_TRUE(err.contains(text)) << err.toStdString();
    EXPECT_NEAR(test::decodeMp3File(joined).seconds(), 1.0, 0.1);
}

struct UsageCase
{
    const char *name;
    QStringList args;
};

void PrintTo(const UsageCase &c, std::ostream *out)
{
    *out << c.name;
}

class FileJobUsage : public FileJobCommandTest, public testing::WithParamInterface<UsageCase>
{
};

TEST_P(FileJobUsage, RejectsWithUsageAndLeavesTheFile)
{
    const QString mp3 = file(QStringLiteral("in.mp3"));
    ASSERT_TRUE(test::makeToneMp3(mp3, 0.5));
    const QByteArray original = test::readAll(mp3);
    EXPECT_EQ(run(GetParam().args + QStringList{mp3}), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("usage:"))) << err.toStdString();
    EXPECT_EQ(test::readAll(mp3), original);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("in.mp3")});
}

INSTANTIATE_TEST_SUITE_P(
    FileJobCommands, FileJobUsage,
    testing::Values(UsageCase{"SplitWithoutParts", {QStringLiteral("split")}},
                    UsageCase{"SplitIntoOne",
                              {QStringLiteral("split"), QStringLiteral("--parts"), QStringLiteral("1")}},
                    UsageCase{"SplitIntoTooMany",
                              {QStringLiteral("split"), QStringLiteral("--parts"), QStringLiteral("101")}},
                    UsageCase{"SplitLoudVolume",
                              {QStringLiteral("split"), QStringLiteral("--parts"), QStringLiteral("2"),
                               QStringLiteral("--volume"), QStringLiteral("20")}},
                    UsageCase{"JoinWithoutOutput", {QStringLiteral("join")}},
                    UsageCase{"JoinOddRate",
                              {QStringLiteral("join"), QStringLiteral("--output"), QStringLiteral("x.mp3"),
                               QStringLiteral("--rate"), QStringLiteral("48000")}},
                    UsageCase{"JoinThreeChannels",
                              {QStringLiteral("join"), QStringLiteral("--output"), QStringLiteral("x.mp3"),
                               QStringLiteral("--channels"), QStringLiteral("3")}},
                    UsageCase{"TrimBitRateWithoutRecode",
                              {QStringLiteral("trim"), QStringLiteral("--bitrate"), QStringLiteral("64")}},
                    UsageCase{"TrimNegativeStart",
                              {QStringLiteral("trim"), QStringLiteral("--start"), QStringLiteral("-1")}},
                    UsageCase{"TrimOddBitRate",
                              {QStringLiteral("trim"), QStringLiteral("--recode"),
                               QStringLiteral("--bitrate"), QStringLiteral("65")}},
                    UsageCase{"TrimUnknownOption",
                              {QStringLiteral("trim"), QStringLiteral("--middle"), QStringLiteral("3")}},
                    UsageCase{"TrimValueMissing", {QStringLiteral("trim"), QStringLiteral("--end")}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace sonavell
