#include "core/mp3/id3v1tag.h"
#include "core/mp3/mp3fileinfo.h"

#include "mp3frames.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace sonavell;
using namespace sonavell::test;

namespace {

// The 128 bytes a tag must have, built field by field from the layout.
QByteArray expectedTag(const QByteArray &title, const QByteArray &artist, const QByteArray &album,
                       const QByteArray &year, const QByteArray &comment, int byte125, int byte126, int genre)
{
    QByteArray tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, title.size(), title);
    tag.replace(33, artist.size(), artist);
    tag.replace(63, album.size(), album);
    tag.replace(93, year.size(), year);
    tag.replace(97, comment.size(), comment);
    tag[125] = char(byte125);
    tag[126] = char(byte126);
    tag[127] = char(genre);
    return tag;
}

QByteArray bytesOf(const Id3v1Tag &tag)
{
    return QByteArray(reinterpret_cast<const char *>(tag.data()), kId3v1TagSize);
}

class Id3v1 : public testing::Test
{
protected:
    Mp3FileInfo sampleRecord() const
    {
        Mp3FileInfo info;
        info.title = QStringLiteral("Title");
        info.artist = QStringLiteral("Artist");
        info.album = QStringLiteral("Album");
        info.year = QStringLiteral("2024");
        info.comment = QStringLiteral("Comment");
        info.track = 7;
        info.genre = 17;
        return info;
    }

    TempFolder m_folder;
    QString m_path = m_folder.file(QStringLiteral("song.mp3"));
    QByteArray m_audio = makeStream(FrameSpec{}, 20);
};

TEST_F(Id3v1, AppendWriteAgainAndRemoveByteForByte)
{
    ASSERT_TRUE(writeAll(m_path, m_audio));
    Mp3FileInfo info = sampleRecord();
    ASSERT_TRUE(info.writeTag(m_path, false));
    const QByteArray tag = expectedTag("Title", "Artist", "Album", "2024", "Comment", 0, 7, 17);
    EXPECT_EQ(readAll(m_path), m_audio + tag);

    // Writing again replaces the tag in place: no second tag, audio untouched.
    info.title = QStringLiteral("New");
    info.track = 0;
    ASSERT_TRUE(info.writeTag(QString(), false) == false); // the record has no path of its own yet
    ASSERT_TRUE(info.writeTag(m_path, false));
    EXPECT_EQ(readAll(m_path), m_audio + expectedTag("New", "Artist", "Album", "2024", "Comment", 0, 0, 17));

    // Removing restores the original bytes; removing again changes nothing.
    ASSERT_TRUE(info.writeTag(m_path, true));
    EXPECT_EQ(readAll(m_path), m_audio);
    ASSERT_TRUE(info.writeTag(m_path, true));
    EXPECT_EQ(readAll(m_path), m_audio);
}

TEST_F(Id3v1, ScanReadsBackWhatWasWritten)
{
    ASSERT_TRUE(writeAll(m_path, m_audio));
    ASSERT_TRUE(sampleRecord().writeTag(m_path, false));
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(m_path, false));
    EXPECT_EQ(info.flags, unsigned(Mp3FileInfo::HasTag | Mp3FileInfo::HasHeader));
    EXPECT_EQ(info.title, QStringLiteral("Title"));
    EXPECT_EQ(info.artist, QStringLiteral("Artist"));
    EXPECT_EQ(info.album, QStringLiteral("Album"));
    EXPECT_EQ(info.year, QStringLiteral("2024"));
    EXPECT_EQ(info.comment, QStringLiteral("Comment"));
    EXPECT_EQ(info.track, 7);
    EXPECT_EQ(info.genre, 17);
    // The record's own path is used when none is given.
    info.album = QStringLiteral("Other");
    ASSERT_TRUE(info.writeTag(QString(), false));
    EXPECT_EQ(readAll(m_path).mid(m_audio.size() + 63, 6), QByteArray("Other\0", 6));
}

TEST_F(Id3v1, FileWithoutTagHasEmptyFields)
{
    ASSERT_TRUE(writeAll(m_path, m_audio));
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(m_path, false));
    EXPECT_FALSE(info.hasTag());
    EXPECT_EQ(info.genre, 255);
    EXPECT_EQ(info.track, 0);
    EXPECT_TRUE(info.title.isEmpty() && info.artist.isEmpty() && info.album.isEmpty() && info.comment.isEmpty()
                && info.year.isEmpty());
}

TEST_F(Id3v1, FileThatIsOnlyATag)
{
    const QByteArray tag = expectedTag("T", "A", "B", "1999", "C", 0, 3, 147);
    ASSERT_TRUE(writeAll(m_path, tag));
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(m_path, true));
    EXPECT_TRUE(info.hasTag());
    EXPECT_FALSE(info.hasHeader());
    EXPECT_EQ(info.track, 3);
    EXPECT_EQ(genreName(info.genre), QStringLiteral("SynthPop"));
    ASSERT_TRUE(info.writeTag(m_path, true));
    EXPECT_EQ(QFile(m_path).size(), 0);
}

TEST_F(Id3v1, ShortFileGetsATagAppended)
{
    ASSERT_TRUE(writeAll(m_path, QByteArray("TAG but short")));
    ASSERT_TRUE(sampleRecord().writeTag(m_path, false));
    EXPECT_EQ(readAll(m_path).size(), 13 + 128);
    EXPECT_TRUE(readAll(m_path).startsWith("TAG but short"));
}

TEST_F(Id3v1, WritingToAMissingFileCreatesATagOnlyFile)
{
    ASSERT_TRUE(sampleRecord().writeTag(m_path, false));
    EXPECT_EQ(readAll(m_path), expectedTag("Title", "Artist", "Album", "2024", "Comment", 0, 7, 17));
}

