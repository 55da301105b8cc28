#include "clitesting.h"
#include "decodedmp3.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <cmath>
#include <ostream>

namespace sonavell {
namespace {

// Runs sonavell-cli with a private home, so its settings store starts from the defaults
// (silence detector on, skip at start on, stop after 5 silent seconds) and touches no user file.
class RecordCommandTest : public testing::Test
{
protected:
    QProcess *start(const QStringList &args)
    {
        test::prepareCli(process, args, home.path());
        process.start();
        return &process;
    }
    int run(const QStringList &args)
    {
        start(args);
        EXPECT_TRUE(process.waitForFinished(120000));
        out = QString::fromUtf8(process.readAllStandardOutput());
        err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // A file device playing `pcm`, described in an ALSA configuration file for --alsa-config.
    QString fileDevice(const QByteArray &pcm)
    {
        const QString raw = folder.file(QStringLiteral("in.raw"));
        EXPECT_TRUE(test::writeAll(raw, pcm));
        const QString config = folder.file(QStringLiteral("alsa.conf"));
        EXPECT_TRUE(test::writeAll(config, QStringLiteral("pcm.card { type file slave.pcm { type null } "
                                                          "file \"/dev/null\" infile \"%1\" format raw }\n")
                                               .arg(raw)
                                               .toUtf8()));
        return config;
    }

    test::TempFolder folder;
    test::TempFolder home;
    QProcess process;
    QString out;
    QString err;
};

TEST_F(RecordCommandTest, RecordsTheGivenSecondsFromTheDevice)
{
    const QString config = fileDevice(test::sinePcm(44100, 2, 4.0, 440, 10000));
    const QString mp3 = folder.file(QStringLiteral("take.mp3"));
    ASSERT_EQ(run({QStringLiteral("record"), QStringLiteral("--device"), QStringLiteral("card"),
                   QStringLiteral("--alsa-config"), config, QStringLiteral("--seconds"), QStringLiteral("2"), mp3}),
              0)
        << err.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Overruns: 0"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("00 : 02"))) << out.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_EQ(decoded.errors, 0);
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_EQ(*decoded.bitRates.begin(), 160); // the settings' default
    EXPECT_NEAR(decoded.seconds(), 2.0, 0.06);
    EXPECT_NEAR(decoded.level(), 10000 * 2 / M_PI, 1000);
}

TEST_F(RecordCommandTest, FlagsOverrideTheRecordFormatAndBitRate)
{
    const QString config = fileDevice(test::sinePcm(22050, 1, 3.0, 440, 10000));
    const QString mp3 = folder.file(QStringLiteral("mono.mp3"));
    ASSERT_EQ(run({QStringLiteral("record"), QStringLiteral("--device"), QStringLiteral("card"),
                   QStringLiteral("--alsa-config"), config, QStringLiteral("--seconds"), QStringLiteral("1"),
                   QStringLiteral("--rate"), QStringLiteral("22050"), QStringLiteral("--channels"), QStringLiteral("1"),
                   QStringLiteral("--bitrate"), QStringLiteral("64"), mp3}),
              0)
        << err.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_EQ(decoded.sampleRate, 22050);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_EQ(decoded.bitRates, (std::set<int>{64}));
    EXPECT_NEAR(decoded.seconds(), 1.0, 0.1); // one chunk over at most, plus the encoder's delay
}

TEST_F(RecordCommandTest, SilenceSettingsSkipTheSilentStartAndStopAfterLongSilence)
{
    // 1 s silence, 1 s tone, then 9 s silence: the file starts at the tone and the detector
    // stops the recording once the silence passes 5 seconds (that is, at 6 s).
    QByteArray pcm = test::constantPcm(44100, 2, 1.0, 0);
    pcm += test::sinePcm(44100, 2, 1.0, 440, 10000);
    pcm += test::constantPcm(44100, 2, 9.0, 0);
    const QString config = fileDevice(pcm);
    const QString mp3 = folder.file(QStringLiteral("voice.mp3"));
    ASSERT_EQ(run({QStringLiteral("record"), QStringLiteral("--device"), QStringLiteral("card"),
                   QStringLiteral("--alsa-config"), config, mp3}),
              0)
        << err.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_NEAR(decoded.seconds(), 7.0, 0.1);
}

TEST_F(RecordCommandTest, InterruptFinishesTheFile)
{
    const QString config = fileDevice(test::sinePcm(44100, 2, 30.0, 440, 10000));
    const QString mp3 = folder.file(QStringLiteral("long.mp3"));
    start({QStringLiteral("record"), QStringLiteral("--device"), QStringLiteral("card"), QStringLiteral("--alsa-config"),
           config, mp3});
    ASSERT_TRUE(process.waitForReadyRead(30000));
    ASSERT_TRUE(process.readLine().startsWith("Recording"));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardOutput().contains("Overruns: 0"));
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_EQ(decoded.errors, 0);
    EXPECT_GT(decoded.audioFrames, 0);
}

// GIVEN a recording killed outright, WHEN "recover" runs, THEN the file it marked is finished in
// place, its tag telling its true length, and a second run finds nothing.
TEST_F(RecordCommandTest, KilledRecordingIsFinishedByRecover)
{
    const QString config = fileDevice(test::sinePcm(44100, 2, 30.0, 440, 10000));
    const QString mp3 = folder.file(QStringLiteral("killed.mp3"));
    start({QStringLiteral("record"), QStringLiteral("--device"), QStringLiteral("card"), QStringLiteral("--alsa-config"),
           config, mp3});
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(mp3).size() > 40000; }, 60000));
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    ASSERT_TRUE(process.waitForFinished(60000));

    ASSERT_EQ(run({QStringLiteral("recover"), folder.path()}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(mp3)) << out.toStdString();
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_EQ(decoded.errors, 0);
    EXPECT_EQ(decoded.infoFrameCount, decoded.audioFrames);

    ASSERT_EQ(run({QStringLiteral("recover"), folder.path()}), 0) << err.toStdString();
    EXPECT_TRUE(out.startsWith(QStringLiteral("Nothing to recover"))) << out.toStdString();
}

