#include "gui/edit/cutplaydialog.h"

#include "core/files/filelist.h"
#include "gui/app/recorderwindow.h"
#include "platform/fakeaudioinput.h"
#include "platform/fakemixer.h"

#include "../core/play/playtesting.h"
#include "dialogtesthelpers.h"
#include "core/mp3/mp3fileinfo.h"
#include "core/play/peakfile.h"
#include "core/play/waveoutplayer.h"
#include "core/process/wavefile.h"
#include "core/settings/recordersettings.h"
#include "gui/edit/mmwaveeditxctrl.h"
#include "gui/edit/saveselectiondialog.h"
#include "testsupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <atomic>

namespace sonavell::test {
namespace {

constexpr int kWaitMs = 20000;

// Plays a fixed number of buffers after each open and then holds, as a device whose sound has
// reached that point: enough to carry the play cursor past the end of the selection.
class PacedOutput : public FakeAudioOutput
{
public:
    std::atomic<int> buffersPerOpen{-1};
    std::atomic<int> opens{0};

    bool open(const WaveFormat &format, AudioOutputClient *client) override
    {
        allowBuffers(buffersPerOpen);
        const bool opened = FakeAudioOutput::open(format, client);
        if (opened)
            ++opens;
        return opened;
    }
};

// The data of a WAV file written by WaveFile, as its reader returns it.
QByteArray waveData(const QString &path)
{
    WaveFile file;
    if (file.open(path, nullptr, WaveFile::ReadMode) != WaveFile::Result::Success)
        return {};
    QByteArray data(static_cast<qsizetype>(file.dataSize()), '\0');
    std::uint32_t got = 0;
    file.read(data.data(), static_cast<std::uint32_t>(data.size()), &got);
    data.resize(got);
    return data;
}

void click(QWidget &view, int x, int to = -1)
{
    const auto send = [&](QEvent::Type type, int at, Qt::MouseButtons buttons) {
        const QPointF point(at, 60);
        QMouseEvent event(type, point, view.mapToGlobal(point),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &event);
    };
    send(QEvent::MouseButtonPress, x, Qt::LeftButton);
    if (to >= 0)
        send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to >= 0 ? to : x, Qt::NoButton);
}

class CutPlayDialogTest : public ::testing::Test
{
protected:
    CutPlayDialogTest()
    {
        m_saved = settings();
        m_dialog = std::make_unique<CutPlayDialog>(m_output);
        m_dialog->resize(700, 200);
    }
    ~CutPlayDialogTest() override
    {
        m_dialog.reset();
        settings() = m_saved;
    }

    // Half a second of recognisable 16-bit stereo bytes, shown in the dialog.
    QString showCountingWave(const QString &name = QStringLiteral("take.wav"))
    {
        m_data = countingBytes(88200);
        const QString path = m_folder.file(name);
        EXPECT_TRUE(writeWave(path, pcmFormat(44100, 2), m_data));
        EXPECT_TRUE(m_dialog->setFile(path));
        m_dialog->show();
        EXPECT_TRUE(m_dialog->view()->document().isLoaded());
        return path;
    }

    // Lets the device play enough buffers per open to pass the end of [start, end).
    void paceFor(qint64 start, qint64 end)
    {
        m_output.buffersPerOpen = static_cast<int>((end - start) / WaveOutPlayer::kBufferBytes) + 2;
    }

    QString toneMp3(const QString &name, double seconds, int kbps = 128)
    {
        const QString path = m_folder.file(name);
        EXPECT_TRUE(makeMp3(path, sweepPcm(44100, 2, seconds), 44100, 2, kbps));
        return path;
    }

    // Saves through the toolbar's Save and its dialog.
    void saveThroughDialog(const QString &target, bool keepOriginal = true, int bitrateIndex = -1)
    {
        NextModal<SaveSelectionDialog> modal([&](SaveSelectionDialog *dialog) {
            dialog->setKeepOriginalBitrate(keepOriginal);
            if (bitrateIndex >= 0)
                dialog->setBitrateIndex(bitrateIndex);
            dialog->selectFile(target);
            static_cast<QDialog *>(dialog)->accept();
        });
        m_dialog->action(CutPlayDialog::Command::Save)->trigger();
        EXPECT_TRUE(modal.handled());
    }

