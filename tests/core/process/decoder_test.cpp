#include "core/decode/decoder.h"
#include "core/process/decodecontext.h"

#include "decodedmp3.h"
#include "processtesting.h"
#include "testname.h"
#include "testsupport.h"

#include <QFile>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

struct ScaleCase
{
    std::int32_t sample;
    float volume;
    std::int16_t expected;
};

class ScaleSampleTest : public ::testing::TestWithParam<ScaleCase>
{
};

TEST_P(ScaleSampleTest, RoundsScalesAndClips)
{
    const ScaleCase c = GetParam();
    EXPECT_EQ(scaleSample(c.sample, c.volume), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, ScaleSampleTest,
    ::testing::Values(ScaleCase{0x10000000, 1.0f, 32767}, ScaleCase{-0x10000000, 1.0f, -32768}, ScaleCase{0, 1.0f, 0},
                      ScaleCase{0x0FFFFFFF, 1.0f, 32767},      // rounding reaches full scale
                      ScaleCase{4095, 1.0f, 0}, ScaleCase{4096, 1.0f, 1}, // rounding at bit 12
                      ScaleCase{-4097, 1.0f, -1},
                      ScaleCase{0x01000000, 10.0f, 20485},     // x = 0x0A00A000
                      ScaleCase{0x02000000, 10.0f, 32767},     // above full scale: clipped
                      ScaleCase{-0x02000000, 10.0f, -32768},
                      ScaleCase{0x10000000, 0.5f, 16384}, ScaleCase{0x7FFFFFFF, 1.0f, 32767},
                      ScaleCase{0x08000000, 0.0f, 0}),
    [](const auto &info) {
        return test::numberName(info.param.sample) + "_times_" + test::numberName(info.param.volume);
    });

TEST(ConvertFrameTest, InterleavesLittleEndianAndAdaptsChannels)
{
    const std::int32_t left[2] = {0x10000000, -0x10000000};
    const std::int32_t right[2] = {0, 0x01000000};
    DecodedFrame frame;
    frame.channels = 2;
    frame.length = 2;
    frame.left = left;
    frame.right = right;
    char out[8];
    convertFrame(frame, 1.0f, 2, out);
    EXPECT_EQ(QByteArray(out, 8), QByteArray::fromHex("ff7f0000 0080 0008"));

    convertFrame(frame, 1.0f, 1, out); // stereo into mono keeps the left channel
    EXPECT_EQ(QByteArray(out, 4), QByteArray::fromHex("ff7f0080"));

    frame.channels = 1;
    frame.right = nullptr;
    convertFrame(frame, 1.0f, 2, out); // mono into stereo fills both channels
    EXPECT_EQ(QByteArray(out, 8), QByteArray::fromHex("ff7fff7f00800080"));
}

TEST(Mp3LayoutTest, FindsTagsAroundTheAudio)
{
    QByteArray id3v2 = QByteArray::fromHex("49443303000000000105"); // size 0x85 = 133
    id3v2.append(QByteArray(133, 'x'));
    const QByteArray audio(1000, 'a');
    QByteArray id3v1("TAG");
    id3v1.append(QByteArray(125, 't'));

    const QByteArray image = id3v2 + audio + id3v1;
    const Mp3Layout layout = Mp3Layout::of(image);
    EXPECT_EQ(layout.id3v2, id3v2);
    EXPECT_EQ(layout.trailer, id3v1);
    EXPECT_EQ(layout.audio(image), audio);

    const Mp3Layout bare = Mp3Layout::of(audio);
    EXPECT_TRUE(bare.id3v2.isEmpty());
    EXPECT_TRUE(bare.trailer.isEmpty());
    EXPECT_EQ(bare.audio(audio), audio);

    // A tag size past the end keeps the whole image as tag and no audio.
    const QByteArray truncated = id3v2.left(50);
    const Mp3Layout cut = Mp3Layout::of(truncated);
    EXPECT_EQ(cut.id3v2, truncated);
    EXPECT_TRUE(cut.audio(truncated).isEmpty());
    EXPECT_TRUE(Mp3Layout::of(QByteArray()).audio(QByteArray()).isEmpty());
}

int countFrames(const QByteArray &image, int *channels = nullptr)
{
    int frames = 0;
    runDecoder(image, [&](const DecodedFrame &frame) {
        ++frames;
        if (channels)
            *channels = frame.channels;
        return DecodeFlow::Continue;
    });
    return frames;
}

TEST(RunDecoderTest, EmptyImageDecodesNothing)
{
    EXPECT_EQ(countFrames(QByteArray()), 0);
    EXPECT_EQ(countFrames(QByteArray(5000, '\0')), 0);
}

TEST(RunDecoderTest, SkipsTheInfoFrameAndDecodesEveryAudioFrame)
{
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("tone.mp3"));
    ASSERT_TRUE(test::makeToneMp3(path, 2.0));
    const QByteArray bytes = test::readAll(path);
    const test::DecodedMp3 reference = test::decodeMp3(bytes);
    ASSERT_TRUE(reference.hasInfoFrame);
    int channels = 0;
    EXPECT_EQ(countFrames(bytes, &channels), reference.audioFrames);
    EXPECT_EQ(channels, 2);
    // Two files put end to end: the second file's Info frame is no frame of silence either.
    EXPECT_EQ(countFrames(bytes + bytes), 2 * reference.audioFrames);
}

