#include "core/decode/mp3streamdecoder.h"
#include "core/mp3/mp3frametable.h"

#include "decodedmp3.h"
#include "core/mp3/medialength.h"
#include "playtesting.h"
#include "testname.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstring>

namespace sonavell::test {
namespace {

struct StreamCase
{
    int rate;
    int channels;
    int kbps;
};

void PrintTo(const StreamCase &c, std::ostream *os)
{
    *os << c.rate << " Hz, " << c.channels << " ch, " << c.kbps << " kbps";
}

std::vector<std::int16_t> decodeAll(Mp3StreamDecoder &decoder)
{
    std::vector<std::int16_t> samples;
    std::vector<std::uint8_t> block(5000);
    while (const std::uint32_t got = decoder.read(block.data(), static_cast<std::uint32_t>(block.size()))) {
        const std::size_t at = samples.size();
        samples.resize(at + got / 2);
        std::memcpy(samples.data() + at, block.data(), got);
    }
    return samples;
}

class Mp3Stream : public testing::TestWithParam<StreamCase>
{
protected:
    void SetUp() override
    {
        const StreamCase &c = GetParam();
        path = folder.file(QStringLiteral("a.mp3"));
        ASSERT_TRUE(makeMp3(path, sweepPcm(c.rate, c.channels, 6.0), c.rate, c.channels, c.kbps));
        ASSERT_TRUE(table.build(path));
    }

    TempFolder folder;
    QString path;
    Mp3FrameTable table;
};

TEST_P(Mp3Stream, TableMatchesTheFile)
{
    const StreamCase &c = GetParam();
    const DecodedMp3 reference = decodeMp3File(path);
    EXPECT_EQ(table.frameCount(), reference.audioFrames);
    EXPECT_EQ(table.sampleRate(), reference.sampleRate);
    EXPECT_EQ(table.channels(), c.channels);
    EXPECT_EQ(table.totalSamples() * c.channels, static_cast<qint64>(reference.pcm.size()));
    EXPECT_EQ(table.lengthMs(), queryMediaLength(path));
    EXPECT_EQ(table.frameOfSample(0), 0);
    EXPECT_EQ(table.frameOfSample(table.frame(5).firstSample), 5);
    EXPECT_EQ(table.frameOfSample(table.frame(5).firstSample - 1), 4);
    EXPECT_EQ(table.frameOfSample(table.totalSamples() + 100), table.frameCount() - 1);
}

// From the start the stream is libmad's whole decode (the reference truncates, we round).
TEST_P(Mp3Stream, DecodesTheWholeFile)
{
    const DecodedMp3 reference = decodeMp3File(path);
    Mp3StreamDecoder decoder(table);
    ASSERT_TRUE(decoder.open(path));
    const std::vector<std::int16_t> samples = decodeAll(decoder);
    ASSERT_EQ(samples.size(), reference.pcm.size());
    int worst = 0;
    for (std::size_t i = 0; i < samples.size(); ++i)
        worst = std::max(worst, std::abs(samples[i] - reference.pcm[i]));
    EXPECT_LE(worst, 1);
    EXPECT_EQ(decoder.position(), table.totalSamples());
}

// A seek anywhere delivers exactly the samples a decode from the start has there.
TEST_P(Mp3Stream, SeekGivesTheSameSamplesAsDecodingFromTheStart)
{
    const StreamCase &c = GetParam();
    Mp3StreamDecoder decoder(table);
    ASSERT_TRUE(decoder.open(path));
    const std::vector<std::int16_t> whole = decodeAll(decoder);
    const qint64 total = table.totalSamples();
    for (const qint64 target : {qint64(0), qint64(1), qint64(1151), table.frame(7).firstSample, total / 3 + 17, total / 2,
                                total - 2000, total - 1}) {
        decoder.seek(target);
        EXPECT_EQ(decoder.position(), target);
        const std::vector<std::int16_t> tail = decodeAll(decoder);
        ASSERT_EQ(qint64(tail.size()), (total - target) * c.channels) << "seek to " << target;
        ASSERT_TRUE(std::equal(tail.begin(), tail.end(), whole.begin() + target * c.channels)) << "seek to " << target;
    }
    decoder.seek(total + 5);
    EXPECT_EQ(decoder.position(), total);
    std::uint8_t block[64];
    EXPECT_EQ(decoder.read(block, sizeof block), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, Mp3Stream,
                         testing::Values(StreamCase{44100, 2, 128}, StreamCase{44100, 1, 64}, StreamCase{22050, 2, 32},
                                         StreamCase{8000, 1, 8}, StreamCase{32000, 2, 160}),
                         [](const auto &info) {
                             return test::formatName(info.param.channels, info.param.rate, info.param.kbps);
                         });

TEST(Mp3Stream, TrailingTagAndLeadingJunkAreNotAudio)
{
    TempFolder folder;
    const QString plain = folder.file(QStringLiteral("plain.mp3"));
    ASSERT_TRUE(makeMp3(plain, sweepPcm(44100, 2, 2.0), 44100, 2, 128));
    QByteArray tag("TAG");
    tag.resize(128, 'x');
    const QString tagged = folder.file(QStringLiteral("tagged.mp3"));
    ASSERT_TRUE(writeAll(tagged, readAll(plain) + tag));

    Mp3FrameTable plainTable;
    Mp3FrameTable taggedTable;
    ASSERT_TRUE(plainTable.build(plain));
    ASSERT_TRUE(taggedTable.build(tagged));
    EXPECT_EQ(taggedTable.totalSamples(), plainTable.totalSamples());
    EXPECT_EQ(taggedTable.audioEnd(), QFileInfo(plain).size());
    Mp3StreamDecoder plainDecoder(plainTable);
    Mp3StreamDecoder taggedDecoder(taggedTable);
    ASSERT_TRUE(plainDecoder.open(plain));
    ASSERT_TRUE(taggedDecoder.open(tagged));
    EXPECT_EQ(decodeAll(taggedDecoder), decodeAll(plainDecoder));
}

TEST(Mp3Stream, NoFramesNoStream)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("junk.mp3"));
    ASSERT_TRUE(writeAll(path, QByteArray(3000, '\x42')));
    Mp3FrameTable table;
    EXPECT_FALSE(table.build(path));
    EXPECT_FALSE(table.build(folder.file(QStringLiteral("missing.mp3"))));
    Mp3StreamDecoder decoder(table);
    EXPECT_FALSE(decoder.open(path));
    std::uint8_t block[64];
    EXPECT_EQ(decoder.read(block, sizeof block), 0u);
}

} // namespace
} // namespace sonavell::test