TEST_F(Id3v1, RemovingFromAMissingFileCreatesNothing)
{
    EXPECT_FALSE(sampleRecord().writeTag(m_path, true));
    EXPECT_FALSE(QFile::exists(m_path));
}

TEST_F(Id3v1, UnwritablePlacesFailWithoutTouchingAudio)
{
    EXPECT_FALSE(sampleRecord().writeTag(m_folder.file(QStringLiteral("missing/dir/song.mp3")), false));
    EXPECT_FALSE(QFile::exists(m_folder.file(QStringLiteral("missing"))));
    EXPECT_FALSE(sampleRecord().writeTag(m_folder.path(), false)); // a folder, not a file

    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    ASSERT_TRUE(writeAll(m_path, m_audio));
    QFile::setPermissions(m_path, QFile::ReadOwner);
    EXPECT_FALSE(sampleRecord().writeTag(m_path, false));
    EXPECT_FALSE(sampleRecord().writeTag(m_path, true));
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(readAll(m_path), m_audio);

    const QString lockedFolder = m_folder.file(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(lockedFolder));
    QFile::setPermissions(lockedFolder, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(sampleRecord().writeTag(lockedFolder + QStringLiteral("/new.mp3"), false));
    QFile::setPermissions(lockedFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

struct TrackCase
{
    const char *name;
    int track;
    int byte125;
    int byte126;
    int commentBytes;
    int trackReadBack;
};

class Id3v1Track : public testing::TestWithParam<TrackCase>
{
};

TEST_P(Id3v1Track, CommentWidthFollowsTheTrackNumber)
{
    const TrackCase &c = GetParam();
    Mp3FileInfo info;
    info.comment = QStringLiteral("abcdefghijklmnopqrstuvwxyz1234"); // 30 characters
    info.track = c.track;
    info.genre = 5;
    const QByteArray tag = bytesOf(buildId3v1Tag(info));
    EXPECT_EQ(tag, expectedTag("", "", "", "", QByteArray("abcdefghijklmnopqrstuvwxyz1234").left(c.commentBytes),
                               c.byte125, c.byte126, 5));

    Mp3FileInfo back;
    ASSERT_TRUE(readId3v1Tag(reinterpret_cast<const unsigned char *>(tag.constData()), tag.size(), back));
    EXPECT_EQ(back.comment, info.comment.left(c.commentBytes));
    EXPECT_EQ(back.track, c.trackReadBack);
    EXPECT_EQ(back.genre, 5);
}

INSTANTIATE_TEST_SUITE_P(Tracks, Id3v1Track,
                         testing::Values(TrackCase{"None", 0, '3', '4', 30, 0}, TrackCase{"One", 1, 0, 1, 28, 1},
                                         TrackCase{"Clamped300", 300, 0, 255, 28, 255},
                                         TrackCase{"NegativeWrittenAsZero", -1, 0, 0, 28, 0}),
                         [](const testing::TestParamInfo<TrackCase> &info) { return std::string(info.param.name); });

TEST(Id3v1Fields, TextsAreCutToTheirWidthsInLatin1)
{
    Mp3FileInfo info;
    info.title = QStringLiteral("1234567890123456789012345678901"); // 31 characters
    info.artist = QString::fromUtf8("Caf\u00e9 \u00ff\u20ac");            // é and ÿ are Latin-1, € is not
    info.album = QStringLiteral("exactly thirty characters long");
    info.year = QStringLiteral("19999");
    info.genre = 300;
    const QByteArray tag = bytesOf(buildId3v1Tag(info));
    EXPECT_EQ(tag.mid(3, 30), QByteArray("123456789012345678901234567890"));
    EXPECT_EQ(tag.mid(33, 8), QByteArray("Caf\xE9 \xFF?\0", 8));
    EXPECT_EQ(tag.mid(93, 4), QByteArray("1999"));
    EXPECT_EQ(static_cast<unsigned char>(tag[127]), 300 & 0xFF);

    Mp3FileInfo back;
    ASSERT_TRUE(readId3v1Tag(reinterpret_cast<const unsigned char *>(tag.constData()), tag.size(), back));
    EXPECT_EQ(back.title, info.title.left(30));
    EXPECT_EQ(back.artist, QString::fromUtf8("Caf\u00e9 \u00ff?"));
    EXPECT_EQ(back.album, info.album); // a full field has no terminating zero
    EXPECT_EQ(back.year, QStringLiteral("1999"));
}

TEST(Id3v1Fields, NotATagLeavesTheRecordAlone)
{
    Mp3FileInfo info;
    QByteArray bytes = expectedTag("T", "", "", "", "", 0, 0, 1);
    EXPECT_FALSE(readId3v1Tag(reinterpret_cast<const unsigned char *>(bytes.constData()), 127, info));
    bytes[0] = 't';
    EXPECT_FALSE(readId3v1Tag(reinterpret_cast<const unsigned char *>(bytes.constData()), 128, info));
    EXPECT_FALSE(info.hasTag());
    EXPECT_EQ(info.genre, 255);
}

TEST(Genres, TableHas148NamesInTagOrder)
{
    EXPECT_EQ(genreName(0), QStringLiteral("Blues"));
    EXPECT_EQ(genreName(67), QStringLiteral("Psychadelic"));
    EXPECT_EQ(genreName(118), QStringLiteral("Rhytmic Soul"));
    EXPECT_EQ(genreName(147), QStringLiteral("SynthPop"));
    for (int index : {-1, 148, 255})
        EXPECT_TRUE(genreName(index).isEmpty()) << index;
    for (int index = 0; index < kGenreCount; ++index)
        EXPECT_FALSE(genreName(index).isEmpty()) << index;
}

} // namespace
