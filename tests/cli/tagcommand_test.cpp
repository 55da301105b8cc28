#include "clitesting.h"

#include "core/mp3/id3v1tag.h"
#include "core/mp3/mp3fileinfo.h"

#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

namespace sonavell {
namespace {

using test::CliTest;

class TagCommandTest : public CliTest
{
protected:
    void SetUp() override
    {
        mp3 = file(QStringLiteral("song.mp3"));
        ASSERT_TRUE(test::makeToneMp3(mp3, 0.5));
        audio = test::readAll(mp3);
    }
    // Writes a tag with every field set, as another tagger would have left it.
    void writeFullTag()
    {
        Mp3FileInfo tag;
        tag.title = QStringLiteral("Old Title");
        tag.artist = QStringLiteral("Old Artist");
        tag.album = QStringLiteral("Old Album");
        tag.year = QStringLiteral("1990");
        tag.comment = QStringLiteral("old comment");
        tag.track = 4;
        tag.genre = 8;
        ASSERT_TRUE(tag.writeTag(mp3, false));
        tagged = test::readAll(mp3);
    }
    QStringList tagArgs(QStringList options) const
    {
        options.prepend(QStringLiteral("tag"));
        options.append(mp3);
        return options;
    }

    QString mp3;
    QByteArray audio;
    QByteArray tagged;
};

TEST_F(TagCommandTest, GivenFieldsAreSetAndTheOthersKept)
{
    writeFullTag();
    ASSERT_EQ(run(tagArgs({QStringLiteral("--title"), QStringLiteral("New Title"), QStringLiteral("--year"),
                           QStringLiteral("2024")})),
              0)
        << err.toStdString();
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(mp3, false));
    EXPECT_TRUE(info.hasTag());
    EXPECT_EQ(info.title, QStringLiteral("New Title"));
    EXPECT_EQ(info.year, QStringLiteral("2024"));
    EXPECT_EQ(info.artist, QStringLiteral("Old Artist"));
    EXPECT_EQ(info.album, QStringLiteral("Old Album"));
    EXPECT_EQ(info.comment, QStringLiteral("old comment"));
    EXPECT_EQ(info.track, 4);
    EXPECT_EQ(info.genre, 8);
    // The tag was replaced, not appended, and the audio before it is untouched.
    const QByteArray now = test::readAll(mp3);
    EXPECT_EQ(now.size(), audio.size() + kId3v1TagSize);
    EXPECT_EQ(now.left(audio.size()), audio);
}

TEST_F(TagCommandTest, EveryFieldOnAnUntaggedFile)
{
    ASSERT_EQ(run(tagArgs({QStringLiteral("--title"), QStringLiteral("T"), QStringLiteral("--artist"),
                           QStringLiteral("A"), QStringLiteral("--album"), QStringLiteral("B"),
                           QStringLiteral("--year"), QStringLiteral("2001"), QStringLiteral("--comment"),
                           QStringLiteral("C"), QStringLiteral("--track"), QStringLiteral("12"),
                           QStringLiteral("--genre"), QStringLiteral("Jazz")})),
              0)
        << err.toStdString();
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(mp3, false));
    EXPECT_EQ(info.title, QStringLiteral("T"));
    EXPECT_EQ(info.artist, QStringLiteral("A"));
    EXPECT_EQ(info.album, QStringLiteral("B"));
    EXPECT_EQ(info.year, QStringLiteral("2001"));
    EXPECT_EQ(info.comment, QStringLiteral("C"));
    EXPECT_EQ(info.track, 12);
    EXPECT_EQ(info.genre, 8);
    EXPECT_EQ(test::readAll(mp3).left(audio.size()), audio);
}

TEST_F(TagCommandTest, OneFieldOnAnUntaggedFileLeavesTheRestEmpty)
{
    ASSERT_EQ(run(tagArgs({QStringLiteral("--artist"), QStringLiteral("Someone")})), 0) << err.toStdString();
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(mp3, false));
    EXPECT_EQ(info.artist, QStringLiteral("Someone"));
    EXPECT_EQ(info.title, QString());
    EXPECT_EQ(info.track, 0);
    EXPECT_EQ(info.genre, kNoGenre);
}