    void openThroughDialog(const QString &path)
    {
        NextModal<QFileDialog> modal([&](QFileDialog *dialog) {
            dialog->selectFile(path);
            static_cast<QDialog *>(dialog)->accept();
        });
        m_dialog->action(CutPlayDialog::Command::Open)->trigger();
        EXPECT_TRUE(modal.handled());
    }

    TempFolder m_folder;
    RecorderSettings m_saved;
    PacedOutput m_output;
    QByteArray m_data;
    std::unique_ptr<CutPlayDialog> m_dialog;
};

// ---- Window --------------------------------------------------------------------------------

TEST_F(CutPlayDialogTest, ToolbarHasTheSevenCommandsWithRepeatPressed)
{
    QStringList tips;
    for (QAction *action : m_dialog->toolBar()->actions())
        tips << action->toolTip();
    EXPECT_EQ(tips,
              (QStringList{QStringLiteral("Open audio file"), QStringLiteral("Save selection as audio file "),
                           QStringLiteral("Play selection"), QStringLiteral("Stop play selection"),
                           QStringLiteral("Repeat play selection"), QStringLiteral("Zoom In"),
                           QStringLiteral("Zoom Out")}));
    EXPECT_TRUE(m_dialog->action(CutPlayDialog::Command::Repeat)->isChecked());
    EXPECT_TRUE(m_dialog->isRepeat());
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Cut and play what you are interest"));
}

TEST_F(CutPlayDialogTest, WithoutAFileSaysSoAndShowsAnEmptyView)
{
    MessageBoxAnswer answer;
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answer.text().isEmpty(); }, kWaitMs));
    EXPECT_EQ(answer.text(), QStringLiteral("There is not selected file!"));
    EXPECT_FALSE(m_dialog->view()->document().isLoaded());
}

TEST_F(CutPlayDialogTest, ZoomResetsTheScrollBarAndTheViewFollowsIt)
{
    // Ten seconds: zoom 2048, so there is room to zoom in.
    m_data = QByteArray(441000 * 4, '\0');
    const QString path = m_folder.file(QStringLiteral("long.wav"));
    ASSERT_TRUE(writeWave(path, pcmFormat(44100, 2), m_data));
    ASSERT_TRUE(m_dialog->setFile(path));
    m_dialog->show();
    const int zoom = m_dialog->view()->document().zoom();
    const int rangeBefore = m_dialog->scrollBar()->maximum();
    m_dialog->action(CutPlayDialog::Command::ZoomIn)->trigger();
    EXPECT_EQ(m_dialog->view()->document().zoom(), zoom / 2);
    EXPECT_GT(m_dialog->scrollBar()->maximum(), rangeBefore);
    EXPECT_EQ(m_dialog->scrollBar()->value(), 0);
    m_dialog->scrollBar()->setValue(100);
    EXPECT_EQ(m_dialog->view()->document().firstColumn(), 100);
    m_dialog->action(CutPlayDialog::Command::ZoomOut)->trigger();
    EXPECT_EQ(m_dialog->view()->document().zoom(), zoom);
    EXPECT_EQ(m_dialog->scrollBar()->value(), 0);
    EXPECT_EQ(m_dialog->view()->document().firstColumn(), 0);
}

// ---- Play ----------------------------------------------------------------------------------

struct PlayCase
{
    const char *name;
    int pressAt; // -1: no click
    int dragTo;  // -1: a click without a drag
};

void PrintTo(const PlayCase &c, std::ostream *os)
{
    *os << c.name;
}

class CutPlayDialogPlay : public CutPlayDialogTest, public ::testing::WithParamInterface<PlayCase>
{
};

