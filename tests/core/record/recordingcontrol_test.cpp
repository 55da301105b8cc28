#include "core/record/recordingcontrol.h"

#include "decodedmp3.h"
#include "core/encode/mp3encoder.h"
#include "core/files/filelist.h"
#include "core/record/recordingmarker.h"
#include "core/settings/recordersettings.h"
#include "core/settings/silencetest.h"
#include "platform/fakeaudioinput.h"
#include "testname.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <csignal>

#include <sys/resource.h>

namespace sonavell {
namespace {

// The main window as the recording control sees it.
class FakeView : public RecordingView
{
public:
    QString recordFileText() const override { return box; }
    void setRecordFileText(const QString &text) override { box = text; }
    bool confirmReplace(const QString &question) override
    {
        questions << question;
        if (onQuestion)
            onQuestion();
        return answerYes;
    }
    void setRecordingState(bool on) override { recording = on; }
    void setPauseText(const QString &text) override { pauseText = text; }
    void setTitle(const QString &text) override { title = text; }
    void showError(const QString &message) override { errors << message; }
    void showNotice(const QString &message) override { notices << message; }
    void showLostAudio(const QString &message) override { lostAudio << message; }
    void addFile(const QString &path) override { files << path; }

    QString box;
    QStringList questions;
    bool answerYes = true;
    std::function<void()> onQuestion;
    bool recording = false;
    QString pauseText = QStringLiteral("Pause");
    QString title;
    QStringList errors;
    QStringList notices;
    QStringList lostAudio;
    QStringList files;
};

constexpr int kRate = 44100;
constexpr int kBufferFrames = 1152; // one encoder chunk of 16-bit stereo

class RecordingControlTest : public ::testing::Test
{
protected:
    RecordingControlTest() : m_control(m_input, m_view, m_settings)
    {
        m_settings.setSaveDirectory(m_folder.path() + QLatin1Char('/'));
        m_settings.setRecordFormat(WaveFormat{1, 2, kRate, 0, 0, 16, 0}.normalizedPcm());
        m_settings.setSilenceEnabled(true);
        m_settings.setSkipSilence(true);
        m_settings.setSilenceAction(0);
        recordLevel = 0;
        m_control.setClock([] { return QDateTime(QDate(2024, 5, 1), QTime(9, 30, 12)); });
        m_control.setMarkerFolder(m_markers.path());
        useTone();
    }

    void useTone()
    {
        m_input.setSignal([](std::uint64_t frame, int) {
            return static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 440 * double(frame) / kRate));
        });
    }

    // Records `seconds` of whatever the signal gives, then stops.
    void recordFor(double seconds)
    {
        const auto buffers = static_cast<int>(std::ceil(seconds * kRate / kBufferFrames));
        const std::uint64_t before = m_input.delivered();
        m_input.allowBuffers(buffers);
        m_control.record();
        ASSERT_TRUE(m_control.isRecording());
        ASSERT_TRUE(m_input.waitForDelivered(before + static_cast<std::uint64_t>(buffers)));
        m_control.stop();
    }

    QString inFolder(const QString &name) const { return m_folder.file(name); }

    test::TempFolder m_folder;
    test::TempFolder m_markers;
    RecorderSettings m_settings;
    FakeAudioInput m_input;
    FakeView m_view;
    RecordingControl m_control;
};

TEST_F(RecordingControlTest, RecordingEndsAsAListedFileNamedByTime)
{
    recordFor(3.0);
    EXPECT_FALSE(m_control.isRecording());
    EXPECT_EQ(m_view.box, QStringLiteral("2024-05-01-09-30.mp3"));
    ASSERT_EQ(m_view.files, QStringList{inFolder(QStringLiteral("2024-05-01-09-30.mp3"))});
    EXPECT_FALSE(QFile::exists(inFolder(QStringLiteral("2024-05-01-09-30"))));
    EXPECT_EQ(m_view.title, QStringLiteral("Sonavell"));
    EXPECT_FALSE(m_view.recording);
    EXPECT_TRUE(m_view.errors.isEmpty());

    const test::DecodedMp3 mp3 = test::decodeMp3File(m_view.files.front());
    EXPECT_NEAR(mp3.seconds(), 3.0, 0.2);
    EXPECT_NEAR(mp3.level(0.2, 2.8), 10000 * 2 / M_PI, 600);
}

