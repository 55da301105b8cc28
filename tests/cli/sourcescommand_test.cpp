#include "clitesting.h"
#include "decodedmp3.h"
#include "pulsedaemon.h"

#include <QFile>

namespace sonavell {
namespace {

// The command line against a PulseAudio daemon of the test's own.
class SoundServerCliTest : public test::CliTest
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(daemon.start(&error)) << error.toStdString();
    }

    test::PulseDaemon daemon;
};

TEST_F(SoundServerCliTest, SourcesPrintsTheRowsWithTheChosenOneMarked)
{
    ASSERT_EQ(run({QStringLiteral("sources")}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("(sound server)"))) << out.toStdString();
    // The pipe is the server's default source here; inputs come before monitors.
    EXPECT_TRUE(out.contains(QStringLiteral("\n* 1  Test Pipe Input  level 65536 of 0..65536\n"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("\n  2  Monitor of Test Output  level 65536 of 0..65536\n")))
        << out.toStdString();
}

TEST_F(SoundServerCliTest, RecordFromTheMonitorRowTakesWhatThePlayerPlays)
{
    const QString raw = file(QStringLiteral("tone.raw"));
    ASSERT_TRUE(test::writeAll(raw, test::sinePcm(44100, 2, 6.0, 440, 10000)));
    QProcess paplay;
    paplay.start(QStringLiteral("paplay"), {QStringLiteral("--device=%1").arg(QString::fromLatin1(test::PulseDaemon::kSinkName)),
                                            QStringLiteral("--raw"), raw});
    ASSERT_TRUE(paplay.waitForStarted());

    const QString mp3 = file(QStringLiteral("monitor.mp3"));
    const int code = run({QStringLiteral("record"), QStringLiteral("--source"), QStringLiteral("2"),
                          QStringLiteral("--seconds"), QStringLiteral("1"), mp3});
    paplay.kill();
    paplay.waitForFinished();
    ASSERT_EQ(code, 0) << err.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("from \"Monitor of Test Output\""))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Overruns: 0"))) << out.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_EQ(decoded.errors, 0);
    EXPECT_NEAR(decoded.seconds(), 1.0, 0.06);
    // Past the encoder's start-up, the tone at its own level (mean of |sine| = 2A/pi).
    EXPECT_NEAR(decoded.level(0.2, 0.8), 10000 * 2 / M_PI, 600);
}

TEST_F(SoundServerCliTest, RecordFromAnUnknownSourceSaysSoAndWritesNothing)
{
    const QString mp3 = file(QStringLiteral("none.mp3"));
    EXPECT_EQ(run({QStringLiteral("record"), QStringLiteral("--source"), QStringLiteral("9"), mp3}), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("no source \"9\""))) << err.toStdString();
    EXPECT_FALSE(QFile::exists(mp3));
}

} // namespace
} // namespace sonavell