TEST_P(CutPlayDialogPlay, PlaysTheRangeOfTheSelection)
{
    showCountingWave();
    const PlayCase &c = GetParam();
    if (c.pressAt >= 0)
        click(*m_dialog->view(), c.pressAt, c.dragTo);
    qint64 start = 0;
    qint64 end = 0;
    m_dialog->selectionRange(&start, &end);
    const qint64 dataBytes = m_dialog->view()->getDataBytes();
    if (c.pressAt < 0) {
        EXPECT_EQ(start, 0);
        EXPECT_EQ(end, dataBytes);
    } else if (c.dragTo < 0) {
        EXPECT_EQ(start, m_dialog->view()->document().caretFrame() * 4);
        EXPECT_GT(start, 0);
        EXPECT_EQ(end, dataBytes);
    } else {
        EXPECT_LT(end, dataBytes);
    }

    m_dialog->setRepeat(false);
    paceFor(start, end);
    m_dialog->action(CutPlayDialog::Command::Play)->trigger();
    EXPECT_TRUE(m_dialog->isPlaying());
    EXPECT_FALSE(m_dialog->view()->isEnabled());
    EXPECT_FALSE(m_dialog->action(CutPlayDialog::Command::Play)->isEnabled());
    EXPECT_EQ(m_dialog->playStart(), start);
    EXPECT_EQ(m_dialog->playEnd(), end);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dialog->isPlaying(); }, kWaitMs));
    EXPECT_EQ(m_output.opens, 1);
    EXPECT_TRUE(m_dialog->view()->isEnabled());
    EXPECT_TRUE(m_dialog->action(CutPlayDialog::Command::Play)->isEnabled());
    EXPECT_FALSE(m_dialog->view()->isPlayCursorShown());
    EXPECT_FALSE(m_output.isOpen());

    // The sound began at the start of the selection (offsets count into the data chunk).
    const qint64 audible = std::min<qint64>(end, m_data.size()) - start;
    EXPECT_EQ(m_output.played().left(audible).toHex(), m_data.mid(start, audible).toHex());
}

INSTANTIATE_TEST_SUITE_P(Cases, CutPlayDialogPlay,
                         ::testing::Values(PlayCase{"NoSelectionPlaysTheWholeFile", -1, -1},
                                           PlayCase{"CaretOnlyPlaysToTheEnd", 150, -1},
                                           PlayCase{"SelectionPlaysItsStretch", 60, 150}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(CutPlayDialogTest, RepeatPlaysAgainUntilStop)
{
    showCountingWave();
    qint64 start = 0;
    qint64 end = 0;
    m_dialog->selectionRange(&start, &end);
    paceFor(start, end);
    m_dialog->action(CutPlayDialog::Command::Play)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_output.opens >= 3; }, kWaitMs));
    EXPECT_TRUE(m_dialog->isPlaying());
    EXPECT_FALSE(m_dialog->view()->isEnabled());

    m_dialog->action(CutPlayDialog::Command::Stop)->trigger();
    EXPECT_FALSE(m_dialog->isPlaying());
    EXPECT_FALSE(m_output.isOpen());
    EXPECT_TRUE(m_dialog->view()->isEnabled());
    EXPECT_TRUE(m_dialog->action(CutPlayDialog::Command::Play)->isEnabled());
    const int opens = m_output.opens;
    QCoreApplication::processEvents();
    EXPECT_EQ(m_output.opens, opens);
}

TEST_F(CutPlayDialogTest, PlayCursorFollowsTheDevicePosition)
{
    showCountingWave();
    // The device plays one buffer and holds: the cursor stands where that buffer ends.
    m_output.buffersPerOpen = 1;
    m_dialog->play();
    const int zoom = m_dialog->view()->document().zoom();
    const int column = static_cast<int>(WaveOutPlayer::kBufferBytes / 4 / zoom);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_dialog->view()->playCursorRect().x() == column; }, kWaitMs));
    EXPECT_TRUE(m_dialog->isPlaying());
    m_dialog->stop();
    EXPECT_FALSE(m_dialog->view()->isPlayCursorShown());
}

