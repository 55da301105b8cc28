#include "core/mp3/id3v1tag.h"
#include "core/mp3/medialength.h"
#include "core/mp3/mp3fileinfo.h"

#include "mp3frames.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace sonavell;
using namespace sonavell::test;

namespace {

constexpr auto V1 = MpegVersion::Mpeg1;
constexpr auto V2 = MpegVersion::Mpeg2;
constexpr auto V25 = MpegVersion::Mpeg25;

struct StreamCase
{
    const char *name;
    FrameSpec spec;
    std::vector<int> bitrateIndexes; // several for a variable-bitrate stream
};

class MediaLength : public testing::TestWithParam<StreamCase>
{
protected:
    static constexpr int kFrames = 1500;
    TempFolder m_folder;
    QString m_path = m_folder.file(QStringLiteral("stream.mp3"));
};

// The tag's count and a walk over every frame agree, for every version, layer and channel mode.
TEST_P(MediaLength, XingCountAndFrameWalkAgree)
{
    const StreamCase &c = GetParam();
    const QByteArray audio = makeStream(c.spec, kFrames, c.bitrateIndexes);
    const qint64 expected = expectedMilliseconds(c.spec, kFrames);

    ASSERT_TRUE(writeAll(m_path, audio));
    EXPECT_EQ(queryMediaLength(m_path), expected) << "frame walk";

    FrameSpec first = c.spec;
    first.bitrateIndex = c.bitrateIndexes.empty() ? c.spec.bitrateIndex : c.bitrateIndexes.back();
    ASSERT_TRUE(writeAll(m_path, makeXingFrame(first, kFrames) + audio));
    EXPECT_EQ(queryMediaLength(m_path), expected) << "Info tag";
    ASSERT_TRUE(writeAll(m_path, makeXingFrame(first, kFrames, "Xing") + audio));
    EXPECT_EQ(queryMediaLength(m_path), expected) << "Xing tag";
}

// A count of 0 (an encoder that never came back to fill the tag in) falls back to the walk.
TEST_P(MediaLength, EmptyTagFrameIsNotCountedAsAudio)
{
    const StreamCase &c = GetParam();
    ASSERT_TRUE(writeAll(m_path, makeXingFrame(c.spec, 0) + makeStream(c.spec, kFrames, c.bitrateIndexes)));
    EXPECT_EQ(queryMediaLength(m_path), expectedMilliseconds(c.spec, kFrames));
}

INSTANTIATE_TEST_SUITE_P(
    AllVersions, MediaLength,
    testing::Values(StreamCase{"Mpeg1Layer3Stereo", {V1, 3, 9, 0}, {}},
                    StreamCase{"Mpeg1Layer3MonoVbr", {V1, 3, 9, 1, 0, 3}, {1, 5, 9, 14, 11}},
                    StreamCase{"Mpeg1Layer3StereoVbrPadded", {V1, 3, 9, 0, 1, 1}, {9, 10, 11, 5}},
                    StreamCase{"Mpeg1Layer2", {V1, 2, 11, 1}, {}},
                    StreamCase{"Mpeg1Layer1", {V1, 1, 8, 2}, {}},
                    StreamCase{"Mpeg2Layer3Stereo22050", {V2, 3, 8, 0}, {}},
                    StreamCase{"Mpeg2Layer3MonoVbr", {V2, 3, 8, 2, 0, 3}, {1, 4, 8, 14}},
                    StreamCase{"Mpeg2Layer2", {V2, 2, 10, 1}, {}},
                    StreamCase{"Mpeg2Layer1", {V2, 1, 4, 0}, {}},
                    StreamCase{"Mpeg25Layer3Mono", {V25, 3, 4, 0, 0, 3}, {}},
                    StreamCase{"Mpeg25Layer3StereoVbr", {V25, 3, 4, 2, 0, 0}, {2, 3, 7, 4}},
                    StreamCase{"Mpeg2Layer3Crc", {V2, 3, 8, 0, 0, 0, true}, {}}),
    [](const testing::TestParamInfo<StreamCase> &info) { return std::string(info.param.name); });

TEST(MediaLengthQuery, UnopenableFileFails)
{
    TempFolder folder;
    EXPECT_EQ(queryMediaLength(folder.file(QStringLiteral("missing.mp3"))), kMediaLengthFailed);
    EXPECT_EQ(kMediaLengthFailed / 1000, 0);
}

TEST(MediaLengthQuery, VbriCountIsUsedWhenItsBytesMatch)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("vbri.mp3"));
    const FrameSpec spec;
    const int frame = frameLengthOf(spec);
    ASSERT_TRUE(writeAll(path, makeVbriFrame(spec, 800, 801 * frame) + makeStream(spec, 800)));
    EXPECT_EQ(queryMediaLength(path), expectedMilliseconds(spec, 800));
}