TEST_F(RecordingControlTest, RecordWhileRecordingAndStopWhileIdle)
{
    m_input.allowBuffers(0);
    m_control.record();
    ASSERT_TRUE(m_control.isRecording());
    EXPECT_TRUE(m_view.recording);
    m_control.record();
    EXPECT_EQ(m_input.callCount(FakeAudioInput::Step::Open), 1);
    m_control.stop();

    m_view.title = QStringLiteral("untouched");
    m_view.files.clear();
    m_control.stop();
    EXPECT_EQ(m_view.title, QStringLiteral("Sonavell"));
    EXPECT_TRUE(m_view.files.isEmpty());
}

struct BoxCase
{
    const char *typed;
    const char *file;
};

class RecordFileBox : public RecordingControlTest, public ::testing::WithParamInterface<BoxCase>
{
};

TEST_P(RecordFileBox, GivesTheFinishedFileItsName)
{
    m_view.box = QString::fromLatin1(GetParam().typed);
    recordFor(3.0);
    EXPECT_EQ(m_view.files, QStringList{inFolder(QString::fromLatin1(GetParam().file))});
    EXPECT_TRUE(QFile::exists(inFolder(QString::fromLatin1(GetParam().file))));
}

INSTANTIATE_TEST_SUITE_P(Table, RecordFileBox,
                         ::testing::Values(BoxCase{"take1", "take1.mp3"}, BoxCase{"take1.wav", "take1.mp3"},
                                           BoxCase{"take1.MP3", "take1.MP3"}),
                         [](const auto &info) { return test::spelledName(info.param.typed); });

TEST_F(RecordingControlTest, NoToTheReplacePromptRecordsUnderTheTimeName)
{
    ASSERT_TRUE(test::writeAll(inFolder(QStringLiteral("take1.mp3")), "keep me"));
    m_view.box = QStringLiteral("take1.mp3");
    m_view.answerYes = false;
    recordFor(3.0);
    EXPECT_EQ(m_view.questions, QStringList{QStringLiteral("take1.mp3 already exists,Do you want to replace it?")});
    EXPECT_EQ(m_view.files, QStringList{inFolder(QStringLiteral("2024-05-01-09-30.mp3"))});
    EXPECT_EQ(test::readAll(inFolder(QStringLiteral("take1.mp3"))), QByteArray("keep me"));

    m_view.box = QStringLiteral("take1.mp3");
    m_view.answerYes = true;
    m_view.files.clear();
    recordFor(3.0);
    EXPECT_EQ(m_view.files, QStringList{inFolder(QStringLiteral("take1.mp3"))});
    EXPECT_GT(QFile(inFolder(QStringLiteral("take1.mp3"))).size(), 1000);
}

// GIVEN a take of this minute already listed and its name still in the box, WHEN the next
// Record is answered No, THEN the new take gets the next free number and the first stays.
TEST_F(RecordingControlTest, NoToTheReplacePromptNeverCostsATake)
{
    recordFor(3.0);
    const QString first = inFolder(QStringLiteral("2024-05-01-09-30.mp3"));
    const QByteArray firstBytes = test::readAll(first);
    ASSERT_FALSE(firstBytes.isEmpty());
    m_view.answerYes = false;
    m_view.files.clear();
    bool capturingWhileAsked = true;
    m_view.onQuestion = [&] { capturingWhileAsked = m_control.isRecording() || m_input.isOpen(); };
    recordFor(3.0);
    EXPECT_FALSE(capturingWhileAsked);
    EXPECT_EQ(m_view.questions.size(), 1);
    EXPECT_EQ(m_view.files, QStringList{inFolder(QStringLiteral("2024-05-01-09-30001.mp3"))});
    EXPECT_EQ(test::readAll(first), firstBytes);

    // The question looks at the name the file will get: "take1" is take1.mp3.
    ASSERT_TRUE(test::writeAll(inFolder(QStringLiteral("take1.mp3")), "keep me"));
    m_view.box = QStringLiteral("take1");
    m_view.files.clear();
    recordFor(3.0);
    EXPECT_EQ(m_view.questions.size(), 2);
    EXPECT_EQ(test::readAll(inFolder(QStringLiteral("take1.mp3"))), QByteArray("keep me"));

    // A name typed during the take that turns out to be taken is not replaced either.
    m_view.box.clear();
    m_view.files.clear();
    m_input.allowBuffers(40);
    m_control.record();
    m_view.box = QStringLiteral("take1.mp3");
    ASSERT_TRUE(m_input.waitForDelivered(m_input.delivered() + 1));
    m_control.stop();
    EXPECT_EQ(m_view.files, QStringList{inFolder(QStringLiteral("take1001.mp3"))});
    EXPECT_EQ(test::readAll(inFolder(QStringLiteral("take1.mp3"))), QByteArray("keep me"));
    EXPECT_TRUE(RecordingMarker::list(m_markers.path()).isEmpty());
}