TEST_F(CutPlayDialogTest, ClosingStopsPlaying)
{
    showCountingWave();
    m_output.buffersPerOpen = 1;
    m_dialog->play();
    ASSERT_TRUE(m_dialog->isPlaying());
    m_dialog->reject();
    EXPECT_FALSE(m_dialog->isPlaying());
    EXPECT_FALSE(m_output.isOpen());
}

TEST_F(CutPlayDialogTest, DeviceThatCannotOpenEndsAPlayWithoutRepeat)
{
    showCountingWave();
    m_output.setOpenFails(true);
    m_dialog->setRepeat(false);
    m_dialog->play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dialog->isPlaying(); }, kWaitMs));
    EXPECT_TRUE(m_dialog->view()->isEnabled());
}

// ---- Save ----------------------------------------------------------------------------------

TEST_F(CutPlayDialogTest, SavingAnEmptySelectionAsWaveWritesFromTheCaretToTheEnd)
{
    showCountingWave();
    click(*m_dialog->view(), 150);
    const qint64 caretBytes = m_dialog->view()->document().caretFrame() * 4;
    ASSERT_GT(caretBytes, 0);
    const QString target = m_folder.file(QStringLiteral("cut.wav"));
    saveThroughDialog(target);
    EXPECT_EQ(waveData(target).toHex(), m_data.mid(caretBytes).toHex());
    EXPECT_EQ(readFolderValue(QStringLiteral("SWFFilePath")), m_folder.path() + QLatin1Char('/'));
}

TEST_F(CutPlayDialogTest, SavingTheWholeFileAsWaveWritesExactlyItsData)
{
    const QString source = showCountingWave();
    const QString target = m_folder.file(QStringLiteral("whole.wav"));
    saveThroughDialog(target);
    EXPECT_EQ(waveData(target).toHex(), m_data.toHex());
    WaveFile in;
    ASSERT_EQ(in.open(target, nullptr, WaveFile::ReadMode), WaveFile::Result::Success);
    EXPECT_EQ(*in.format(), pcmFormat(44100, 2));
    EXPECT_EQ(readAll(target), readAll(source));
}

TEST_F(CutPlayDialogTest, SavingASelectionOverItsOwnWaveKeepsTheSelectedBytes)
{
    const QString source = showCountingWave();
    click(*m_dialog->view(), 100, 200);
    qint64 start = 0;
    qint64 end = 0;
    m_dialog->selectionRange(&start, &end);
    ASSERT_TRUE(m_dialog->saveSelection(source, start, end, 128, true));
    EXPECT_EQ(waveData(source).toHex(), m_data.mid(start, end - start).toHex());
}

