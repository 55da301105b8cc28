#include "gui/app/recorderwindow.h"

#include "../core/process/processtesting.h"
#include "dialogtesthelpers.h"
#include "core/files/filelist.h"
#include "core/mp3/medialength.h"
#include "core/mp3/mp3layout.h"
#include "core/process/wavefile.h"
#include "core/settings/recordersettings.h"
#include "gui/files/filelistview.h"
#include "gui/process/bitratevolumedialog.h"
#include "gui/process/joindialog.h"
#include "gui/process/progressdialog.h"
#include "gui/process/splitdialog.h"
#include "gui/process/trimdialog.h"
#include "gui/process/wavtomp3dialog.h"
#include "platform/fakeaudioinput.h"
#include "platform/fakemixer.h"
#include "testsupport.h"
#include "gui/ui/editctrl.h"
#include "gui/ui/folderbrowser.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

// The processing commands run from the recorder window on files made by our encoder.
class ProcessCommandsTest : public ::testing::Test
{
protected:
    ProcessCommandsTest()
    {
        m_saved = settings();
        settings().setSaveDirectory(m_folder.path() + QLatin1Char('/'));
        settings().setFileList({});
        settings().setBitRateIndex(13);
        settings().setRecordFormat(WaveFormat{1, 2, 44100, 0, 0, 16, 0}.normalizedPcm());
        m_mixer.addSource(QStringLiteral("Mic"), 0, 65535, 30000);
        m_mixer.setSelector(MixerSelector::Kind::Multiplexer, {QStringLiteral("Mic")}, 0);
        m_window = std::make_unique<RecorderWindow>(m_input, m_mixer);
        m_window->show();
    }
    ~ProcessCommandsTest() override
    {
        m_window.reset();
        settings() = m_saved;
    }

    FileList &list() { return m_window->fileList(); }

    // A listed tone MP3, selected along with the rows selected before.
    QString addTone(const QString &name, double seconds, int kbps = 128)
    {
        const QString path = m_folder.file(name);
        EXPECT_TRUE(test::makeToneMp3(path, seconds, 44100, 2, kbps));
        EXPECT_TRUE(list().addFile(path));
        list().selectRow(list().rowCount() - 1, false);
        return path;
    }

    int seconds(const QString &path) { return queryMediaLength(path) / 1000; }

    test::TempFolder m_folder;
    RecorderSettings m_saved;
    FakeAudioInput m_input;
    FakeMixer m_mixer;
    std::unique_ptr<RecorderWindow> m_window;
};

TEST_F(ProcessCommandsTest, TheProcessingCommandsAreAvailable)
{
    addTone(QStringLiteral("one.mp3"), 1.0);
    for (CommandId id : {CommandId::Split, CommandId::Join, CommandId::ChangeBitrate, CommandId::Trim,
                         CommandId::WavToMp3, CommandId::Mp3ToWav}) {
        EXPECT_TRUE(m_window->isCommandEnabled(id)) << static_cast<int>(id);
        EXPECT_NE(m_window->action(id), nullptr) << static_cast<int>(id);
    }
}

TEST_F(ProcessCommandsTest, SplitWritesThePartsBesideTheInput)
{
    const QString input = addTone(QStringLiteral("Talk.MP3"), 6.0);
    const QByteArray before = test::readAll(input);
    test::NextModal<SplitDialog> split([](SplitDialog *dialog) {
        dialog->countEdit()->setValue(3);
        dialog->accept();
    });
    m_window->runCommand(CommandId::Split);
    ASSERT_TRUE(split.handled());

    for (int part = 1; part <= 3; ++part) {
        const QString path = m_folder.file(QStringLiteral("talk_%1.mp3").arg(part));
        ASSERT_TRUE(QFile::exists(path)) << part;
        EXPECT_EQ(firstFrameBitrate(path), 128000);
        EXPECT_NEAR(seconds(path), 2, 1) << part;
    }
    EXPECT_FALSE(QFile::exists(m_folder.file(QStringLiteral("talk_4.mp3"))));
    EXPECT_EQ(test::readAll(input), before);
    // The parts are new files beside the input; the list keeps showing the input only.
    ASSERT_EQ(list().rowCount(), 1);
    EXPECT_EQ(list().pathOfRow(0), input);
}