TEST(MediaLengthQuery, TruncatedFileIsTimedByTheFramesPresent)
{
    // The tag (count and bytes) still describes the 800 frames of the whole file; 600 are left.
    TempFolder folder;
    const FrameSpec spec;
    const int frame = frameLengthOf(spec);
    const QString vbri = folder.file(QStringLiteral("vbri.mp3"));
    ASSERT_TRUE(writeAll(vbri, makeVbriFrame(spec, 800, 801 * frame) + makeStream(spec, 600)));
    EXPECT_EQ(queryMediaLength(vbri), expectedMilliseconds(spec, 600));
    const QString xing = folder.file(QStringLiteral("xing.mp3"));
    ASSERT_TRUE(writeAll(xing, makeXingFrame(spec, 800, "Xing", 801 * frame) + makeStream(spec, 600)));
    EXPECT_EQ(queryMediaLength(xing), expectedMilliseconds(spec, 600));
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(xing, true));
    EXPECT_EQ(info.durationSeconds, int(expectedMilliseconds(spec, 600) / 1000));
}

TEST(MediaLengthQuery, StaleTagOfALongerFileIsNotTrusted)
{
    // An Info frame copied into a cut by another tool still claims the whole source's frames.
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("cut.mp3"));
    const FrameSpec spec;
    ASSERT_TRUE(writeAll(path, makeXingFrame(spec, 100000) + makeStream(spec, 300)));
    EXPECT_EQ(queryMediaLength(path), expectedMilliseconds(spec, 300));
}

TEST(MediaLengthQuery, LeadingId3v2AndTrailingId3v1AreNotAudio)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("tagged.mp3"));
    const FrameSpec spec{V2, 3, 8, 0};
    Mp3FileInfo tagged;
    // Latin-1 "ÿû" in the title would look like a 24-byte MPEG-2 frame header.
    tagged.title = QString::fromLatin1("\xFF\xF3\x10\xC0 title");
    const Id3v1Tag tag = buildId3v1Tag(tagged);
    ASSERT_TRUE(writeAll(path, makeId3v2Tag(200 * 1024) + makeStream(spec, 700)
                                   + QByteArray(reinterpret_cast<const char *>(tag.data()), 128)));
    EXPECT_EQ(queryMediaLength(path), expectedMilliseconds(spec, 700));
}

TEST(MediaLengthQuery, DamagedFramesAreSteppedOver)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("damaged.mp3"));
    const FrameSpec spec;
    QByteArray bytes = makeStream(spec, 50);
    bytes += QByteArray::fromHex("FFFB0000"); // free format
    bytes += QByteArray::fromHex("FFFBF000"); // forbidden bitrate
    bytes += QByteArray::fromHex("FFFB9C00"); // reserved sample rate
    bytes += QByteArray::fromHex("FFF90000"); // reserved layer
    bytes += QByteArray::fromHex("FFEB9000"); // reserved version
    bytes += makeStream(spec, 50);
    bytes += makeFrame(spec).left(200); // cut off by the end of the file
    ASSERT_TRUE(writeAll(path, bytes));
    EXPECT_EQ(queryMediaLength(path), expectedMilliseconds(spec, 100));
}

TEST(MediaLengthQuery, EmptyAndTinyFilesHaveNoLength)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("tiny.mp3"));
    for (const QByteArray &bytes : {QByteArray(), QByteArray("\xFF"), QByteArray::fromHex("FFFB9000")}) {
        ASSERT_TRUE(writeAll(path, bytes));
        EXPECT_EQ(queryMediaLength(path), 0);
    }
}

// The lists' quick length reads only the head of a long stream.
TEST(QuickMediaLength, ConstantRateIsReckonedFromTheSize)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("cbr.mp3"));
    const FrameSpec spec;
    ASSERT_TRUE(writeAll(path, makeStream(spec, 1500) + QByteArray("TAG") + QByteArray(125, ' ')));
    const QuickLength quick = quickMediaLength(path);
    EXPECT_TRUE(quick.settled);
    EXPECT_NEAR(quick.milliseconds, expectedMilliseconds(spec, 1500), 27); // within a frame
}

TEST(QuickMediaLength, MixedRatesNeedAWalkUnlessShortOrTagged)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("vbr.mp3"));
    const FrameSpec spec;
    ASSERT_TRUE(writeAll(path, makeStream(spec, 1500, {9, 5})));
    EXPECT_FALSE(quickMediaLength(path).settled);
    ASSERT_TRUE(writeAll(path, makeStream(spec, 60, {9, 5})));
    EXPECT_EQ(quickMediaLength(path).milliseconds, expectedMilliseconds(spec, 60));
    EXPECT_TRUE(quickMediaLength(path).settled);
    const QByteArray mixed = makeStream(spec, 1500, {9, 5});
    const auto streamBytes = static_cast<std::uint32_t>(frameLengthOf(spec) + mixed.size());
    ASSERT_TRUE(writeAll(path, makeXingFrame(spec, 1500, "Info", streamBytes) + mixed));
    EXPECT_EQ(quickMediaLength(path).milliseconds, expectedMilliseconds(spec, 1500));
    EXPECT_TRUE(quickMediaLength(path).settled);
    EXPECT_EQ(quickMediaLength(folder.file(QStringLiteral("missing.mp3"))).milliseconds, kMediaLengthFailed);
}

} // namespace