TEST_F(CutPlayDialogTest, SavingToAnotherSuffixWritesNothingButRemembersTheFolder)
{
    showCountingWave();
    const QString folder = m_folder.file(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString target = folder + QStringLiteral("/cut.txt");
    saveThroughDialog(target);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(readFolderValue(QStringLiteral("SWFFilePath")), folder + QLatin1Char('/'));
}

TEST_F(CutPlayDialogTest, SavingAsWaveFromAMissingFileSaysSoAndForgetsNothing)
{
    const QString source = showCountingWave();
    writeFolderValue(QStringLiteral("SWFFilePath"), QStringLiteral("/before/"));
    ASSERT_TRUE(QFile::remove(source));
    MessageBoxAnswer answer;
    const QString target = m_folder.file(QStringLiteral("never.wav"));
    EXPECT_FALSE(m_dialog->saveSelection(target, 0, 100, 128, true));
    EXPECT_EQ(answer.text(), QStringLiteral("Open File %1 Error").arg(source));
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(readFolderValue(QStringLiteral("SWFFilePath")), QStringLiteral("/before/"));
}

// ---- MP3 files -----------------------------------------------------------------------------

TEST_F(CutPlayDialogTest, DecodeShowsTheFileTheJobWrote)
{
    // The job names its WAV after the title in lower case with ".Wav"; only that exact name
    // exists on a case-sensitive file system.
    const QString mp3 = toneMp3(QStringLiteral("Tone.MP3"), 1.0);
    ASSERT_TRUE(m_dialog->setFile(mp3));
    EXPECT_EQ(QFileInfo(m_dialog->wavPath()).fileName(), QStringLiteral("tone.Wav"));
    EXPECT_TRUE(QFileInfo::exists(m_dialog->wavPath()));
    EXPECT_TRUE(m_dialog->wavPath().startsWith(m_dialog->temporaryFolder() + QLatin1Char('/')));
    EXPECT_EQ(m_dialog->sourcePath(), mp3);
    m_dialog->show();
    EXPECT_TRUE(m_dialog->view()->document().isLoaded());
    EXPECT_EQ(m_dialog->view()->document().path(), m_dialog->wavPath());
    EXPECT_EQ(m_dialog->windowTitle(), mp3);
}

TEST_F(CutPlayDialogTest, DecodedWaveAndItsPeaksGoWithTheDialog)
{
    ASSERT_TRUE(m_dialog->setFile(toneMp3(QStringLiteral("tone.mp3"), 0.5)));
    m_dialog->show();
    const QString wave = m_dialog->wavPath();
    const QString peaks = peakfile::pathFor(wave);
    ASSERT_TRUE(QFileInfo::exists(peaks));
    m_dialog->reject();
    EXPECT_FALSE(QFileInfo::exists(peaks));
    EXPECT_TRUE(QFileInfo::exists(wave));
    m_dialog.reset();
    EXPECT_FALSE(QFileInfo::exists(wave));
}

TEST_F(CutPlayDialogTest, OpeningAnotherMp3ReplacesTheDecodedWave)
{
    ASSERT_TRUE(m_dialog->setFile(toneMp3(QStringLiteral("one.mp3"), 0.5)));
    m_dialog->show();
    const QString first = m_dialog->wavPath();
    const QString second = toneMp3(QStringLiteral("two.mp3"), 0.5);
    openThroughDialog(second);
    EXPECT_EQ(m_dialog->sourcePath(), second);
    EXPECT_EQ(QFileInfo(m_dialog->wavPath()).fileName(), QStringLiteral("two.Wav"));
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_EQ(m_dialog->windowTitle(), second);
    EXPECT_EQ(readFolderValue(QStringLiteral("OpenDir1")), m_folder.path() + QLatin1Char('/'));
}

TEST_F(CutPlayDialogTest, DecodingTheSameMp3AgainKeepsTheNewWave)
{
    const QString mp3 = toneMp3(QStringLiteral("same.mp3"), 0.5);
    ASSERT_TRUE(m_dialog->setFile(mp3));
    ASSERT_TRUE(m_dialog->decode(mp3));
    EXPECT_TRUE(QFileInfo::exists(m_dialog->wavPath()));
}

TEST_F(CutPlayDialogTest, WaveOpenedFromTheTemporaryFolderIsDeletedWithTheDialog)
{
    MessageBoxAnswer noFile;
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !noFile.text().isEmpty(); }, kWaitMs));
    const QString inside = m_dialog->temporaryFolder() + QStringLiteral("/Inside.wav");
    ASSERT_TRUE(writeWave(inside, pcmFormat(44100, 2), countingBytes(4000)));
    const QString outside = m_folder.file(QStringLiteral("outside.wav"));
    ASSERT_TRUE(writeWave(outside, pcmFormat(44100, 2), countingBytes(4000)));

    openThroughDialog(inside);
    EXPECT_EQ(m_dialog->wavPath(), inside);
    EXPECT_TRUE(m_dialog->sourcePath().isEmpty());
    // Replaced by a WAV from elsewhere: the temporary one goes at once, the other stays.
    openThroughDialog(outside);
    EXPECT_FALSE(QFileInfo::exists(inside));
    EXPECT_EQ(m_dialog->wavPath(), outside);
    m_dialog.reset();
    EXPECT_TRUE(QFileInfo::exists(outside));
    EXPECT_FALSE(QFileInfo::exists(peakfile::pathFor(outside)));
}