TEST_F(ProcessCommandsTest, CancelInTheParameterDialogRunsNothing)
{
    addTone(QStringLiteral("talk.mp3"), 2.0);
    test::NextModal<SplitDialog> split([](SplitDialog *dialog) { dialog->reject(); });
    m_window->runCommand(CommandId::Split);
    ASSERT_TRUE(split.handled());
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("talk.mp3")});
}

TEST_F(ProcessCommandsTest, JoinPreselectsTheFirstFilesRateAndWritesOneFile)
{
    const QString first = addTone(QStringLiteral("a.mp3"), 3.0, 64);
    addTone(QStringLiteral("b.mp3"), 4.0, 128);
    const QString output = m_folder.file(QStringLiteral("joined.mp3"));
    int preselected = -1;
    test::NextModal<JoinDialog> join([&](JoinDialog *dialog) {
        preselected = dialog->dataRateIndex();
        dialog->outputEdit()->setText(output);
        dialog->accept();
    });
    m_window->runCommand(CommandId::Join);
    ASSERT_TRUE(join.handled());

    EXPECT_EQ(preselected, 7); // 64 kbps, the first selected file's rate
    ASSERT_TRUE(QFile::exists(output));
    EXPECT_EQ(firstFrameBitrate(output), 64000);
    EXPECT_NEAR(seconds(output), 7, 1);
    EXPECT_EQ(list().rowCount(), 2);
    EXPECT_EQ(firstFrameBitrate(first), 64000);
}

TEST_F(ProcessCommandsTest, AFirstFileAtAnUnlistedRatePreselectsTheSettingsRate)
{
    addTone(QStringLiteral("odd.mp3"), 1.0, 192);
    settings().setBitRateIndex(3);
    int preselected = -1;
    test::NextModal<BitrateVolumeDialog> change([&](BitrateVolumeDialog *dialog) {
        preselected = dialog->dataRateIndex();
        dialog->reject();
    });
    m_window->runCommand(CommandId::ChangeBitrate);
    ASSERT_TRUE(change.handled());
    EXPECT_EQ(preselected, 3);
}

TEST_F(ProcessCommandsTest, ChangeBitrateRewritesInPlaceAndMeasuresTheRowsAgain)
{
    const QString path = addTone(QStringLiteral("song.mp3"), 8.0, 128);
    const QString sizeBefore = list().row(0)[FileList::SizeColumn];
    int preselected = -1;
    test::NextModal<BitrateVolumeDialog> change([&](BitrateVolumeDialog *dialog) {
        preselected = dialog->dataRateIndex();
        dialog->setDataRateIndex(3); // 32 kbps
        dialog->accept();
    });
    m_window->runCommand(CommandId::ChangeBitrate);
    ASSERT_TRUE(change.handled());

    EXPECT_EQ(preselected, 11); // 128 kbps
    EXPECT_EQ(firstFrameBitrate(path), 32000);
    const int kilobytes = static_cast<int>(QFileInfo(path).size() / 1024);
    EXPECT_EQ(list().row(0)[FileList::SizeColumn], QStringLiteral("%1KB").arg(kilobytes));
    EXPECT_NE(list().row(0)[FileList::SizeColumn], sizeBefore);
}

TEST_F(ProcessCommandsTest, TrimCopiesTheMiddleAndTheListShowsTheNewLength)
{
    const QString path = addTone(QStringLiteral("long.mp3"), 30.0);
    EXPECT_EQ(list().row(0)[FileList::TimeColumn], QStringLiteral("0:30"));
    bool rateEnabled = true;
    test::NextModal<TrimDialog> trim([&](TrimDialog *dialog) {
        rateEnabled = dialog->rateList()->isEnabled();
        dialog->accept();
    });
    m_window->runCommand(CommandId::Trim);
    ASSERT_TRUE(trim.handled());

    EXPECT_FALSE(rateEnabled);
    EXPECT_NEAR(seconds(path), 10, 1);
    EXPECT_EQ(list().row(0)[FileList::TimeColumn], QStringLiteral("0:%1").arg(seconds(path), 2, 10, QLatin1Char('0')));
    EXPECT_EQ(firstFrameBitrate(path), 128000);
}