TEST(RunDecoderTest, HandlerStopEndsTheRun)
{
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("tone.mp3"));
    ASSERT_TRUE(test::makeToneMp3(path, 1.0));
    int frames = 0;
    runDecoder(test::readAll(path), [&](const DecodedFrame &) {
        return ++frames == 3 ? DecodeFlow::Stop : DecodeFlow::Continue;
    });
    EXPECT_EQ(frames, 3);
}

TEST(RunDecoderTest, DamagedFrameIsLoggedAndSkipped)
{
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("tone.mp3"));
    // 48 kHz at 128 kbit/s: every frame is 384 bytes, no padding.
    ASSERT_TRUE(test::makeToneMp3(path, 2.0, 48000, 2, 128));
    QByteArray bytes = test::readAll(path);
    const int whole = countFrames(bytes);
    ASSERT_GT(whole, 40);
    constexpr int kFrameBytes = 384;
    constexpr int kDamaged = 20;
    ASSERT_EQ(static_cast<unsigned char>(bytes[kDamaged * kFrameBytes]), 0xFF);
    bytes.replace(kDamaged * kFrameBytes, 4, QByteArray(4, '\0'));

    test::LogCapture log;
    const int damaged = countFrames(bytes);
    EXPECT_LT(damaged, whole);
    EXPECT_GE(damaged, whole - 2); // the next frame may lose its reservoir bits too
    // One line for the stretch, however long; libmad sees only whole frames.
    const QStringList lines = log.lines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), QStringLiteral("damaged data at byte offset %1: %2 bytes skipped").arg(kDamaged * kFrameBytes).arg(kFrameBytes));
}

TEST(RunDecoderTest, FirstFrameBitrateOfAFile)
{
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("tone.mp3"));
    ASSERT_TRUE(test::makeToneMp3(path, 1.0, 44100, 2, 96));
    EXPECT_EQ(firstFrameBitrate(path), 96000);
    EXPECT_EQ(firstFrameBitrate(folder.file(QStringLiteral("missing.mp3"))), 0);
    ASSERT_TRUE(test::writeAll(folder.file(QStringLiteral("empty.mp3")), QByteArray()));
    EXPECT_EQ(firstFrameBitrate(folder.file(QStringLiteral("empty.mp3"))), 0);
}