TEST_F(CutPlayDialogTest, WaveInTheTemporaryFolderGoesWhenTheDialogIsDestroyed)
{
    const QString inside = m_dialog->temporaryFolder() + QStringLiteral("/kept.wav");
    ASSERT_TRUE(writeWave(inside, pcmFormat(44100, 2), countingBytes(4000)));
    ASSERT_TRUE(m_dialog->setFile(inside));
    m_dialog->show();
    m_dialog.reset();
    EXPECT_FALSE(QFileInfo::exists(inside));
}

struct Mp3SaveCase
{
    const char *name;
    bool keepOriginal;
    int bitrateIndex; // in the settings' table
    int expectedKbps;
};

void PrintTo(const Mp3SaveCase &c, std::ostream *os)
{
    *os << c.name;
}

class CutPlayDialogMp3Save : public CutPlayDialogTest, public ::testing::WithParamInterface<Mp3SaveCase>
{
};

TEST_P(CutPlayDialogMp3Save, WritesTheSelectionAsMp3)
{
    const Mp3SaveCase &c = GetParam();
    const QString mp3 = toneMp3(QStringLiteral("source.mp3"), 4.0, 128);
    ASSERT_TRUE(m_dialog->setFile(mp3));
    m_dialog->show();
    // About the middle half of the file.
    const WaveDocument &document = m_dialog->view()->document();
    const int columns = static_cast<int>(document.totalFrames() / document.zoom());
    click(*m_dialog->view(), columns / 4, 3 * columns / 4);
    const QString target = m_folder.file(QStringLiteral("cut.mp3"));
    saveThroughDialog(target, c.keepOriginal, c.bitrateIndex);
    ASSERT_TRUE(QFileInfo::exists(target));
    Mp3FileInfo info(target);
    EXPECT_EQ(info.bitrateKbps, c.expectedKbps);
    EXPECT_EQ(info.sampleRate, 44100);
    // Two seconds of four, give or take a frame or an encoder chunk at each end.
    const double seconds = static_cast<double>(QFileInfo(target).size()) * 8 / (c.expectedKbps * 1000.0);
    EXPECT_NEAR(seconds, 2.0, 0.15);
}

INSTANTIATE_TEST_SUITE_P(Cases, CutPlayDialogMp3Save,
                         ::testing::Values(Mp3SaveCase{"KeepingTheBitrateCopiesFrames", true, 3, 128},
                                           Mp3SaveCase{"OtherwiseEncodesAtTheChosenRate", false, 7, 64}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(CutPlayDialogTest, WaveSourceIsEncodedEvenWhenKeepingTheBitrate)
{
    showCountingWave();
    const QString target = m_folder.file(QStringLiteral("fromwave.mp3"));
    saveThroughDialog(target, true, 3);
    ASSERT_TRUE(QFileInfo::exists(target));
    EXPECT_EQ(Mp3FileInfo(target).bitrateKbps, 32);
}

TEST_F(CutPlayDialogTest, OpeningAnotherFileEndsThePlay)
{
    showCountingWave();
    m_output.buffersPerOpen = 1;
    m_dialog->play();
    ASSERT_TRUE(m_dialog->isPlaying());
    const QString other = m_folder.file(QStringLiteral("other.wav"));
    ASSERT_TRUE(writeWave(other, pcmFormat(44100, 2), countingBytes(4000)));
    openThroughDialog(other);
    EXPECT_FALSE(m_dialog->isPlaying());
    EXPECT_FALSE(m_output.isOpen());
    EXPECT_EQ(m_dialog->wavPath(), other);
}

TEST_F(CutPlayDialogTest, OpenListsAudioFilesWhateverTheCaseOfTheirSuffix)
{
    for (const char *name : {"lower.mp3", "UPPER.MP3", "Mixed.Wav", "notes.txt"})
        ASSERT_TRUE(writeAll(m_folder.file(QString::fromLatin1(name)), "x"));
    writeFolderValue(QStringLiteral("OpenDir"), m_folder.path() + QLatin1Char('/'));
    QStringList listed;
    NextModal<QFileDialog> modal([&](QFileDialog *dialog) {
        auto *model = dialog->findChild<QFileSystemModel *>();
        ASSERT_NE(model, nullptr);
        const auto names = [&] {
            QStringList all;
            const QModelIndex folder = model->index(m_folder.path());
            for (int row = 0; row < model->rowCount(folder); ++row)
                all << model->index(row, 0, folder).data().toString();
            all.sort();
            return all;
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return names().size() >= 2; }, kWaitMs));
        listed = names();
        dialog->selectNameFilter(QStringLiteral("WAV File(*.WAV)"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return names().size() == 1; }, kWaitMs));
        listed += names();
        dialog->reject();
    });
    m_dialog->open();
    EXPECT_TRUE(modal.handled());
    EXPECT_EQ(listed, (QStringList{QStringLiteral("UPPER.MP3"), QStringLiteral("lower.mp3"),
                                   QStringLiteral("Mixed.Wav")}));
}

