#include "clitesting.h"

#include "decodedmp3.h"
#include "core/mp3/audioscan.h"
#include "core/process/wavefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <numbers>

namespace sonavell {
namespace {

using test::CliTest;

class WavToMp3CommandTest : public CliTest
{
protected:
    void SetUp() override
    {
        wav = file(QStringLiteral("in.wav"));
        mp3 = file(QStringLiteral("out.mp3"));
    }

    QString wav;
    QString mp3;
};

TEST_F(WavToMp3CommandTest, WholeFileKeepsRateAndChannels)
{
    ASSERT_TRUE(test::makeWav(wav, test::sinePcm(22050, 1, 1.0, 440, 8000), 22050, 1));
    ASSERT_EQ(run({QStringLiteral("wav2mp3"), QStringLiteral("--bitrate"), QStringLiteral("32"), wav, mp3}),
              0)
        << err.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_EQ(decoded.errors, 0);
    EXPECT_EQ(decoded.sampleRate, 22050);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_EQ(decoded.bitRates, (std::set<int>{32}));
    EXPECT_GE(decoded.seconds(), 1.0);
    EXPECT_LE(decoded.seconds(), 1.1);
    EXPECT_NEAR(decoded.level(0.1, 0.9), 8000 * 2 / std::numbers::pi, 600);
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

TEST_F(WavToMp3CommandTest, BitRateDefaultsToTheSettings)
{
    ASSERT_TRUE(test::makeWav(wav, test::sinePcm(44100, 2, 0.5, 440, 8000), 44100, 2));
    ASSERT_EQ(run({QStringLiteral("wav2mp3"), wav, mp3}), 0) << err.toStdString();
    EXPECT_EQ(test::decodeMp3File(mp3).bitRates, (std::set<int>{160}));
}

TEST_F(WavToMp3CommandTest, EightBitMonoIsWidened)
{
    QByteArray data;
    for (int i = 0; i < 4000; ++i)
        data.append(
            static_cast<char>(128 + std::lround(100 * std::sin(2 * std::numbers::pi * 440 * i / 8000.0))));
    ASSERT_TRUE(test::makeWav(wav, data, 8000, 1, 8));
    ASSERT_EQ(run({QStringLiteral("wav2mp3"), QStringLiteral("--bitrate"), QStringLiteral("16"), wav, mp3}),
              0)
        << err.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_EQ(decoded.sampleRate, 8000);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_GE(decoded.seconds(), 0.5);
    EXPECT_GT(decoded.level(0.1, 0.4), 100 * 256 * 2 / std::numbers::pi / 2);
}

// Bytes of 44100 Hz stereo 16-bit data for a time.
constexpr qint64 bytesAt(double seconds)
{
    return static_cast<qint64>(seconds * 44100) * 4;
}

struct RangeCase
{
    const char *name;
    double from;
    double to;
    bool tone; // the range lies in the tone (first second) rather than the silence (second second)
};

void PrintTo(const RangeCase &c, std::ostream *out)
{
    *out << c.name;
}

class WavToMp3Range : public WavToMp3CommandTest, public testing::WithParamInterface<RangeCase>
{
};

TEST_P(WavToMp3Range, ConvertsOnlyTheRange)
{
    QByteArray pcm = test::sinePcm(44100, 2, 1.0, 440, 8000);
    pcm += test::constantPcm(44100, 2, 1.0, 0);
    ASSERT_TRUE(test::makeWav(wav, pcm, 44100, 2));
    const RangeCase &range = GetParam();
    ASSERT_EQ(run({QStringLiteral("wav2mp3"), QStringLiteral("--bitrate"), QStringLiteral("128"),
                   QStringLiteral("--start-byte"), QString::number(bytesAt(range.from)),
                   QStringLiteral("--end-byte"), QString::number(bytesAt(range.to)), wav, mp3}),
              0)
        << err.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    // The chunk that crosses the end is encoded whole (1152 samples, 26 ms), and the decoder
    // gives back the encoder's delay and padding as well.
    const double wanted = range.to - range.from;
    EXPECT_GE(decoded.seconds(), wanted);
    EXPECT_LE(decoded.seconds(), wanted + 0.1);
    if (range.tone)
        EXPECT_GT(decoded.level(0.05, wanted - 0.05), 4000);
    else
        EXPECT_LT(decoded.level(), 20);
}

INSTANTIATE_TEST_SUITE_P(WavToMp3Command, WavToMp3Range,
                         testing::Values(RangeCase{"StartOfTheTone", 0.0, 0.5, true},
                                         RangeCase{"InsideTheTone", 0.25, 0.75, true},
                                         RangeCase{"InsideTheSilence", 1.25, 1.75, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(WavToMp3CommandTest, StartOnlyConvertsToTheEnd)
{
    QByteArray pcm = test::sinePcm(44100, 2, 1.0, 440, 8000);
    pcm += test::constantPcm(44100, 2, 1.0, 0);
    ASSERT_TRUE(test::makeWav(wav, pcm, 44100, 2));
    ASSERT_EQ(run({QStringLiteral("wav2mp3"), QStringLiteral("--start-byte"), QString::number(bytesAt(1.5)),
                   wav, mp3}),
              0)
        << err.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_GE(decoded.seconds(), 0.5);
    EXPECT_LE(decoded.seconds(), 0.6);
    EXPECT_LT(decoded.level(), 20);
}

TEST_F(WavToMp3CommandTest, StartPastTheDataFailsNamingTheWav)
{
    ASSERT_TRUE(test::makeWav(wav, test::sinePcm(44100, 2, 0.5, 440, 8000), 44100, 2));
    EXPECT_EQ(run({QStringLiteral("wav2mp3"), QStringLiteral("--start-byte"), QString::number(bytesAt(0.5)),
                   wav, mp3}),
              1);
    EXPECT_TRUE(err.contains(wav)) << err.toStdString();
    EXPECT_FALSE(QFile::exists(mp3));
}

TEST_F(WavToMp3CommandTest, MissingOrBrokenWavFailsNamingIt)
{
    EXPECT_EQ(run({QStringLiteral("wav2mp3"), wav, mp3}), 1);
    EXPECT_TRUE(err.contains(wav)) << err.toStdString();
    EXPECT_FALSE(QFile::exists(mp3));

    ASSERT_TRUE(test::writeAll(wav, QByteArray("RIFF\x04\x00\x00\x00WAVE", 12)));
    EXPECT_EQ(run({QStringLiteral("wav2mp3"), wav, mp3}), 1);
    EXPECT_TRUE(err.contains(wav)) << err.toStdString();
    EXPECT_FALSE(QFile::exists(mp3));
}

TEST_F(WavToMp3CommandTest, OutputThatCannotBeCreatedFailsNamingIt)
{
    ASSERT_TRUE(test::makeWav(wav, test::sinePcm(44100, 2, 0.2, 440, 8000), 44100, 2));
    const QString nowhere = file(QStringLiteral("no/such/folder/out.mp3"));
    EXPECT_EQ(run({QStringLiteral("wav2mp3"), wav, nowhere}), 1);
    EXPECT_TRUE(err.contains(nowhere)) << err.toStdString();
}

TEST_F(WavToMp3CommandTest, UsageErrorsLeaveTheWav)
{
    ASSERT_TRUE(test::makeWav(wav, test::sinePcm(44100, 2, 0.2, 440, 8000), 44100, 2));
    const QByteArray original = test::readAll(wav);
    const QString link = file(QStringLiteral("link.mp3"));
    ASSERT_TRUE(QFile::link(wav, link));
    for (const QStringList &args :
         {QStringList{wav}, QStringList{wav, mp3, file(QStringLiteral("third.mp3"))}, QStringList{wav, wav},
          QStringList{wav, link},
          QStringList{QStringLiteral("--start-byte"), QStringLiteral("400"), QStringLiteral("--end-byte"),
                      QStringLiteral("400"), wav, mp3},
          QStringList{QStringLiteral("--start-byte"), QStringLiteral("800"), QStringLiteral("--end-byte"),
                      QStringLiteral("400"), wav, mp3},
          QStringList{QStringLiteral("--start-byte"), QStringLiteral("-1"), wav, mp3},
          QStringList{QStringLiteral("--bitrate"), QStringLiteral("320"), wav, mp3}}) {
        EXPECT_EQ(run(QStringList{QStringLiteral("wav2mp3")} + args), 2)
            << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("usage:"))) << err.toStdString();
    }
    EXPECT_EQ(test::readAll(wav), original);
    EXPECT_FALSE(QFile::exists(mp3));
}

class Mp3ToWavCommandTest : public CliTest
{
protected:
    void SetUp() override
    {
        output = file(QStringLiteral("wavs"));
        ASSERT_TRUE(QDir().mkpath(output));
    }

    QString output;
};

struct WavCase
{
    const char *name;
    int rate;
    int channels;
};

void PrintTo(const WavCase &c, std::ostream *out)
{
    *out << c.name;
}

class Mp3ToWavFormat : public Mp3ToWavCommandTest, public testing::WithParamInterface<WavCase>
{
};

TEST_P(Mp3ToWavFormat, WritesTheLowerCasedTitleWithItsDecodedSamples)
{
    const WavCase &format = GetParam();
    const QString mp3 = file(QStringLiteral("Talk.MP3"));
    ASSERT_TRUE(test::makeToneMp3(mp3, 1.0, format.rate, format.channels, 64));
    ASSERT_EQ(run({QStringLiteral("mp3towav"), QStringLiteral("--output-dir"), output, mp3}), 0)
        << err.toStdString();
    EXPECT_EQ(QDir(output).entryList(QDir::Files), QStringList{QStringLiteral("talk.Wav")});

    const QString wav = output + QStringLiteral("/talk.Wav");
    WaveFile reader;
    ASSERT_EQ(reader.open(wav, nullptr, WaveFile::ReadMode), WaveFile::Result::Success);
    const int blockAlign = format.channels * 2;
    EXPECT_EQ(reader.format()->samplesPerSec, std::uint32_t(format.rate));
    EXPECT_EQ(reader.format()->channels, format.channels);
    EXPECT_EQ(reader.format()->bitsPerSample, 16);
    EXPECT_EQ(reader.format()->blockAlign, blockAlign);
    EXPECT_EQ(reader.format()->avgBytesPerSec, std::uint32_t(format.rate * blockAlign));
    // Every real sample (the encoder's delay and padding left out), and the fixed 56-byte
    // header before them.
    const AudioScan scan = scanAudio(test::readAll(mp3));
    EXPECT_EQ(reader.dataSize(), scan.gaplessSamples() * blockAlign);
    EXPECT_EQ(QFileInfo(wav).size(), 56 + qint64(reader.dataSize()));
    EXPECT_GE(reader.dataSize(), std::uint32_t(format.rate * blockAlign));
}

INSTANTIATE_TEST_SUITE_P(Mp3ToWavCommand, Mp3ToWavFormat,
                         testing::Values(WavCase{"Stereo44100", 44100, 2}, WavCase{"Mono22050", 22050, 1}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Mp3ToWavCommandTest, FailuresNameTheFileAndTheOthersAreConverted)
{
    const QString missing = file(QStringLiteral("missing.mp3"));
    const QString text = file(QStringLiteral("notes.mp3"));
    const QString good = file(QStringLiteral("good.mp3"));
    ASSERT_TRUE(test::writeAll(text, QByteArray(5000, 'n')));
    ASSERT_TRUE(test::makeToneMp3(good, 0.5));
    EXPECT_EQ(run({QStringLiteral("mp3towav"), QStringLiteral("--output-dir"), output, missing, text, good}),
              1);
    EXPECT_TRUE(err.contains(missing)) << err.toStdString();
    EXPECT_TRUE(err.contains(text)) << err.toStdString();
    EXPECT_EQ(QDir(output).entryList(QDir::Files), QStringList{QStringLiteral("good.Wav")});
}

TEST_F(Mp3ToWavCommandTest, TwoFilesGivingOneWavNameAreRefused)
{
    ASSERT_TRUE(QDir().mkpath(file(QStringLiteral("a"))));
    ASSERT_TRUE(QDir().mkpath(file(QStringLiteral("b"))));
    const QString first = file(QStringLiteral("a/Talk.mp3"));
    const QString second = file(QStringLiteral("b/talk.MP3"));
    ASSERT_TRUE(test::makeToneMp3(first, 0.3));
    ASSERT_TRUE(test::makeToneMp3(second, 0.3));
    EXPECT_EQ(run({QStringLiteral("mp3towav"), QStringLiteral("--output-dir"), output, first, second}), 2);
    EXPECT_TRUE(err.contains(first) && err.contains(second)) << err.toStdString();
    EXPECT_TRUE(QDir(output).entryList(QDir::Files).isEmpty());
}

TEST_F(Mp3ToWavCommandTest, InputNamedLikeItsWavIsRefused)
{
    const QString mp3 = output + QStringLiteral("/song.Wav");
    ASSERT_TRUE(test::makeToneMp3(mp3, 0.3));
    const QByteArray original = test::readAll(mp3);
    EXPECT_EQ(run({QStringLiteral("mp3towav"), QStringLiteral("--output-dir"), output, mp3}), 2);
    EXPECT_TRUE(err.contains(mp3)) << err.toStdString();
    EXPECT_EQ(test::readAll(mp3), original);
}

TEST_F(Mp3ToWavCommandTest, OutputFolderMustExist)
{
    const QString mp3 = file(QStringLiteral("a.mp3"));
    ASSERT_TRUE(test::makeToneMp3(mp3, 0.3));
    const QString missing = file(QStringLiteral("nowhere"));
    EXPECT_EQ(run({QStringLiteral("mp3towav"), QStringLiteral("--output-dir"), missing, mp3}), 1);
    EXPECT_TRUE(err.contains(missing)) << err.toStdString();
    EXPECT_EQ(run({QStringLiteral("mp3towav"), QStringLiteral("--output-dir"), mp3, mp3}), 1);
    EXPECT_EQ(run({QStringLiteral("mp3towav"), mp3}), 2);
    EXPECT_EQ(run({QStringLiteral("mp3towav"), QStringLiteral("--output-dir"), output}), 2);
    EXPECT_FALSE(QFileInfo::exists(missing));
}

} // namespace
} // namespace sonavell
