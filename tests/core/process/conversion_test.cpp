#include "core/mp3/audioscan.h"
#include "core/process/decodecontext.h"
#include "core/process/mp3towavjob.h"
#include "core/process/wavefile.h"
#include "core/process/wavtomp3job.h"

#include "decodedmp3.h"
#include "processtesting.h"
#include "testname.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace sonavell {
namespace {

constexpr std::uint32_t kStereoChunk = 1152 * 2 * 2; // the encoder's own chunk: one MPEG-1 frame

bool writeWav(const QString &path, const WaveFormat &format, const QByteArray &data)
{
    WaveFile wave;
    std::uint32_t count = 0;
    return wave.open(path, &format, WaveFile::WriteMode) == WaveFile::Result::Success
           && wave.write(static_cast<std::uint32_t>(data.size()), data.constData(), &count) == WaveFile::Result::Success
           && wave.close() == WaveFile::Result::Success;
}

QByteArray readWavData(const QString &path, WaveFormat *format = nullptr)
{
    WaveFile wave;
    if (wave.open(path, nullptr, WaveFile::ReadMode) != WaveFile::Result::Success)
        return QByteArray("not a WAV");
    if (format)
        *format = *wave.format();
    QByteArray data(static_cast<qsizetype>(wave.dataSize()), '\0');
    std::uint32_t count = 0;
    wave.read(data.data(), wave.dataSize(), &count);
    return data;
}

class ConversionTest : public ::testing::Test
{
protected:
    QString file(const char *name) const { return m_folder.file(QString::fromLatin1(name)); }

    // Converts a whole WAV, or a byte range of it, and returns the MP3 bytes.
    QByteArray toMp3(const QString &wav, std::uint32_t start = 0, std::uint32_t end = 0, int kbps = 128)
    {
        const QString mp3 = wav + QStringLiteral(".mp3");
        WavToMp3Job job({wav});
        job.setBitrateKbps(kbps);
        job.setOutputPath(mp3);
        job.setRange(start, end);
        job.setSink(&m_sink);
        job.run();
        return test::readAll(mp3);
    }

    void toWav(const QStringList &inputs, const QString &folder)
    {
        Mp3ToWavJob job(inputs);
        job.setOutputFolder(folder);
        job.setSink(&m_sink);
        JobWorker worker(job);
        worker.start();
        worker.wait();
    }