TEST_F(RecordingControlTest, TimedStartNeverAsksAndTakesAFreeName)
{
    ASSERT_TRUE(test::writeAll(inFolder(QStringLiteral("take1.mp3")), "keep me"));
    m_view.box = QStringLiteral("take1.mp3");
    m_input.allowBuffers(0);
    m_control.recordScheduled();
    ASSERT_TRUE(m_control.isRecording());
    EXPECT_TRUE(m_view.questions.isEmpty());
    EXPECT_EQ(m_view.box, QStringLiteral("take1001.mp3"));
    // While it runs, a marker names the take and where it goes.
    const QList<RecordingMarker::Entry> markers = RecordingMarker::list(m_markers.path());
    ASSERT_EQ(markers.size(), 1);
    EXPECT_EQ(markers.front().recordPath, inFolder(QStringLiteral("2024-05-01-09-30")));
    EXPECT_EQ(markers.front().target, inFolder(QStringLiteral("take1001.mp3")));
    m_input.allowBuffers(-1);
    m_control.stop();
    EXPECT_EQ(test::readAll(inFolder(QStringLiteral("take1.mp3"))), QByteArray("keep me"));
    EXPECT_TRUE(RecordingMarker::list(m_markers.path()).isEmpty());
}

// A timed start that falls while the user is asked wins; the answer then starts nothing more.
TEST_F(RecordingControlTest, TimedStartDuringTheQuestionIsTheOneRecording)
{
    ASSERT_TRUE(test::writeAll(inFolder(QStringLiteral("take1.mp3")), "keep me"));
    m_view.box = QStringLiteral("take1.mp3");
    m_view.answerYes = true;
    m_view.onQuestion = [&] { m_control.recordScheduled(); };
    m_input.allowBuffers(0);
    m_control.record();
    EXPECT_TRUE(m_control.isRecording());
    EXPECT_EQ(m_input.callCount(FakeAudioInput::Step::Open), 1);
    m_input.allowBuffers(40);
    ASSERT_TRUE(m_input.waitForDelivered(40));
    m_control.stop();
    EXPECT_EQ(test::readAll(inFolder(QStringLiteral("take1.mp3"))), QByteArray("keep me"));
    EXPECT_EQ(m_view.files, QStringList{inFolder(QStringLiteral("take1001.mp3"))});
}

TEST_F(RecordingControlTest, SaveDirectoryIsAlwaysAFolder)
{
    m_settings.setSaveDirectory(m_folder.path()); // typed without the final '/'
    recordFor(3.0);
    EXPECT_EQ(m_view.files, QStringList{inFolder(QStringLiteral("2024-05-01-09-30.mp3"))});

    m_settings.setSaveDirectory(QString());
    m_control.record();
    EXPECT_FALSE(m_control.isRecording());
    EXPECT_FALSE(m_view.recording);
    EXPECT_EQ(m_view.errors.size(), 1);
}

