#include "core/mp3/framereader.h"
#include "core/mp3/framesync.h"

#include "mp3frames.h"

#include <QBuffer>

#include <gtest/gtest.h>

using namespace sonavell;
using namespace sonavell::test;

namespace {

struct SearchResult
{
    bool found = false;
    std::uint32_t header = 0;
    qint64 pos = -1;
};

SearchResult search(QByteArray bytes, qint64 skip = 0, qint64 from = 0)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(from);
    SearchResult result;
    result.found = findFrameSync(buffer, result.header, skip);
    result.pos = buffer.pos();
    return result;
}

const FrameSpec kSpec;

struct LeadCase
{
    const char *name;
    QByteArray lead;
    bool found;
};

class LeadingBytes : public testing::TestWithParam<LeadCase>
{
};

TEST_P(LeadingBytes, AreSteppedOverUpToTheSearchLimit)
{
    const LeadCase &c = GetParam();
    const SearchResult r = search(c.lead + makeFrame(kSpec));
    EXPECT_EQ(r.found, c.found);
    if (c.found) {
        EXPECT_EQ(r.header, makeHeader(kSpec));
        EXPECT_EQ(r.pos, c.lead.size() + 4);
    } else {
        EXPECT_EQ(r.header, 0u);
    }
}

QByteArray junk(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i % 251 == 250 ? 0xFF : i % 199); // 0xFF bytes never followed by three set bits
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    FrameSync, LeadingBytes,
    testing::Values(LeadCase{"None", QByteArray(), true}, LeadCase{"OneByte", junk(1), true},
                    LeadCase{"Junk", junk(5000), true},
                    // 10001 start positions are tried: the last one is at offset 10000.
                    LeadCase{"JunkAtLimit", junk(10000), true}, LeadCase{"JunkPastLimit", junk(10001), false},
                    // ID3v2 tags are stepped over by their size, and the limit starts after them.
                    LeadCase{"Id3v2_200KB", makeId3v2Tag(200 * 1024), true},
                    LeadCase{"Id3v2ThenJunk", makeId3v2Tag(200 * 1024) + junk(10000), true},
                    LeadCase{"Id3v2ThenTooMuchJunk", makeId3v2Tag(200 * 1024) + junk(10001), false},
                    LeadCase{"Id3v24WithFooter", makeId3v2Tag(30000, 4, true), true},
                    LeadCase{"TwoId3v2Tags", makeId3v2Tag(20000) + makeId3v2Tag(20000), true}),
    [](const testing::TestParamInfo<LeadCase> &info) { return std::string(info.param.name); });

TEST(FrameSync, TakesAFalseSyncInsideNonAudioData)
{
    // Only the eleven sync bits are tested: 0xFF 0xE0 in data is a "header".
    QByteArray bytes = junk(100);
    bytes[40] = char(0xFF);
    bytes[41] = char(0xE0);
    const SearchResult r = search(bytes + makeFrame(kSpec));
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.pos, 44);
    EXPECT_EQ(r.header >> 16, 0xFFE0u);
}

TEST(FrameSync, SkipBytesMovesForwardFirst)
{
    const QByteArray frames = makeStream(kSpec, 3);
    const int length = frameLengthOf(kSpec);
    const SearchResult r = search(frames, length - 4, 4);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.pos, length + 4);
}

TEST(FrameSync, ShortOrEmptyInputIsNotFound)
{
    EXPECT_FALSE(search(QByteArray()).found);
    EXPECT_FALSE(search(QByteArray("\xFF\xFB\x90", 3)).found);
    EXPECT_TRUE(search(QByteArray("\xFF\xFB\x90\x00", 4)).found);
}

// Found by the fuzzer: a skip past the end left a QBuffer unable to follow (it refuses such
// seeks and complains on every call). The device is left at its end instead.
TEST(FrameSync, SkipPastTheEndLeavesTheDeviceAtItsEnd)
{
    const QByteArray frame = makeFrame(kSpec);
    const SearchResult r = search(frame, 1 << 30);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.pos, frame.size());
}

TEST(FrameSync, Id3v2DeclaredLongerThanTheFileFindsNothing)
{
    QByteArray tag = makeId3v2Tag(100);
    tag[6] = 0x7F; // about 256 MB
    EXPECT_FALSE(search(tag + makeFrame(kSpec)).found);
}

TEST(FrameSync, Id3v2WithBadSizeBytesIsNotATag)
{
    EXPECT_EQ(id3v2TagSize(reinterpret_cast<const unsigned char *>("ID3\x03\x00\x00\x00\x00\x80\x00"), 10), 0);
    EXPECT_EQ(id3v2TagSize(reinterpret_cast<const unsigned char *>("ID3\x03\x00\x00\x00\x00\x01\x00"), 10), 138);
    EXPECT_EQ(id3v2TagSize(reinterpret_cast<const unsigned char *>("ID3\x03\x00\x00\x00\x00\x01\x00"), 9), 0);
}

TEST(FrameSync, TagIsOnlySkippedAtTheStartOfTheFile)
{
    // Mid-stream an "ID3" is just bytes; the search must not jump by a size read from audio data.
    const QByteArray bytes = junk(10) + makeId3v2Tag(20) + makeFrame(kSpec);
    const SearchResult r = search(bytes, 0, 5);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.pos, 10 + 10 + 4); // the first 0xFF 0xFB of the tag's body
}

} // namespace