TEST_F(ProcessCommandsTest, TrimWithReCodeEncodesAtTheChosenRate)
{
    const QString path = addTone(QStringLiteral("long.mp3"), 25.0);
    test::NextModal<TrimDialog> trim([&](TrimDialog *dialog) {
        dialog->recodeCheck()->click();
        dialog->setDataRateIndex(7);
        dialog->startEdits()[2]->setValue(5);
        dialog->endEdits()[2]->setValue(0);
        dialog->accept();
    });
    m_window->runCommand(CommandId::Trim);
    ASSERT_TRUE(trim.handled());
    EXPECT_EQ(firstFrameBitrate(path), 64000);
    EXPECT_NEAR(seconds(path), 20, 1);
}

TEST_F(ProcessCommandsTest, Mp3ToWavWritesIntoTheChosenFolder)
{
    addTone(QStringLiteral("Voice.MP3"), 2.0);
    const QString target = m_folder.file(QStringLiteral("wavs"));
    ASSERT_TRUE(QDir().mkpath(target));
    QString title;
    test::NextModal<FolderBrowser> browse([&](FolderBrowser *browser) {
        title = browser->windowTitle();
        browser->tree()->setCurrentItem(browser->selectPath(target));
        browser->accept();
    });
    m_window->runCommand(CommandId::Mp3ToWav);
    ASSERT_TRUE(browse.handled());

    EXPECT_EQ(title, QStringLiteral("Select Wav File Path"));
    const QString wav = target + QStringLiteral("/voice.Wav");
    ASSERT_TRUE(QFile::exists(wav));
    WaveFile file;
    ASSERT_EQ(file.open(wav, nullptr, WaveFile::ReadMode), WaveFile::Result::Success);
    EXPECT_EQ(file.format()->samplesPerSec, 44100u);
    EXPECT_EQ(file.format()->avgBytesPerSec, 176400u);
    EXPECT_EQ(file.format()->blockAlign, 4);
}

TEST_F(ProcessCommandsTest, Mp3ToWavCancelledInTheBrowserWritesNothing)
{
    addTone(QStringLiteral("voice.mp3"), 1.0);
    test::NextModal<FolderBrowser> browse([](FolderBrowser *browser) { browser->reject(); });
    m_window->runCommand(CommandId::Mp3ToWav);
    ASSERT_TRUE(browse.handled());
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("voice.mp3")});
}

TEST_F(ProcessCommandsTest, WavToMp3NeedsNoSelectionAndEncodesTheChosenWav)
{
    const QString wav = m_folder.file(QStringLiteral("tone.wav"));
    {
        const WaveFormat format = test::pcmFormat(22050, 1);
        WaveFile file;
        ASSERT_EQ(file.open(wav, &format, WaveFile::WriteMode), WaveFile::Result::Success);
        const QByteArray pcm = test::sinePcm(22050, 1, 3.0, 440.0, 8000);
        std::uint32_t written = 0;
        ASSERT_EQ(file.write(static_cast<std::uint32_t>(pcm.size()), pcm.constData(), &written),
                  WaveFile::Result::Success);
        ASSERT_EQ(file.close(), WaveFile::Result::Success);
    }
    const QString mp3 = m_folder.file(QStringLiteral("tone.mp3"));
    int preselected = -1;
    test::NextModal<WavToMp3Dialog> convert([&](WavToMp3Dialog *dialog) {
        preselected = dialog->dataRateIndex();
        dialog->wavEdit()->setText(wav);
        dialog->mp3Edit()->setText(mp3);
        dialog->setDataRateIndex(5);
        dialog->accept();
    });
    m_window->runCommand(CommandId::WavToMp3);
    ASSERT_TRUE(convert.handled());

    EXPECT_EQ(preselected, 13);
    ASSERT_TRUE(QFile::exists(mp3));
    EXPECT_EQ(firstFrameBitrate(mp3), 48000);
    EXPECT_NEAR(seconds(mp3), 3, 1);
}

TEST_F(ProcessCommandsTest, JoinWithoutAnOutputNameReportsItAndWritesNothing)
{
    addTone(QStringLiteral("a.mp3"), 1.0);
    addTone(QStringLiteral("b.mp3"), 1.0);
    test::NextModal<JoinDialog> join([](JoinDialog *dialog) { dialog->accept(); });
    test::MessageBoxAnswer error;
    m_window->runCommand(CommandId::Join);
    ASSERT_TRUE(join.handled());
    EXPECT_FALSE(error.text().isEmpty());
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList({QStringLiteral("a.mp3"), QStringLiteral("b.mp3")}));
}