TEST_F(RecordingControlTest, LostAudioIsShownWhenItHappens)
{
    std::uint64_t delivered = m_input.delivered();
    m_input.allowBuffers(0);
    m_control.record();
    m_input.setLostMilliseconds(8100);
    m_input.allowBuffers(1);
    ASSERT_TRUE(m_input.waitForDelivered(++delivered));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_view.lostAudio.isEmpty(); }, 20000));
    EXPECT_TRUE(m_view.lostAudio.front().startsWith(QStringLiteral("8.1 s of audio were lost")));
    EXPECT_TRUE(m_control.isRecording());
    m_input.allowBuffers(-1);
    m_control.stop();
}

// Only a take without one frame of audio is dropped, and the user is told; a short take at a
// low bit rate is a recording like any other.
TEST_F(RecordingControlTest, OnlyATakeWithoutAudioIsDeletedWhileTheDetectorIsOn)
{
    m_settings.setBitRateIndex(3); // 32 kbit/s: two seconds are far below 44100 bytes
    recordFor(2.0);
    ASSERT_EQ(m_view.files, QStringList{inFolder(QStringLiteral("2024-05-01-09-30.mp3"))});
    EXPECT_TRUE(m_view.notices.isEmpty());

    m_view.box.clear();
    m_view.files.clear();
    m_input.setSignal([](std::uint64_t, int) { return std::int16_t(0); });
    recordFor(1.0);
    EXPECT_TRUE(m_view.files.isEmpty());
    EXPECT_EQ(m_view.notices.size(), 1);
    EXPECT_FALSE(QFile::exists(inFolder(QStringLiteral("2024-05-01-09-30001.mp3"))));

    m_settings.setSilenceEnabled(false);
    m_view.box.clear();
    recordFor(0.2);
    EXPECT_EQ(m_view.files, QStringList{inFolder(QStringLiteral("2024-05-01-09-30001.mp3"))});
}

TEST_F(RecordingControlTest, PauseButtonTextFollowsThePauseAndResetsAtStop)
{
    m_input.allowBuffers(0);
    m_control.togglePause(); // idle: nothing
    EXPECT_EQ(m_view.pauseText, QStringLiteral("Pause"));
    m_control.record();
    m_control.togglePause();
    EXPECT_TRUE(m_control.isPaused());
    EXPECT_EQ(m_view.pauseText, QStringLiteral("Resume"));
    m_control.stop();
    EXPECT_EQ(m_view.pauseText, QStringLiteral("Pause"));
    m_control.record();
    EXPECT_FALSE(m_control.isPaused());
    m_control.stop();
}

TEST_F(RecordingControlTest, LongSilenceContinuesInNumberedFiles)
{
    m_settings.setSilenceAction(1);
    m_settings.setNewFileAfterSeconds(1);
    // Two seconds of tone, then silence: every file hears sound, then splits after two silent seconds.
    m_input.setSignal([](std::uint64_t frame, int) {
        const bool tone = frame % (6 * kRate) < 2 * kRate;
        return tone ? static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 440 * double(frame) / kRate))
                    : std::int16_t(0);
    });
    // One buffer at a time, as a sound card paces them: the window thread then opens each new
    // file where the listener asked for it instead of far behind a free-running input.
    std::uint64_t delivered = m_input.delivered();
    m_input.allowBuffers(0);
    m_control.record();
    for (int i = 0; i < 3000 && m_view.files.size() < 3; ++i) {
        m_input.allowBuffers(1);
        ASSERT_TRUE(m_input.waitForDelivered(++delivered));
        QCoreApplication::processEvents();
    }
    ASSERT_GE(m_view.files.size(), 3);
    m_control.stop();
    EXPECT_EQ(m_view.files[0], inFolder(QStringLiteral("2024-05-01-09-30.mp3")));
    EXPECT_EQ(m_view.files[1], inFolder(QStringLiteral("2024-05-01-09-30001.mp3")));
    EXPECT_EQ(m_view.files[2], inFolder(QStringLiteral("2024-05-01-09-30002.mp3")));
    EXPECT_GE(m_control.splitCount(), 2);

    // A new Record starts the numbering again.
    m_view.box.clear();
    m_view.files.clear();
    m_settings.setSilenceAction(0);
    recordFor(3.0);
    EXPECT_EQ(m_control.splitCount(), 0);
}