    test::TempFolder m_folder;
    test::RecordingSink m_sink;
    const QByteArray m_tone = test::sinePcm(44100, 2, 0.5, 440.0, 9000);
};

TEST(WidenSampleTest, EightBitValues)
{
    EXPECT_EQ(WavToMp3Job::widenSample(0), -32767);
    EXPECT_EQ(WavToMp3Job::widenSample(128), 1);
    EXPECT_EQ(WavToMp3Job::widenSample(255), 32513);
}

TEST_F(ConversionTest, WholeWavIsEncodedAtItsRateAndChannels)
{
    ASSERT_TRUE(writeWav(file("a.wav"), test::pcmFormat(44100, 2), m_tone));
    const test::DecodedMp3 mp3 = test::decodeMp3(toMp3(file("a.wav"), 0, 0, 160));
    EXPECT_EQ(mp3.sampleRate, 44100);
    EXPECT_EQ(mp3.channels, 2);
    EXPECT_EQ(mp3.bitRates, std::set<int>{160});
    EXPECT_NEAR(mp3.seconds(), 0.5, 0.1);
    EXPECT_EQ(m_sink.ranges, std::vector<int>{0});
    EXPECT_TRUE(m_sink.errors.isEmpty());
}

TEST_F(ConversionTest, ShortLastChunkIsZeroPadded)
{
    // One byte past a whole number of chunks encodes like the same data padded with zeros.
    const QByteArray data = m_tone.left(3 * kStereoChunk + 1);
    QByteArray padded = data;
    padded.append(QByteArray(kStereoChunk - 1, '\0'));
    ASSERT_TRUE(writeWav(file("odd.wav"), test::pcmFormat(44100, 2), data));
    ASSERT_TRUE(writeWav(file("padded.wav"), test::pcmFormat(44100, 2), padded));
    const QByteArray odd = toMp3(file("odd.wav"));
    ASSERT_FALSE(odd.isEmpty());
    EXPECT_EQ(odd, toMp3(file("padded.wav")));
}

struct RangeCase
{
    std::uint32_t start;
    std::uint32_t end;
    std::uint32_t encodedFrom; // the bytes the range encodes
    std::uint32_t encodedTo;
};

class RangeTest : public ConversionTest, public ::testing::WithParamInterface<RangeCase>
{
};

TEST_P(RangeTest, EncodesWholeChunksFromTheStart)
{
    const RangeCase c = GetParam();
    ASSERT_TRUE(writeWav(file("all.wav"), test::pcmFormat(44100, 2), m_tone));
    ASSERT_TRUE(writeWav(file("part.wav"), test::pcmFormat(44100, 2), m_tone.mid(c.encodedFrom, c.encodedTo - c.encodedFrom)));
    const QByteArray ranged = toMp3(file("all.wav"), c.start, c.end);
    ASSERT_FALSE(ranged.isEmpty());
    EXPECT_EQ(ranged, toMp3(file("part.wav")));
}

INSTANTIATE_TEST_SUITE_P(Ranges, RangeTest,
                         ::testing::Values(RangeCase{1000, 5000, 1000, 1000 + kStereoChunk},
                                           RangeCase{1000, 5609, 1000, 1000 + 2 * kStereoChunk},
                                           RangeCase{1002, 5000, 1000, 1000 + kStereoChunk}, // aligned to a sample frame
                                           RangeCase{0, 1, 0, kStereoChunk}),
                         [](const auto &info) {
                             return "bytes" + std::to_string(info.param.start) + "_to" +
                                    std::to_string(info.param.end);
                         });

TEST_F(ConversionTest, RangePastTheDataWritesNothing)
{
    ASSERT_TRUE(writeWav(file("short.wav"), test::pcmFormat(44100, 2), m_tone));
    const auto size = static_cast<std::uint32_t>(m_tone.size());
    EXPECT_TRUE(toMp3(file("short.wav"), size, size + 4000).isEmpty());
    EXPECT_FALSE(QFile::exists(file("short.wav.mp3")));
    EXPECT_EQ(m_sink.errors, QStringList{QStringLiteral("Open File %1 Error").arg(file("short.wav"))});
}

TEST_F(ConversionTest, EightBitMonoIsWidened)
{
    QByteArray eight(5000, '\0');
    QByteArray sixteen;
    for (int i = 0; i < eight.size(); ++i) {
        eight[i] = static_cast<char>(128 + std::lround(100 * std::sin(i * 0.05)));
        const std::int16_t wide = WavToMp3Job::widenSample(static_cast<std::uint8_t>(eight[i]));
        sixteen.append(reinterpret_cast<const char *>(&wide), 2);
    }
    ASSERT_TRUE(writeWav(file("eight.wav"), test::pcmFormat(22050, 1, 8), eight));
    ASSERT_TRUE(writeWav(file("sixteen.wav"), test::pcmFormat(22050, 1, 16), sixteen));
    const QByteArray fromEight = toMp3(file("eight.wav"), 0, 0, 64);
    ASSERT_FALSE(fromEight.isEmpty());
    EXPECT_EQ(fromEight, toMp3(file("sixteen.wav"), 0, 0, 64));
    EXPECT_EQ(test::decodeMp3(fromEight).channels, 1);
}

TEST_F(ConversionTest, WavThatCannotBeReadWritesNoMp3)
{
    ASSERT_TRUE(test::writeAll(file("junk.wav"), QByteArray(200, 'j')));
    for (const QString &wav : {QString(), file("missing.wav"), file("junk.wav")}) {
        EXPECT_TRUE(toMp3(wav).isEmpty());
        EXPECT_FALSE(QFile::exists(wav + QStringLiteral(".mp3")));
    }
    EXPECT_EQ(m_sink.errors, (QStringList{QStringLiteral("Open File  Error"),
                                          QStringLiteral("Open File %1 Error").arg(file("missing.wav")),
                                          QStringLiteral("Open File %1 Error").arg(file("junk.wav"))}));
}

struct UnencodableCase
{
    const char *name;
    WaveFormat format;
    int dataBytes;
    const char *problem;
};

class UnencodableWavTest : public ConversionTest, public ::testing::WithParamInterface<UnencodableCase>
{
};

// Each is refused with a message naming what is wrong, and no MP3 is written.
TEST_P(UnencodableWavTest, IsRefusedNamingTheProblem)
{
    const UnencodableCase &c = GetParam();
    const QString wav = file("in.wav");
    ASSERT_TRUE(writeWav(wav, c.format, QByteArray(c.dataBytes, '\1')));
    EXPECT_TRUE(toMp3(wav).isEmpty());
    EXPECT_FALSE(QFile::exists(wav + QStringLiteral(".mp3")));
    ASSERT_EQ(m_sink.errors.size(), 1);
    EXPECT_EQ(m_sink.errors[0], QStringLiteral("Open File %1 Error\n%1: %2.").arg(wav, QString::fromUtf8(c.problem)));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, UnencodableWavTest,
    ::testing::Values(
        UnencodableCase{"bits24", {1, 2, 44100, 264600, 6, 24, 0}, 600, "24 bits per sample cannot be encoded (8 or 16)"},
        UnencodableCase{"aLaw", {6, 1, 8000, 8000, 1, 8, 0}, 800, "its samples are not PCM (format 6)"},
        UnencodableCase{"float32", {3, 2, 44100, 352800, 8, 32, 0}, 800, "32-bit float WAV is not supported"},
        UnencodableCase{"channels3", {1, 3, 44100, 264600, 6, 16, 0}, 600, "3 channels cannot be encoded (1 or 2)"},
        UnencodableCase{"rateMax", {1, 2, 4294967295u, 0, 4, 16, 0}, 600,
                        "its sample rate of 4294967295 Hz is outside 1000 to 192000 Hz"},
        UnencodableCase{"rate999", {1, 1, 999, 1998, 2, 16, 0}, 600, "its sample rate of 999 Hz is outside 1000 to 192000 Hz"},
        UnencodableCase{"rate192001", {1, 1, 192001, 384002, 2, 16, 0}, 600,
                        "its sample rate of 192001 Hz is outside 1000 to 192000 Hz"},
        UnencodableCase{"noData", {1, 2, 44100, 176400, 4, 16, 0}, 0, "it holds no audio (0 data bytes)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ConversionTest, OutputOverItsOwnInputIsRefused)
{
    ASSERT_TRUE(writeWav(file("self.wav"), test::pcmFormat(44100, 2), m_tone));
    const QByteArray wav = test::readAll(file("self.wav"));
    WavToMp3Job job({file("self.wav")});
    job.setOutputPath(file("self.wav"));
    job.setSink(&m_sink);
    job.run();
    EXPECT_EQ(test::readAll(file("self.wav")), wav);
    EXPECT_EQ(m_sink.errors, QStringList{QStringLiteral("Open File %1 Error").arg(file("self.wav"))});

    // An MP3 already carrying the name its WAV would get.
    ASSERT_TRUE(test::makeToneMp3(file("take.Wav"), 0.3));
    const QByteArray mp3 = test::readAll(file("take.Wav"));
    m_sink.errors.clear();
    toWav({file("take.Wav")}, m_folder.path());
    EXPECT_EQ(test::readAll(file("take.Wav")), mp3);
    EXPECT_EQ(m_sink.errors, QStringList{QStringLiteral("Open File %1 Error").arg(file("take.Wav"))});

    // Two inputs of one title: the first one's WAV stays.
    ASSERT_TRUE(test::makeToneMp3(file("Song.mp3"), 0.3));
    ASSERT_TRUE(test::makeToneMp3(file("song.MP3"), 0.6));
    m_sink.errors.clear();
    toWav({file("Song.mp3"), file("song.MP3")}, m_folder.path());
    EXPECT_EQ(m_sink.errors, QStringList{QStringLiteral("Open File %1 Error").arg(file("song.Wav"))});
    EXPECT_NEAR(test::readAll(file("song.Wav")).size(), 0.3 * 176400, 0.1 * 176400);
}

TEST_F(ConversionTest, CancelEndsWithAProperMp3)
{
    ASSERT_TRUE(writeWav(file("long.wav"), test::pcmFormat(44100, 2), test::sinePcm(44100, 2, 3.0, 440.0, 9000)));
    WavToMp3Job job({file("long.wav")});
    job.setBitrateKbps(128);
    job.setOutputPath(file("long.mp3"));
    m_sink.onTime = [&](int seconds) {
        if (seconds >= 1)
            job.cancel();
    };
    job.setSink(&m_sink);
    job.run();
    EXPECT_EQ(m_sink.ranges, std::vector<int>{3});
    const test::DecodedMp3 mp3 = test::decodeMp3File(file("long.mp3"));
    EXPECT_EQ(mp3.errors, 0);
    EXPECT_NEAR(mp3.seconds(), 1.0, 0.1);
}

TEST(Mp3ToWavNameTest, LowerCasedTitleWithWavInTheFolder)
{
    Mp3ToWavJob job;
    job.setOutputFolder(QStringLiteral("/out/F/"));
    EXPECT_EQ(job.outputPathFor(QStringLiteral("/music/Talk.MP3")), QStringLiteral("/out/F/talk.Wav"));
    EXPECT_EQ(job.outputPathFor(QStringLiteral("/Music/A.Live.Set.mp3")), QStringLiteral("/out/F/a.live.set.Wav"));
    EXPECT_EQ(job.outputPathFor(QStringLiteral("NoDot")), QStringLiteral("/out/F/nodot.Wav"));
    job.setOutputFolder(QStringLiteral("/out/G"));
    EXPECT_EQ(job.outputPathFor(QStringLiteral("/m/x.mp3")), QStringLiteral("/out/G/x.Wav"));
}

TEST_F(ConversionTest, Mp3BecomesAWavOfTheDecodedSamples)
{
    const QString input = file("Talk.MP3");
    ASSERT_TRUE(test::makeToneMp3(input, 1.0, 44100, 2, 128));
    const QString out = m_folder.file(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    toWav({input}, out);

    WaveFormat format;
    const QByteArray data = readWavData(out + QStringLiteral("/talk.Wav"), &format);
    EXPECT_EQ(format, test::pcmFormat(44100, 2));
    EXPECT_EQ(format.avgBytesPerSec, 176400u);
    EXPECT_EQ(format.blockAlign, 4);
    // The decoded samples without the encoder's delay (and libmad's) and its padding.
    const test::DecodedMp3 reference = test::decodeMp3File(input);
    const AudioScan scan = scanAudio(test::readAll(input));
    ASSERT_TRUE(scan.vbr.hasGapless());
    const std::size_t skip = static_cast<std::size_t>(scan.vbr.encoderDelay + lametag::kDecoderDelay) * 2;
    ASSERT_EQ(data.size(), scan.gaplessSamples() * 4);
    ASSERT_LE(skip * 2 + static_cast<std::size_t>(data.size()), reference.pcm.size() * 2);
    EXPECT_EQ(std::memcmp(data.constData(), reference.pcm.data() + skip, static_cast<std::size_t>(data.size())), 0);
    EXPECT_EQ(m_sink.ranges, std::vector<int>{1});
    EXPECT_TRUE(m_sink.errors.isEmpty());
}

TEST_F(ConversionTest, MonoMp3GivesMonoWav)
{
    ASSERT_TRUE(test::makeToneMp3(file("mono.mp3"), 0.5, 22050, 1, 64));
    toWav({file("mono.mp3")}, m_folder.path());
    WaveFormat format;
    readWavData(file("mono.Wav"), &format);
    EXPECT_EQ(format, test::pcmFormat(22050, 1));
}

TEST_F(ConversionTest, RoundTripKeepsLengthAndLevel)
{
    const QByteArray tone = test::sinePcm(44100, 2, 2.0, 440.0, 10000);
    ASSERT_TRUE(writeWav(file("tone.wav"), test::pcmFormat(44100, 2), tone));
    ASSERT_FALSE(toMp3(file("tone.wav"), 0, 0, 160).isEmpty());
    toWav({file("tone.wav.mp3")}, m_folder.path());

    const QByteArray back = readWavData(file("tone.wav.Wav"));
    // The encoder adds its delay and pads to whole frames: at most a few frames more.
    EXPECT_GE(back.size(), tone.size());
    EXPECT_LE(back.size(), tone.size() + 3 * static_cast<qsizetype>(kStereoChunk));
    auto level = [](const QByteArray &pcm, qsizetype from, qsizetype count) {
        double sum = 0;
        const auto *s = reinterpret_cast<const std::int16_t *>(pcm.constData());
        for (qsizetype i = from; i < from + count; ++i)
            sum += std::abs(s[i]);
        return sum / static_cast<double>(count);
    };
    // The encoder itself leaves a 440 Hz tone about 5 % lower; the decoding side adds nothing.
    const double original = level(tone, 44100, 88200);
    EXPECT_NEAR(level(back, 44100, 88200), original, original * 0.08);
    EXPECT_NEAR(level(back, 44100, 88200), test::decodeMp3File(file("tone.wav.mp3")).level(0.5, 1.5), 1.0);
}

TEST_F(ConversionTest, InputThatCannotBeOpenedKeepsAnExistingWav)
{
    ASSERT_TRUE(test::writeAll(file("gone.Wav"), QByteArray("keep me")));
    ASSERT_TRUE(test::makeToneMp3(file("ok.mp3"), 0.3));
    toWav({file("gone.mp3"), file("ok.mp3")}, m_folder.path());
    EXPECT_EQ(test::readAll(file("gone.Wav")), QByteArray("keep me"));
    EXPECT_EQ(m_sink.errors, QStringList{QStringLiteral("Open File %1 Error").arg(file("gone.mp3"))});
    EXPECT_EQ(m_sink.started, (std::vector<int>{0, 1}));
    EXPECT_TRUE(QFile::exists(file("ok.Wav")));
}

TEST_F(ConversionTest, UndecodableMp3WritesNoWav)
{
    ASSERT_TRUE(test::writeAll(file("empty.mp3"), QByteArray()));
    ASSERT_TRUE(test::writeAll(file("text.mp3"), QByteArray(4000, 't')));
    toWav({file("empty.mp3"), file("text.mp3")}, m_folder.path());
    EXPECT_FALSE(QFile::exists(file("empty.Wav")));
    EXPECT_FALSE(QFile::exists(file("text.Wav")));
    // Said, not passed over in silence.
    EXPECT_EQ(m_sink.errors, (QStringList{DecodeContext::notAudioMessage(file("empty.mp3")),
                                          DecodeContext::notAudioMessage(file("text.mp3"))}));
}

TEST_F(ConversionTest, UnwritableFolderIsReported)
{
    ASSERT_TRUE(test::makeToneMp3(file("a.mp3"), 0.3));
    const QString folder = file("no/such/folder");
    toWav({file("a.mp3")}, folder);
    // The output's problem, not the input's.
    EXPECT_EQ(m_sink.errors, QStringList{QStringLiteral("%1/a.Wav: could not be written (the folder does not exist)").arg(folder)});
}

TEST_F(ConversionTest, CancelledWavIsClosedWithItsSizes)
{
    ASSERT_TRUE(test::makeToneMp3(file("long.mp3"), 3.0));
    Mp3ToWavJob job({file("long.mp3")});
    job.setOutputFolder(m_folder.path());
    m_sink.onTime = [&](int seconds) {
        if (seconds >= 1)
            job.cancel();
    };
    job.setSink(&m_sink);
    JobWorker worker(job);
    worker.start();
    worker.wait();
    EXPECT_TRUE(m_sink.cancelled);

    const QByteArray data = readWavData(file("long.Wav"));
    EXPECT_EQ(data.size() % 4, 0);
    EXPECT_NEAR(static_cast<double>(data.size()) / 176400, 1.0, 0.05);
    EXPECT_EQ(QFile(file("long.Wav")).size(), 56 + data.size());
}

} // namespace
} // namespace sonavell