// ---- Main window ---------------------------------------------------------------------------

TEST(CutPlayCommand, OpensTheEditorOnTheSelectedMp3)
{
    const RecorderSettings saved = settings();
    settings().setFileList({});
    TempFolder folder;
    const QString mp3 = folder.file(QStringLiteral("Take.mp3"));
    ASSERT_TRUE(makeMp3(mp3, sweepPcm(44100, 2, 0.5), 44100, 2, 128));
    FakeAudioInput input;
    FakeAudioOutput output;
    FakeMixer mixer;
    {
        RecorderWindow window(input, output, mixer);
        window.fileList().addFile(mp3);
        window.fileList().selectAll();
        ASSERT_TRUE(window.isCommandEnabled(CommandId::CutAndPlay));
        QString shown;
        QString title;
        NextModal<CutPlayDialog> modal([&](CutPlayDialog *dialog) {
            shown = dialog->view()->document().path();
            title = dialog->windowTitle();
            dialog->reject();
        });
        window.runCommand(CommandId::CutAndPlay);
        EXPECT_TRUE(modal.handled());
        EXPECT_EQ(title, mp3);
        EXPECT_EQ(QFileInfo(shown).fileName(), QStringLiteral("take.Wav"));
        EXPECT_FALSE(QFileInfo::exists(shown));
    }
    settings() = saved;
}

// ---- Picture -------------------------------------------------------------------------------

TEST_F(CutPlayDialogTest, Screenshot)
{
    ASSERT_TRUE(m_dialog->setFile(toneMp3(QStringLiteral("Screenshot Tone.mp3"), 6.0)));
    m_dialog->resize(820, 240);
    m_dialog->show();
    const WaveDocument &document = m_dialog->view()->document();
    const int columns = static_cast<int>(document.totalFrames() / document.zoom());
    click(*m_dialog->view(), columns / 3, columns / 2);
    m_dialog->view()->setPlayCursor(document.totalFrames() * 2 / 5);
    saveScreenshot(*m_dialog, QStringLiteral("cutplaydialog.png"));
    const QImage view = m_dialog->view()->render();
    EXPECT_EQ(view.pixel(columns / 4, 80) & 0xFFFFFF, 0x00C832u);

    NextModal<SaveSelectionDialog> modal([&](SaveSelectionDialog *dialog) {
        dialog->resize(640, 420);
        saveScreenshot(*dialog, QStringLiteral("saveselectiondialog.png"));
        dialog->reject();
    });
    m_dialog->save();
    EXPECT_TRUE(modal.handled());

    m_dialog->action(CutPlayDialog::Command::ZoomIn)->trigger();
    m_dialog->scrollBar()->setValue(40);
    saveScreenshot(*m_dialog, QStringLiteral("cutplaydialog-zoomed.png"));
    EXPECT_EQ(m_dialog->view()->document().firstColumn(), 40);
}

} // namespace
} // namespace sonavell::test