TEST_F(TagCommandTest, RemoveRestoresTheAudioBytes)
{
    writeFullTag();
    ASSERT_EQ(run(tagArgs({QStringLiteral("--remove")})), 0) << err.toStdString();
    EXPECT_EQ(test::readAll(mp3), audio);
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(mp3, false));
    EXPECT_FALSE(info.hasTag());
    // Again, on a file that has none: nothing changes.
    ASSERT_EQ(run(tagArgs({QStringLiteral("--remove")})), 0) << err.toStdString();
    EXPECT_EQ(test::readAll(mp3), audio);
}

TEST_F(TagCommandTest, Latin1TextIsStoredAsLatin1Bytes)
{
    ASSERT_EQ(run(tagArgs({QStringLiteral("--title"), QStringLiteral("Caf\u00e9 \u00dcber")})), 0)
        << err.toStdString();
    const QByteArray bytes = test::readAll(mp3);
    // The title field: one byte per character, then zero padding.
    EXPECT_EQ(bytes.mid(bytes.size() - kId3v1TagSize + 3, 11), QByteArray("Caf\xe9 \xdc"
                                                                          "ber\0\0",
                                                                          11));
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(mp3, false));
    EXPECT_EQ(info.title, QStringLiteral("Caf\u00e9 \u00dcber"));
}

TEST_F(TagCommandTest, FullWidthTextsFit)
{
    const QString thirty(30, QLatin1Char('x'));
    ASSERT_EQ(run(tagArgs({QStringLiteral("--title"), thirty, QStringLiteral("--comment"), thirty,
                           QStringLiteral("--track"), QStringLiteral("0")})),
              0)
        << err.toStdString();
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(mp3, false));
    EXPECT_EQ(info.title, thirty);
    EXPECT_EQ(info.comment, thirty);
}

struct GenreCase
{
    const char *name;
    const char *argument;
    int genre;
};

void PrintTo(const GenreCase &c, std::ostream *out)
{
    *out << c.name;
}

class TagGenre : public TagCommandTest, public testing::WithParamInterface<GenreCase>
{
};

TEST_P(TagGenre, IsStoredAsItsNumber)
{
    writeFullTag();
    ASSERT_EQ(run(tagArgs({QStringLiteral("--genre"), QString::fromUtf8(GetParam().argument)})), 0)
        << err.toStdString();
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(mp3, false));
    EXPECT_EQ(info.genre, GetParam().genre);
    EXPECT_EQ(info.title, QStringLiteral("Old Title"));
}

INSTANTIATE_TEST_SUITE_P(
    TagCommand, TagGenre,
    testing::Values(GenreCase{"ByName", "Rock", 17}, GenreCase{"ByNameInAnyCase", "synthpop", 147},
                    GenreCase{"NameWithSpaces", "Drum & Bass", 127}, GenreCase{"ByNumber", "0", 0},
                    GenreCase{"LastInTable", "147", 147}, GenreCase{"NumberWithoutName", "200", 200},
                    GenreCase{"NoneByNumber", "255", 255}, GenreCase{"NoneByWord", "none", 255}),
    [](const auto &info) { return std::string(info.param.name); });

struct RefusedCase
{
    const char *name;
    QStringList options;
};

void PrintTo(const RefusedCase &c, std::ostream *out)
{
    *out << c.name;
}

class TagRefused : public TagCommandTest, public testing::WithParamInterface<RefusedCase>
{
};

TEST_P(TagRefused, IsAUsageErrorAndTheFileIsUnchanged)
{
    writeFullTag();
    EXPECT_EQ(run(tagArgs(GetParam().options)), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("usage:"))) << err.toStdString();
    EXPECT_EQ(test::readAll(mp3), tagged);
}

