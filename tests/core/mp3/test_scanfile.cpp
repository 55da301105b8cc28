#include "core/mp3/id3v1tag.h"
#include "core/mp3/mp3fileinfo.h"

#include "mp3frames.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace sonavell;
using namespace sonavell::test;

namespace {

void expectReset(const Mp3FileInfo &info)
{
    EXPECT_TRUE(info.path.isEmpty());
    EXPECT_EQ(info.flags, 0u);
    EXPECT_TRUE(info.title.isEmpty() && info.artist.isEmpty() && info.album.isEmpty() && info.comment.isEmpty()
                && info.year.isEmpty());
    EXPECT_EQ(info.track, 0);
    EXPECT_EQ(info.genre, 255);
    EXPECT_EQ(info.frameCount, 0u);
    EXPECT_EQ(info.durationSeconds, 0);
    EXPECT_EQ(info.version, MpegVersion::Reserved);
    EXPECT_EQ(info.layer, 0);
    EXPECT_EQ(info.bitrateKbps, 0);
    EXPECT_EQ(info.sampleRate, 0);
    EXPECT_EQ(info.channelMode + info.emphasis + info.copyright + info.original + info.protectionBit, 0);
}

TEST(ScanFile, FreshRecordAndUnopenableFileStayReset)
{
    expectReset(Mp3FileInfo());
    TempFolder folder;
    Mp3FileInfo info;
    info.title = QStringLiteral("stale");
    EXPECT_FALSE(info.scanFile(folder.file(QStringLiteral("missing.mp3")), true));
    expectReset(info);
    expectReset(Mp3FileInfo(folder.file(QStringLiteral("missing.mp3"))));
}

TEST(ScanFile, ReadsFirstHeaderFields)
{
    TempFolder folder;
    FrameSpec spec{MpegVersion::Mpeg2, 3, 8, 0, 0};
    spec.channelMode = 3;
    spec.copyright = 1;
    spec.original = 1;
    spec.emphasis = 1;
    spec.crc = true;
    const QString path = folder.file(QStringLiteral("a.mp3"));
    ASSERT_TRUE(writeAll(path, makeStream(spec, 10)));

    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(path, false));
    EXPECT_EQ(info.path, path);
    EXPECT_EQ(info.flags, unsigned(Mp3FileInfo::HasHeader));
    EXPECT_EQ(info.frameCount, 1u);
    EXPECT_EQ(info.version, MpegVersion::Mpeg2);
    EXPECT_EQ(info.layer, 3);
    EXPECT_EQ(info.protectionBit, 0);
    EXPECT_EQ(info.bitrateKbps, 64);
    EXPECT_EQ(info.sampleRate, 22050);
    EXPECT_EQ(info.channelMode, 3);
    EXPECT_EQ(info.copyright, 1);
    EXPECT_EQ(info.original, 1);
    EXPECT_EQ(info.emphasis, 1);
    EXPECT_EQ(info.durationSeconds, 0); // not asked for
}

TEST(ScanFile, MediaLengthGivesWholeSecondsTruncated)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("a.mp3"));
    // 1000 frames of 1152 samples at 44100 Hz: 26.12 s.
    ASSERT_TRUE(writeAll(path, makeStream(FrameSpec{}, 1000)));
    const Mp3FileInfo info(path);
    EXPECT_EQ(info.durationSeconds, 26);
    EXPECT_TRUE(info.hasHeader());
}

TEST(ScanFile, NoSyncStillReadsTagAndSucceeds)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("text.mp3"));
    Mp3FileInfo tagged;
    tagged.title = QStringLiteral("Only a tag");
    const Id3v1Tag tag = buildId3v1Tag(tagged);
    ASSERT_TRUE(writeAll(path, QByteArray(20000, 'a') + QByteArray(reinterpret_cast<const char *>(tag.data()), 128)));

    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(path, true));
    EXPECT_EQ(info.flags, unsigned(Mp3FileInfo::HasTag));
    EXPECT_EQ(info.title, QStringLiteral("Only a tag"));
    EXPECT_EQ(info.bitrateKbps, 0);
    EXPECT_EQ(info.durationSeconds, 0);
    EXPECT_EQ(info.version, MpegVersion::Reserved);
}

TEST(ScanFile, LargeId3v2TagDoesNotHideTheHeader)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("cover.mp3"));
    ASSERT_TRUE(writeAll(path, makeId3v2Tag(200 * 1024) + makeStream(FrameSpec{}, 2000)));
    const Mp3FileInfo info(path);
    EXPECT_TRUE(info.hasHeader());
    EXPECT_EQ(info.bitrateKbps, 128);
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.durationSeconds, 52); // 2000 * 1152 / 44100 = 52.2 s
}

TEST(ScanFile, FalseSyncInLeadingDataIsNotTakenForTheHeader)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("junk.mp3"));
    QByteArray lead(300, 'x');
    lead[100] = char(0xFF);
    lead[101] = char(0xFF); // MPEG-1 Layer I
    lead[102] = char(0x10); // 32 kbit/s, 44100 Hz: a 32-byte "frame"
    ASSERT_TRUE(writeAll(path, lead + makeStream(FrameSpec{}, 100)));

    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(path, true));
    // A lone chance header is no run of frames: the header and the length are the real stream's.
    EXPECT_EQ(info.layer, 3);
    EXPECT_EQ(info.bitrateKbps, 128);
    EXPECT_EQ(info.durationSeconds, 2); // 100 frames = 2.6 s
}

TEST(ScanFile, ReservedRateAndForbiddenBitrateLeaveNoHeader)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("odd.mp3"));
    for (const char *header : {"FFFB9C00", "FFFBF000"}) {
        ASSERT_TRUE(writeAll(path, QByteArray::fromHex(header) + QByteArray(10, 0)));
        Mp3FileInfo info;
        ASSERT_TRUE(info.scanFile(path, true));
        EXPECT_FALSE(info.hasHeader()) << header;
        EXPECT_EQ(info.frameCount, 0u);
        EXPECT_EQ(info.layer, 0);
    }
}

TEST(FormatMinutesSeconds, MinutesAreNotWrappedIntoHours)
{
    const std::pair<int, const char *> cases[] = {{0, "0:00"},  {59, "0:59"},    {61, "1:01"},
                                                  {75, "1:15"}, {3600, "60:00"}, {-5, "0:00"}};
    for (const auto &[seconds, text] : cases)
        EXPECT_EQ(formatMinutesSeconds(seconds), QLatin1String(text)) << seconds;
}

} // namespace