// A file of several input blocks, with an ID3v2 tag in front and an ID3v1 tag behind: decoding it
// from the file a block at a time gives the PCM of the audio decoded from one buffer.
TEST(RunDecoderTest, StreamingFromTheFileMatchesOneBuffer)
{
    test::TempFolder folder;
    const QString bare = folder.file(QStringLiteral("bare.mp3"));
    ASSERT_TRUE(test::makeToneMp3(bare, 12.0, 44100, 2, 128)); // about 190 KB: three blocks
    QByteArray id3v2 = QByteArray::fromHex("494433030000000000") + QByteArray(1, char(100)) + QByteArray(100, 'x');
    const QByteArray audio = test::readAll(bare);
    const QByteArray id3v1 = QByteArray("TAG") + QByteArray(125, ' ');
    const QString tagged = folder.file(QStringLiteral("tagged.mp3"));
    ASSERT_TRUE(test::writeAll(tagged, id3v2 + audio + id3v1));

    auto pcmOf = [](auto decode) {
        QByteArray pcm;
        decode([&pcm](const DecodedFrame &frame) {
            const qsizetype at = pcm.size();
            pcm.resize(at + qsizetype(frame.length) * frame.channels * 2);
            convertFrame(frame, 1.0f, frame.channels, pcm.data() + at);
            return DecodeFlow::Continue;
        });
        return pcm;
    };
    const QByteArray whole = pcmOf([&](const OutputHandler &h) { runDecoder(audio, h); });
    Mp3Source source;
    ASSERT_TRUE(source.open(tagged));
    EXPECT_EQ(source.layout().audioBegin, id3v2.size());
    EXPECT_EQ(source.layout().trailer, id3v1);
    const QByteArray streamed = pcmOf([&](const OutputHandler &h) { source.decode(h); });
    ASSERT_GT(whole.size(), 0);
    EXPECT_TRUE(streamed == whole);
    EXPECT_EQ(firstFrameBitrate(tagged), 128000);
}

struct FormatCase
{
    int rate;
    int channels;
    int outputKbps; // low enough rates make the encoder resample; these keep the rate
    std::uint16_t blockAlign;
};

void PrintTo(const FormatCase &c, std::ostream *os)
{
    *os << c.rate << "Hz_" << c.channels << "ch";
}

class DecodeFormatTest : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P(DecodeFormatTest, EncoderFormatFollowsTheFirstFrame)
{
    const FormatCase c = GetParam();
    test::TempFolder folder;
    const QString input = folder.file(QStringLiteral("in.mp3"));
    ASSERT_TRUE(test::makeToneMp3(input, 1.0, c.rate, c.channels, c.rate > 24000 ? 128 : 64));
    DecodeContext context;
    context.setOutputPath(folder.file(QStringLiteral("out.mp3")));
    context.setBitrateKbps(c.outputKbps);
    runDecoder(test::readAll(input), context.encodingHandler());
    EXPECT_TRUE(context.finishEncoder());
    EXPECT_EQ(context.format().channels, c.channels);
    EXPECT_EQ(context.format().samplesPerSec, static_cast<std::uint32_t>(c.rate));
    EXPECT_EQ(context.format().blockAlign, c.blockAlign);
    EXPECT_EQ(context.format().bitsPerSample, 16);

    const test::DecodedMp3 out = test::decodeMp3File(context.outputPath());
    EXPECT_EQ(out.channels, c.channels);
    EXPECT_EQ(out.sampleRate, c.rate);
    EXPECT_EQ(out.bitRates, std::set<int>{c.outputKbps});
    EXPECT_NEAR(out.seconds(), 1.0, 0.2);
}

INSTANTIATE_TEST_SUITE_P(Formats, DecodeFormatTest,
                         ::testing::Values(FormatCase{44100, 2, 128, 4}, FormatCase{44100, 1, 96, 2},
                                           FormatCase{22050, 1, 48, 2}, FormatCase{16000, 2, 32, 4}),
                         [](const auto &info) {
                             const FormatCase &c = info.param;
                             return test::formatName(c.channels, c.rate, c.outputKbps);
                         });

TEST(DecodeContextTest, NoFrameWritesNoOutput)
{
    test::TempFolder folder;
    DecodeContext context;
    context.setOutputPath(folder.file(QStringLiteral("out.mp3")));
    runDecoder(QByteArray(), context.encodingHandler());
    EXPECT_TRUE(context.finishEncoder());
    EXPECT_EQ(context.framesDecoded(), 0);
    EXPECT_FALSE(QFile::exists(context.outputPath()));
}

} // namespace
} // namespace sonavell