INSTANTIATE_TEST_SUITE_P(
    TagCommand, TagRefused,
    testing::Values(
        RefusedCase{"UnknownGenreName", {QStringLiteral("--genre"), QStringLiteral("Polka Dots")}},
        RefusedCase{"GenreNumberTooBig", {QStringLiteral("--genre"), QStringLiteral("256")}},
        RefusedCase{"NegativeGenre", {QStringLiteral("--genre"), QStringLiteral("-1")}},
        RefusedCase{"TitleOverThirtyBytes", {QStringLiteral("--title"), QString(31, QLatin1Char('t'))}},
        RefusedCase{"ArtistOverThirtyBytes", {QStringLiteral("--artist"), QString(31, QLatin1Char('a'))}},
        RefusedCase{"AlbumOverThirtyBytes", {QStringLiteral("--album"), QString(31, QLatin1Char('b'))}},
        RefusedCase{"CommentOverThirtyBytes", {QStringLiteral("--comment"), QString(31, QLatin1Char('c'))}},
        RefusedCase{"YearOverFourBytes", {QStringLiteral("--year"), QStringLiteral("19999")}},
        RefusedCase{"OutsideLatin1", {QStringLiteral("--title"), QStringLiteral("\u20acuro")}},
        RefusedCase{"OutsideTheBasicPlane", {QStringLiteral("--artist"), QStringLiteral("\U0001F3B5")}},
        RefusedCase{"CommentTooLongBesideTrack",
                    {QStringLiteral("--comment"), QString(29, QLatin1Char('c')), QStringLiteral("--track"),
                     QStringLiteral("1")}},
        RefusedCase{"TrackTooBig", {QStringLiteral("--track"), QStringLiteral("256")}},
        RefusedCase{"TrackNotANumber", {QStringLiteral("--track"), QStringLiteral("two")}},
        RefusedCase{"RemoveWithAField",
                    {QStringLiteral("--remove"), QStringLiteral("--title"), QStringLiteral("x")}},
        RefusedCase{"NothingToChange", {}},
        RefusedCase{"UnknownOption", {QStringLiteral("--composer"), QStringLiteral("x")}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(TagCommandTest, KeptCommentTooLongForANewTrackLeavesTheFile)
{
    Mp3FileInfo tag;
    tag.comment = QString(30, QLatin1Char('c'));
    ASSERT_TRUE(tag.writeTag(mp3, false));
    const QByteArray before = test::readAll(mp3);
    EXPECT_EQ(run(tagArgs({QStringLiteral("--track"), QStringLiteral("2")})), 1);
    EXPECT_TRUE(err.contains(mp3)) << err.toStdString();
    EXPECT_EQ(test::readAll(mp3), before);
}

TEST_F(TagCommandTest, MissingFileFailsNamingItAndIsNotCreated)
{
    const QString missing = file(QStringLiteral("missing.mp3"));
    EXPECT_EQ(run({QStringLiteral("tag"), QStringLiteral("--title"), QStringLiteral("x"), missing, mp3}), 1);
    EXPECT_TRUE(err.contains(missing)) << err.toStdString();
    EXPECT_FALSE(QFile::exists(missing));
    // The other file is still tagged.
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(mp3, false));
    EXPECT_EQ(info.title, QStringLiteral("x"));
}

TEST_F(TagCommandTest, ReadOnlyFileFailsNamingIt)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes to read-only files";
    ASSERT_TRUE(QFile::setPermissions(mp3, QFile::ReadOwner));
    EXPECT_EQ(run(tagArgs({QStringLiteral("--title"), QStringLiteral("x")})), 1);
    EXPECT_TRUE(err.contains(mp3)) << err.toStdString();
    EXPECT_EQ(test::readAll(mp3), audio);
}

class GenresCommandTest : public CliTest
{
};

TEST_F(GenresCommandTest, PrintsTheNumberedTable)
{
    ASSERT_EQ(run({QStringLiteral("genres")}), 0) << err.toStdString();
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), kGenreCount);
    static const QRegularExpression line(QStringLiteral("^ *(\\d+)  (.+)$"));
    for (int index = 0; index < kGenreCount; ++index) {
        const QRegularExpressionMatch match = line.match(lines[index]);
        ASSERT_TRUE(match.hasMatch()) << lines[index].toStdString();
        EXPECT_EQ(match.captured(1).toInt(), index);
        EXPECT_EQ(match.captured(2), genreName(index));
    }
    EXPECT_EQ(lines.first().trimmed(), QStringLiteral("0  Blues"));
    EXPECT_EQ(lines.last(), QStringLiteral("147  SynthPop"));
}

TEST_F(GenresCommandTest, ArgumentsAreAUsageError)
{
    EXPECT_EQ(run({QStringLiteral("genres"), QStringLiteral("rock")}), 2);
}

} // namespace
} // namespace sonavell