TEST_F(RecordingControlTest, LongSilenceStopsTheRecording)
{
    m_settings.setStopAfterSeconds(1);
    m_input.setSignal([](std::uint64_t frame, int) {
        return frame < 3 * kRate ? static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 440 * double(frame) / kRate))
                             : std::int16_t(0);
    });
    m_input.allowBuffers(-1);
    m_control.record();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_control.isRecording(); }, 20000));
    EXPECT_EQ(m_view.files.size(), 1);
}

TEST_F(RecordingControlTest, FailedStartIsReportedAndStaysIdle)
{
    m_input.failAt(FakeAudioInput::Step::Open);
    m_control.record();
    EXPECT_FALSE(m_control.isRecording());
    EXPECT_FALSE(m_view.recording);
    ASSERT_EQ(m_view.errors.size(), 1);
    EXPECT_TRUE(m_view.errors.front().startsWith(QStringLiteral("The recording could not start: ")));
    EXPECT_TRUE(QDir(m_folder.path()).entryList(QDir::Files).isEmpty());

    const QString library = Mp3Encoder::libraryName();
    Mp3Encoder::setLibraryName(QStringLiteral("libsonavell-missing.so"));
    m_control.record();
    Mp3Encoder::setLibraryName(library);
    EXPECT_FALSE(m_control.isRecording());
    ASSERT_EQ(m_view.errors.size(), 2);

    m_settings.setSaveDirectory(m_folder.file(QStringLiteral("no/such/folder/")));
    m_control.record();
    EXPECT_FALSE(m_control.isRecording());
    EXPECT_EQ(m_view.errors.size(), 3);
}

TEST_F(RecordingControlTest, UnpluggedDeviceStopsAndKeepsTheAudio)
{
    m_input.setFrameLimit(3 * kRate);
    m_input.allowBuffers(-1);
    m_control.record();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_control.isRecording(); }, 20000));
    ASSERT_EQ(m_view.files.size(), 1);
    EXPECT_EQ(m_view.errors.size(), 1);
    EXPECT_NEAR(test::decodeMp3File(m_view.files.front()).seconds(), 3.0, 0.2);
}

TEST_F(RecordingControlTest, FullDiskStopsTheRecordingAndKeepsWhatWasWritten)
{
    // A file size limit makes every write past 48 KB fail, as a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    rlimit limited = unlimited;
    limited.rlim_cur = 48 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    m_input.allowBuffers(-1);
    m_control.record();
    const bool stopped = QTest::qWaitFor([&] { return !m_control.isRecording(); }, 20000);
    m_input.allowBuffers(0);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    ASSERT_TRUE(stopped);
    ASSERT_EQ(m_view.errors.size(), 1);
    EXPECT_FALSE(m_view.recording);
    ASSERT_EQ(m_view.files.size(), 1);
    const QString file = m_view.files.front();
    EXPECT_LE(QFileInfo(file).size(), 48 * 1024);
    EXPECT_GT(test::decodeMp3File(file).seconds(), 1.0);
}

TEST(BufferPeak, MostPositiveSampleWinsAndFullNegativeCountsAsFull)
{
    const std::int16_t quiet[] = {-3, 2, 1};
    EXPECT_EQ(RecordingControl::bufferPeak(quiet, sizeof quiet), 2);
    const std::int16_t negative[] = {-32768, 5};
    EXPECT_EQ(RecordingControl::bufferPeak(negative, sizeof negative), 32768);
    const std::int16_t onlyLow[] = {-20000, -1};
    EXPECT_EQ(RecordingControl::bufferPeak(onlyLow, sizeof onlyLow), 1);
    const std::int16_t onlyNegative[] = {-32768, -32768};
    EXPECT_EQ(RecordingControl::bufferPeak(onlyNegative, sizeof onlyNegative), 32768);
    EXPECT_EQ(RecordingControl::bufferPeak(quiet, 0), 0);
}

} // namespace
} // namespace sonavell