TEST_F(ProcessCommandsTest, WavToMp3WithoutAWavReportsTheEmptyName)
{
    const QString mp3 = m_folder.file(QStringLiteral("out.mp3"));
    test::NextModal<WavToMp3Dialog> convert([&](WavToMp3Dialog *dialog) {
        dialog->mp3Edit()->setText(mp3);
        dialog->accept();
    });
    test::MessageBoxAnswer error;
    m_window->runCommand(CommandId::WavToMp3);
    ASSERT_TRUE(convert.handled());
    EXPECT_EQ(error.text(), QStringLiteral("Open File  Error"));
    EXPECT_FALSE(QFile::exists(mp3));
}

// Ctrl-click two rows, click one of them again, Trim, OK: the list shows one row selected, and
// only that file is trimmed.
TEST_F(ProcessCommandsTest, AClickOnOneOfTwoSelectedRowsLeavesOnlyItToTrim)
{
    const QString first = addTone(QStringLiteral("first.mp3"), 30.0);
    const QString second = addTone(QStringLiteral("second.mp3"), 30.0);
    list().selectionModel()->clearSelection();
    auto *view = m_window->findChild<FileListView *>(QStringLiteral("fileList"));
    ASSERT_NE(view, nullptr);
    auto rowCentre = [&](int row) { return view->visualRect(list().index(row, FileList::NameColumn)).center(); };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(1));
    ASSERT_EQ(list().selectedRows(), (std::vector<int>{0, 1}));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    EXPECT_EQ(list().selectedRows(), std::vector<int>{1});
    // The rename editor of a click on a selected row opens after the double-click time.
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    EXPECT_EQ(view->findChild<QLineEdit *>(), nullptr) << "no rename while several rows were selected";
    test::saveScreenshot(*m_window, QStringLiteral("filelist-one-of-two.png"));

    test::NextModal<TrimDialog> trim([](TrimDialog *dialog) { dialog->accept(); });
    m_window->runCommand(CommandId::Trim);
    ASSERT_TRUE(trim.handled());
    EXPECT_NEAR(seconds(first), 30, 1) << "the row the list showed unselected is untouched";
    EXPECT_NEAR(seconds(second), 10, 1);
}

TEST_F(ProcessCommandsTest, TheSelectionAtOkIsWhatTheCommandTakes)
{
    const QString first = addTone(QStringLiteral("first.mp3"), 30.0);
    const QString second = addTone(QStringLiteral("second.mp3"), 30.0);
    ASSERT_EQ(list().selectedRows().size(), 2U);
    test::NextModal<TrimDialog> trim([&](TrimDialog *dialog) {
        list().selectRow(0); // as when a closing rename editor changes it
        dialog->accept();
    });
    m_window->runCommand(CommandId::Trim);
    ASSERT_TRUE(trim.handled());
    EXPECT_NEAR(seconds(first), 10, 1);
    EXPECT_NEAR(seconds(second), 30, 1);
    EXPECT_EQ(list().row(0)[FileList::TimeColumn], QStringLiteral("0:%1").arg(seconds(first), 2, 10, QLatin1Char('0')));
}

TEST_F(ProcessCommandsTest, JoinRefusesAnOutputItCannotCreateBeforeDecoding)
{
    addTone(QStringLiteral("a.mp3"), 1.0);
    addTone(QStringLiteral("b.mp3"), 1.0);
    for (const QString &output : {QString(), m_folder.file(QStringLiteral("missing/joined.mp3")), m_folder.path()}) {
        test::NextModal<JoinDialog> join([&](JoinDialog *dialog) {
            dialog->outputEdit()->setText(output);
            dialog->accept();
        });
        // The message comes while the progress window has not been opened.
        QString shown;
        bool progressSeen = false;
        test::NextModal<QMessageBox> message([&](QMessageBox *box) {
            shown = box->text();
            progressSeen = m_window->findChild<ProgressDialog *>() != nullptr;
            box->done(QMessageBox::Ok);
        });
        m_window->runCommand(CommandId::Join);
        ASSERT_TRUE(join.handled());
        EXPECT_EQ(shown, QStringLiteral("The MP3 file could not be created.")) << output.toStdString();
        EXPECT_FALSE(progressSeen);
    }
}

} // namespace
} // namespace sonavell