// A full disk (here a file size limit on the process) ends the recording at the first failed
// write, and the file it leaves plays and is measured right.
TEST_F(RecordCommandTest, FullDiskStopsAtTheFirstFailedWrite)
{
    const QString config = fileDevice(test::sinePcm(44100, 2, 30.0, 440, 10000));
    const QString mp3 = folder.file(QStringLiteral("full.mp3"));
    process.setChildProcessModifier([] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{48 * 1024, 48 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(run({QStringLiteral("record"), QStringLiteral("--device"), QStringLiteral("card"),
                   QStringLiteral("--alsa-config"), config, QStringLiteral("--seconds"), QStringLiteral("25"), mp3}),
              1);
    // 48 KB hold under three seconds at 160 kbit/s.
    EXPECT_TRUE(out.contains(QStringLiteral("Recorded 00 : 0"))) << out.toStdString();
    EXPECT_FALSE(err.isEmpty());
    const test::DecodedMp3 decoded = test::decodeMp3File(mp3);
    EXPECT_EQ(decoded.errors, 0);
    EXPECT_GT(decoded.audioFrames, 0);
    EXPECT_EQ(decoded.infoFrameCount, decoded.audioFrames);
}

TEST_F(RecordCommandTest, UnknownDeviceFailsSayingWhyAndLeavesNoFile)
{
    const QString config = fileDevice(test::sinePcm(44100, 2, 1.0, 440, 10000));
    const QString mp3 = folder.file(QStringLiteral("none.mp3"));
    EXPECT_EQ(run({QStringLiteral("record"), QStringLiteral("--device"), QStringLiteral("nothing"),
                   QStringLiteral("--alsa-config"), config, mp3}),
              1);
    EXPECT_TRUE(err.contains(QStringLiteral("\"nothing\""))) << err.toStdString();
    EXPECT_FALSE(QFile::exists(mp3));
}

TEST_F(RecordCommandTest, DefaultDeviceWithoutSoundCardFailsCleanly)
{
    const QString mp3 = folder.file(QStringLiteral("default.mp3"));
    const int code = run({QStringLiteral("record"), QStringLiteral("--seconds"), QStringLiteral("1"), mp3});
    if (code == 0)
        GTEST_SKIP() << "this machine has a working default capture device";
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(err.contains(QStringLiteral("\"default\""))) << err.toStdString();
    EXPECT_FALSE(QFile::exists(mp3));
}

struct UsageCase
{
    const char *name;
    QStringList args;
};

void PrintTo(const UsageCase &c, std::ostream *out)
{
    *out << c.name;
}

class RecordCommandUsage : public RecordCommandTest, public testing::WithParamInterface<UsageCase> {};

TEST_P(RecordCommandUsage, RejectsWithUsage)
{
    EXPECT_EQ(run(GetParam().args), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("usage:"))) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    RecordCommand, RecordCommandUsage,
    testing::Values(UsageCase{"NoCommand", {}},
                    UsageCase{"NoOutput", {QStringLiteral("record")}},
                    UsageCase{"TwoOutputs", {QStringLiteral("record"), QStringLiteral("a.mp3"), QStringLiteral("b.mp3")}},
                    UsageCase{"ThreeChannels", {QStringLiteral("record"), QStringLiteral("--channels"), QStringLiteral("3"), QStringLiteral("a.mp3")}},
                    UsageCase{"OddRate", {QStringLiteral("record"), QStringLiteral("--rate"), QStringLiteral("48000"), QStringLiteral("a.mp3")}},
                    UsageCase{"OddBitRate", {QStringLiteral("record"), QStringLiteral("--bitrate"), QStringLiteral("192"), QStringLiteral("a.mp3")}},
                    UsageCase{"ZeroSeconds", {QStringLiteral("record"), QStringLiteral("--seconds"), QStringLiteral("0"), QStringLiteral("a.mp3")}},
                    UsageCase{"MissingValue", {QStringLiteral("record"), QStringLiteral("a.mp3"), QStringLiteral("--device")}},
                    UsageCase{"UnknownOption", {QStringLiteral("record"), QStringLiteral("--loud"), QStringLiteral("a.mp3")}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace sonavell
