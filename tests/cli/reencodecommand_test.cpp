#include "clitesting.h"

#include "decodedmp3.h"
#include "core/mp3/mp3fileinfo.h"

#include <QFile>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace sonavell {
namespace {

using test::CliTest;

class ReencodeCommandTest : public CliTest
{
protected:
    void SetUp() override
    {
        mp3 = file(QStringLiteral("tone.mp3"));
        ASSERT_TRUE(test::makeToneMp3(mp3, 2.0));
    }

    QString mp3;
};

TEST_F(ReencodeCommandTest, ChangesTheBitRateAndKeepsLengthAndTag)
{
    Mp3FileInfo tag;
    tag.title = QStringLiteral("Kept");
    tag.artist = QStringLiteral("Artist");
    tag.track = 3;
    tag.genre = 17;
    ASSERT_TRUE(tag.writeTag(mp3, false));
    const test::DecodedMp3 before = test::decodeMp3File(mp3);

    ASSERT_EQ(run({QStringLiteral("reencode"), QStringLiteral("--bitrate"), QStringLiteral("64"), mp3}), 0)
        << err.toStdString();
    const test::DecodedMp3 after = test::decodeMp3File(mp3);
    EXPECT_EQ(after.bitRates, (std::set<int>{64}));
    EXPECT_EQ(after.sampleRate, 44100);
    EXPECT_EQ(after.channels, 2);
    // Decoding and encoding again adds at most the encoder's delay and padding: a frame or two.
    EXPECT_NEAR(after.seconds(), before.seconds(), 0.06);
    EXPECT_NEAR(after.level(), before.level(), before.level() * 0.1);
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(mp3, false));
    EXPECT_EQ(info.bitrateKbps, 64);
    EXPECT_EQ(info.title, QStringLiteral("Kept"));
    EXPECT_EQ(info.artist, QStringLiteral("Artist"));
    EXPECT_EQ(info.track, 3);
    EXPECT_EQ(info.genre, 17);
    // Only the file line goes out; no progress on a stderr that is not a terminal.
    EXPECT_TRUE(out.startsWith(QStringLiteral("File( 1 / 1 ) "))) << out.toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

// The master side of a pseudo-terminal, for a child whose stderr should be a terminal.
class PseudoTerminal
{
public:
    PseudoTerminal() : m_master(::posix_openpt(O_RDWR | O_NOCTTY))
    {
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_slave = QString::fromLocal8Bit(::ptsname(m_master));
        if (m_master >= 0)
            ::fcntl(m_master, F_SETFL, O_NONBLOCK);
    }
    ~PseudoTerminal()
    {
        if (m_master >= 0)
            ::close(m_master);
    }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    const QString &slave() const { return m_slave; }
    // What the child wrote, once it has ended.
    QByteArray written()
    {
        QByteArray all;
        char buffer[4096];
        for (ssize_t got; (got = ::read(m_master, buffer, sizeof buffer)) > 0;)
            all.append(buffer, got);
        return all;
    }

private:
    int m_master;
    QString m_slave;
};

TEST_F(ReencodeCommandTest, ProgressLineGoesToATerminal)
{
    PseudoTerminal terminal;
    if (terminal.slave().isEmpty())
        GTEST_SKIP() << "no pseudo-terminal";
    stderrPath = terminal.slave();
    ASSERT_EQ(run({QStringLiteral("reencode"), mp3}), 0);
    const QByteArray shown = terminal.written();
    // The file, how far into it, the time taken and the time left.
    EXPECT_TRUE(shown.contains("\r[1/1]  50% 0:01 / 0:02  elapsed 0:0")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("  left ")) << shown.toStdString();
    // Cleared at the end, so the shell prompt starts on a clean line.
    EXPECT_TRUE(shown.endsWith("\r\033[K")) << shown.toStdString();
    EXPECT_TRUE(out.startsWith(QStringLiteral("File( 1 / 1 ) "))) << out.toStdString();
}

TEST_F(ReencodeCommandTest, JobsRunFilesAtOnceAndPrintThemInOrder)
{
    const QString second = file(QStringLiteral("second.mp3"));
    ASSERT_TRUE(test::makeToneMp3(second, 2.0));
    ASSERT_EQ(run({QStringLiteral("reencode"), QStringLiteral("--jobs"), QStringLiteral("2"), QStringLiteral("--bitrate"),
                   QStringLiteral("64"), mp3, second}),
              0)
        << err.toStdString();
    EXPECT_EQ(out, QStringLiteral("File( 1 / 2 ) %1\nFile( 2 / 2 ) %2\n").arg(mp3, second));
    EXPECT_EQ(test::decodeMp3File(mp3).bitRates, (std::set<int>{64}));
    EXPECT_EQ(test::decodeMp3File(second).bitRates, (std::set<int>{64}));
    EXPECT_EQ(run({QStringLiteral("reencode"), QStringLiteral("--jobs"), QStringLiteral("0"), mp3}), 2);
}

TEST_F(ReencodeCommandTest, VolumeScalesTheSamples)
{
    const double before = test::decodeMp3File(mp3).level();
    ASSERT_EQ(run({QStringLiteral("reencode"), QStringLiteral("--volume"), QStringLiteral("0.5"), mp3}), 0)
        << err.toStdString();
    const test::DecodedMp3 after = test::decodeMp3File(mp3);
    EXPECT_NEAR(after.level(), before / 2, before * 0.05);
    // Without --bitrate the file keeps its own, as the dialog preselects it.
    EXPECT_EQ(after.bitRates, (std::set<int>{128}));
}

TEST_F(ReencodeCommandTest, RateOutsideTheListFallsBackToTheSettings)
{
    const QString odd = file(QStringLiteral("odd.mp3"));
    ASSERT_TRUE(test::makeToneMp3(odd, 1.0, 44100, 2, 192));
    ASSERT_EQ(run({QStringLiteral("reencode"), odd, mp3}), 0) << err.toStdString();
    // The settings' default Data Rate, for every file of the run.
    EXPECT_EQ(test::decodeMp3File(odd).bitRates, (std::set<int>{160}));
    EXPECT_EQ(test::decodeMp3File(mp3).bitRates, (std::set<int>{160}));
}

TEST_F(ReencodeCommandTest, FailuresNameTheFileAndTheOthersAreDone)
{
    const QString missing = file(QStringLiteral("missing.mp3"));
    const QString text = file(QStringLiteral("notes.mp3"));
    const QByteArray notes(5000, 'n');
    ASSERT_TRUE(test::writeAll(text, notes));
    EXPECT_EQ(run({QStringLiteral("reencode"), QStringLiteral("--bitrate"), QStringLiteral("32"), missing,
                   text, mp3}),
              1);
    EXPECT_TRUE(err.contains(missing)) << err.toStdString();
    EXPECT_TRUE(err.contains(text)) << err.toStdString();
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_EQ(test::readAll(text), notes);
    EXPECT_EQ(test::decodeMp3File(mp3).bitRates, (std::set<int>{32}));
}

TEST_F(ReencodeCommandTest, BadOptionsAreUsageErrors)
{
    const QByteArray original = test::readAll(mp3);
    for (const QStringList &options : {QStringList{QStringLiteral("--bitrate"), QStringLiteral("100")},
                                       QStringList{QStringLiteral("--volume"), QStringLiteral("0")},
                                       QStringList{QStringLiteral("--volume"), QStringLiteral("11")},
                                       QStringList{QStringLiteral("--speed"), QStringLiteral("2")}}) {
        EXPECT_EQ(run(QStringList{QStringLiteral("reencode")} + options + QStringList{mp3}), 2)
            << options.join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_EQ(run({QStringLiteral("reencode")}), 2);
    EXPECT_EQ(test::readAll(mp3), original);
}

} // namespace
} // namespace sonavell
