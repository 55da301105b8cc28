#include "clitesting.h"

#include "core/mp3/medialength.h"
#include "core/mp3/mp3fileinfo.h"

#include <QFile>

#include <sys/stat.h>

namespace sonavell {
namespace {

using test::CliTest;

class InfoCommandTest : public CliTest
{
};

TEST_F(InfoCommandTest, PrintsEveryFieldOfTheRecordAndTheLength)
{
    const QString mp3 = file(QStringLiteral("tone.mp3"));
    ASSERT_TRUE(test::makeToneMp3(mp3, 2.0, 22050, 1, 96));
    Mp3FileInfo tag;
    tag.title = QStringLiteral("Song");
    tag.artist = QStringLiteral("Band");
    tag.album = QStringLiteral("Record");
    tag.comment = QStringLiteral("note");
    tag.year = QStringLiteral("1999");
    tag.track = 7;
    tag.genre = 17;
    ASSERT_TRUE(tag.writeTag(mp3, false));

    ASSERT_EQ(run({QStringLiteral("info"), mp3}), 0) << err.toStdString();
    const test::InfoLines lines = test::parseInfo(out);
    QStringList names;
    for (const auto &line : lines)
        names.append(line.first);
    EXPECT_EQ(
        names.join(QLatin1Char(' ')),
        QStringLiteral("path flags artist title album comment year track genre frameCount durationSeconds "
                       "version layer protectionBit bitrateKbps sampleRate channelMode emphasis copyright "
                       "original lengthMs"));

    const Mp3FileInfo info(mp3);
    const int lengthMs = queryMediaLength(mp3);
    const std::vector<std::pair<const char *, QString>> expected = {
        {"path", mp3},
        {"flags", QStringLiteral("3")},
        {"artist", QStringLiteral("Band")},
        {"title", QStringLiteral("Song")},
        {"album", QStringLiteral("Record")},
        {"comment", QStringLiteral("note")},
        {"year", QStringLiteral("1999")},
        {"track", QStringLiteral("7")},
        {"genre", QStringLiteral("17")},
        {"frameCount", QString::number(info.frameCount)},
        {"durationSeconds", QStringLiteral("2")},
        {"version", QStringLiteral("2")}, // MPEG-2 at 22050 Hz
        {"layer", QStringLiteral("3")},
        {"protectionBit", QString::number(info.protectionBit)},
        {"bitrateKbps", QStringLiteral("96")},
        {"sampleRate", QStringLiteral("22050")},
        {"channelMode", QStringLiteral("3")}, // single channel
        {"emphasis", QString::number(info.emphasis)},
        {"copyright", QString::number(info.copyright)},
        {"original", QString::number(info.original)},
        {"lengthMs", QString::number(lengthMs)},
    };
    for (const auto &[name, value] : expected)
        EXPECT_EQ(test::infoValue(lines, QString::fromLatin1(name)), value) << name;
    // A 2 s tone, give or take the encoder's padding frames (26 ms each at 22050 Hz).
    EXPECT_GE(lengthMs, 2000);
    EXPECT_LE(lengthMs, 2110);
}

TEST_F(InfoCommandTest, FileWithoutTagOrFramesShowsTheResetValues)
{
    const QString text = file(QStringLiteral("notes.txt"));
    ASSERT_TRUE(test::writeAll(text, QByteArray(300, 'a')));
    ASSERT_EQ(run({QStringLiteral("info"), text}), 0) << err.toStdString();
    const test::InfoLines lines = test::parseInfo(out);
    EXPECT_EQ(test::infoValue(lines, QStringLiteral("flags")), QStringLiteral("0"));
    EXPECT_EQ(test::infoValue(lines, QStringLiteral("genre")), QStringLiteral("255"));
    EXPECT_EQ(test::infoValue(lines, QStringLiteral("bitrateKbps")), QStringLiteral("0"));
    EXPECT_EQ(test::infoValue(lines, QStringLiteral("durationSeconds")), QStringLiteral("0"));
}

TEST_F(InfoCommandTest, BlankLineBetweenFiles)
{
    const QString first = file(QStringLiteral("first.mp3"));
    const QString second = file(QStringLiteral("second.mp3"));
    ASSERT_TRUE(test::makeToneMp3(first, 1.0, 44100, 2, 64));
    ASSERT_TRUE(test::makeToneMp3(second, 2.0));
    ASSERT_EQ(run({QStringLiteral("info"), first, second}), 0) << err.toStdString();
    const QStringList blocks = out.split(QStringLiteral("\n\n"));
    ASSERT_EQ(blocks.size(), 2) << out.toStdString();
    EXPECT_FALSE(out.endsWith(QStringLiteral("\n\n")));
    const test::InfoLines a = test::parseInfo(blocks[0]);
    const test::InfoLines b = test::parseInfo(blocks[1]);
    EXPECT_EQ(test::infoValue(a, QStringLiteral("path")), first);
    EXPECT_EQ(test::infoValue(a, QStringLiteral("bitrateKbps")), QStringLiteral("64"));
    EXPECT_EQ(test::infoValue(a, QStringLiteral("durationSeconds")), QStringLiteral("1"));
    EXPECT_EQ(test::infoValue(b, QStringLiteral("path")), second);
    EXPECT_EQ(test::infoValue(b, QStringLiteral("bitrateKbps")), QStringLiteral("128"));
    EXPECT_EQ(test::infoValue(b, QStringLiteral("durationSeconds")), QStringLiteral("2"));
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

TEST_F(InfoCommandTest, MissingFileFailsNamingItAndTheOthersArePrinted)
{
    const QString present = file(QStringLiteral("present.mp3"));
    const QString missing = file(QStringLiteral("missing.mp3"));
    ASSERT_TRUE(test::makeToneMp3(present, 1.0));
    EXPECT_EQ(run({QStringLiteral("info"), missing, present}), 1);
    EXPECT_TRUE(err.contains(missing)) << err.toStdString();
    EXPECT_EQ(test::infoValue(test::parseInfo(out), QStringLiteral("path")), present);
    EXPECT_FALSE(out.contains(missing));
}

TEST_F(InfoCommandTest, FolderIsNotAFile)
{
    EXPECT_EQ(run({QStringLiteral("info"), folder.path()}), 1);
    EXPECT_TRUE(err.contains(folder.path() + QStringLiteral(" is a folder, not a regular file."))) << err.toStdString();
}

// A named pipe with no writer would block an ordinary open for ever: it is refused at once.
TEST_F(InfoCommandTest, NamedPipeIsRefusedWithoutBlocking)
{
    const QString fifo = file(QStringLiteral("fifo.mp3"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(run({QStringLiteral("info"), fifo}), 1);
    EXPECT_TRUE(err.contains(fifo + QStringLiteral(" is a named pipe, not a regular file."))) << err.toStdString();
}

TEST_F(InfoCommandTest, ControlCharactersInTagTextsKeepOneFieldPerLine)
{
    const QString mp3 = file(QStringLiteral("odd.mp3"));
    ASSERT_TRUE(test::makeToneMp3(mp3, 1.0));
    Mp3FileInfo tag;
    tag.title = QStringLiteral("two\nlines");
    tag.artist = QStringLiteral("back\\slash");
    tag.album = QStringLiteral("Caf\u00e9");
    ASSERT_TRUE(tag.writeTag(mp3, false));
    ASSERT_EQ(run({QStringLiteral("info"), mp3}), 0) << err.toStdString();
    const test::InfoLines lines = test::parseInfo(out);
    EXPECT_EQ(lines.size(), 21u);
    EXPECT_EQ(test::infoValue(lines, QStringLiteral("title")), QStringLiteral("two\\x0alines"));
    EXPECT_EQ(test::infoValue(lines, QStringLiteral("artist")), QStringLiteral("back\\\\slash"));
    EXPECT_EQ(test::infoValue(lines, QStringLiteral("album")),
              QStringLiteral("Caf\u00e9")); // Latin-1 on disk, UTF-8 out
}

TEST_F(InfoCommandTest, NoFileIsAUsageError)
{
    EXPECT_EQ(run({QStringLiteral("info")}), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("usage:"))) << err.toStdString();
}

} // namespace
} // namespace sonavell
