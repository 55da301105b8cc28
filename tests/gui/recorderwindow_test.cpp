#include "gui/app/recorderwindow.h"

#include "core/encode/mp3encoder.h"
#include "core/files/filelist.h"
#include "core/settings/recordersettings.h"
#include "core/settings/silencetest.h"
#include "gui/files/filelistview.h"
#include "gui/record/recordsourcegroup.h"
#include "platform/fakeaudioinput.h"
#include "platform/fakemixer.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

namespace sonavell {
namespace {

constexpr int kRate = 44100;

// Answers the next message box with its default button and remembers its text.
class MessageBoxCatcher
{
public:
    MessageBoxCatcher()
    {
        QTimer::singleShot(0, [this] { poll(); });
    }
    QString text() const { return m_text; }

private:
    void poll()
    {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            m_text = box->text();
            box->done(QMessageBox::Ok);
            return;
        }
        if (++m_tries < 200)
            QTimer::singleShot(5, [this] { poll(); });
    }
    QString m_text;
    int m_tries = 0;
};

class RecorderWindowTest : public ::testing::Test
{
protected:
    RecorderWindowTest()
    {
        m_saved = settings();
        settings().setSaveDirectory(m_folder.path() + QLatin1Char('/'));
        settings().setFileList({});
        settings().setRecordFormat(WaveFormat{1, 2, kRate, 0, 0, 16, 0}.normalizedPcm());
        m_mixer.addSource(QStringLiteral("Mic"), 0, 65535, 30000);
        m_mixer.addSource(QStringLiteral("Line"), 0, 65535, 20000);
        m_mixer.setSelector(MixerSelector::Kind::Multiplexer, {QStringLiteral("Mic"), QStringLiteral("Line")}, 1);
        m_input.setSignal([](std::uint64_t frame, int) {
            return static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * 440 * double(frame) / kRate));
        });
        m_window = std::make_unique<RecorderWindow>(m_input, m_mixer);
        m_window->resize(720, 600);
        m_window->show();
    }
    ~RecorderWindowTest() override
    {
        m_window.reset();
        settings() = m_saved;
        recordLevel = 0;
    }

    template <typename T>
    T *child(const char *name) const
    {
        return m_window->findChild<T *>(QString::fromLatin1(name));
    }

    void saveScreenshot(const QString &name)
    {
        QDir().mkpath(QStringLiteral(SONAVELL_SCREENSHOT_DIR));
        m_window->grab().save(QStringLiteral(SONAVELL_SCREENSHOT_DIR) + QLatin1Char('/') + name);
    }

    test::TempFolder m_folder;
    RecorderSettings m_saved;
    FakeAudioInput m_input;
    FakeMixer m_mixer;
    std::unique_ptr<RecorderWindow> m_window;
};

TEST_F(RecorderWindowTest, ShowsItsPartsWithTheirTexts)
{
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Sonavell "));
    EXPECT_EQ(child<QPushButton>("recordButton")->text(), QStringLiteral("Record"));
    EXPECT_EQ(child<QPushButton>("pauseButton")->text(), QStringLiteral("Pause"));
    EXPECT_FALSE(child<QPushButton>("pauseButton")->isEnabled());
    EXPECT_EQ(child<QPushButton>("stopButton")->text(), QStringLiteral("Stop"));
    EXPECT_EQ(child<QPushButton>("optionButton")->text(), QStringLiteral("Option"));
    EXPECT_EQ(child<QPushButton>("playButton")->text(), QStringLiteral("Play"));
    EXPECT_EQ(child<QPushButton>("tagEditButton")->text(), QStringLiteral("Open/Close Tag Edit"));
    EXPECT_EQ(child<QLabel>("recordFileLabel")->text(), QStringLiteral("Record File"));
    EXPECT_EQ(child<QGroupBox>("recordControl")->title(), QStringLiteral("Record Control"));
    EXPECT_EQ(m_window->timeDisplay()->text(), QStringLiteral("00 : 00"));

    QStringList menus;
    for (QAction *action : m_window->menuBar()->actions())
        menus << action->text();
    EXPECT_EQ(menus, (QStringList{QStringLiteral("&File"), QStringLiteral("&Record"), QStringLiteral("&Options"),
                                  QStringLiteral("&Help")}));

    // The mixer's two inputs fill two rows; the chosen one is checked and sets the record level.
    auto *group = child<RecordSourceGroup>("recordControl");
    EXPECT_TRUE(group->radio(0)->isVisibleTo(group));
    EXPECT_TRUE(group->radio(1)->isVisibleTo(group));
    EXPECT_FALSE(group->radio(2)->isVisibleTo(group));
    EXPECT_EQ(group->radio(0)->text(), QStringLiteral("Mic"));
    EXPECT_TRUE(group->radio(1)->isChecked());
    EXPECT_EQ(group->slider(1)->value(), 20000);
    EXPECT_EQ(recordLevel.load(), 20000);
    saveScreenshot(QStringLiteral("recorderwindow.png"));
}

TEST_F(RecorderWindowTest, RecordingEndsAsAListedFile)
{
    child<QLineEdit>("recordFileEdit")->setText(QStringLiteral("take1"));
    m_input.allowBuffers(150); // about four seconds
    QTest::mouseClick(child<QPushButton>("recordButton"), Qt::LeftButton);
    EXPECT_FALSE(child<QPushButton>("recordButton")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("pauseButton")->isEnabled());
    ASSERT_TRUE(m_input.waitForDelivered(150));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->timeDisplay()->text() == QStringLiteral("00 : 03"); }, 5000));
    saveScreenshot(QStringLiteral("recording.png"));
    QTest::mouseClick(child<QPushButton>("stopButton"), Qt::LeftButton);

    FileList &list = m_window->fileList();
    ASSERT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.row(0)[FileList::NameColumn], QStringLiteral("take1.mp3"));
    EXPECT_EQ(list.row(0)[FileList::TimeColumn], QStringLiteral("0:03"));
    EXPECT_TRUE(child<QPushButton>("recordButton")->isEnabled());
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Sonavell"));
}

// GIVEN what a killed recording leaves in the save folder, WHEN the window starts, THEN the take
// is listed under its ".mp3" name and a box (not holding up the window) says so.
TEST_F(RecorderWindowTest, InterruptedRecordingIsRecoveredListedAndReported)
{
    const QString killed = m_folder.file(QStringLiteral("2024-05-01-09-30"));
    {
        Mp3Encoder encoder;
        encoder.setFormat(WaveFormat{1, 2, kRate, 0, 0, 16, 0}.normalizedPcm());
        encoder.setPath(m_folder.file(QStringLiteral("scratch")));
        ASSERT_TRUE(encoder.start(0));
        const QByteArray pcm = test::sinePcm(kRate, 2, 3.0, 440, 10000);
        for (qsizetype at = 0; at + encoder.bytesPerChunk() <= pcm.size(); at += encoder.bytesPerChunk())
            encoder.encodeChunk(pcm.constData() + at);
        ASSERT_TRUE(test::writeAll(killed, test::readAll(m_folder.file(QStringLiteral("scratch")))));
    }
    QFile::remove(m_folder.file(QStringLiteral("scratch")));
    const test::TempFolder markers;
    const QString message = m_window->recoverInterruptedRecordings(markers.path());
    const QString listed = m_folder.file(QStringLiteral("2024-05-01-09-30.mp3"));
    EXPECT_TRUE(message.contains(listed + QStringLiteral(" (0:03)"))) << message.toStdString();
    ASSERT_EQ(m_window->fileList().rowCount(), 1);
    EXPECT_EQ(m_window->fileList().pathOfRow(0), listed);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const auto boxes = m_window->findChildren<QMessageBox *>();
        return !boxes.isEmpty() && boxes.front()->isVisible() && boxes.front()->text() == message;
    }));
    EXPECT_TRUE(m_window->recoverInterruptedRecordings(markers.path()).isEmpty());
}

TEST_F(RecorderWindowTest, SelectionCommandsRefuseAnEmptySelection)
{
    MessageBoxCatcher catcher;
    m_window->runCommand(CommandId::ChangeBitrate);
    EXPECT_EQ(catcher.text(), QStringLiteral("There is not selected file!"));
}

TEST_F(RecorderWindowTest, EnableRulesFollowTheList)
{
    EXPECT_FALSE(m_window->isCommandEnabled(CommandId::Join));
    EXPECT_FALSE(m_window->isCommandEnabled(CommandId::UpdatePlayerOrder));
    ASSERT_TRUE(test::writeAll(m_folder.file(QStringLiteral("a.mp3")), QByteArray(2048, '\0')));
    m_window->fileList().addFile(m_folder.file(QStringLiteral("a.mp3")));
    // Joining needs a listed file, nothing more.
    EXPECT_TRUE(m_window->isCommandEnabled(CommandId::Join));
    // A temporary folder is on a fixed disk.
    EXPECT_FALSE(m_window->isCommandEnabled(CommandId::UpdatePlayerOrder));
    EXPECT_TRUE(m_window->isCommandEnabled(CommandId::SelectAll));

    m_window->runCommand(CommandId::PlayLoop);
    EXPECT_FALSE(settings().playLoop());
    m_window->runCommand(CommandId::PlayLoop);
    EXPECT_TRUE(settings().playLoop());
}

TEST_F(RecorderWindowTest, ListCommandsWorkThroughTheTable)
{
    for (const char *name : {"a.mp3", "b.mp3", "c.mp3"}) {
        ASSERT_TRUE(test::writeAll(m_folder.file(QString::fromLatin1(name)), QByteArray(2048, '\0')));
        m_window->fileList().addFile(m_folder.file(QString::fromLatin1(name)));
    }
    m_window->runCommand(CommandId::SelectAll);
    m_window->runCommand(CommandId::InvertSelection);
    EXPECT_TRUE(m_window->fileList().selectedRows().empty());
    m_window->fileList().selectRow(1);
    m_window->runCommand(CommandId::DeleteSelectedFiles);
    EXPECT_EQ(m_window->fileList().rowCount(), 2);
    EXPECT_FALSE(QFile::exists(m_folder.file(QStringLiteral("b.mp3"))));
    m_window->runCommand(CommandId::DeleteAllItems);
    EXPECT_EQ(m_window->fileList().rowCount(), 0);
    EXPECT_TRUE(QFile::exists(m_folder.file(QStringLiteral("a.mp3"))));
}

TEST_F(RecorderWindowTest, ListRowsSurviveTheWindow)
{
    ASSERT_TRUE(test::writeAll(m_folder.file(QStringLiteral("keep.mp3")), QByteArray(2048, '\0')));
    m_window->fileList().addFile(m_folder.file(QStringLiteral("keep.mp3")));
    m_window->close();
    EXPECT_EQ(settings().fileList(), QStringList{m_folder.file(QStringLiteral("keep.mp3"))});
    RecorderWindow again(m_input, m_mixer);
    EXPECT_EQ(again.fileList().rowCount(), 1);
}

TEST(RecorderWindowRules, SaveAsNameAndTrayLevelBar)
{
    EXPECT_EQ(RecorderWindow::saveAsName(QStringLiteral("/m/song")), QStringLiteral("/m/song.mp3"));
    EXPECT_EQ(RecorderWindow::saveAsName(QStringLiteral("/m/song.wav")), QStringLiteral("/m/song.mp3"));
    EXPECT_EQ(RecorderWindow::saveAsName(QStringLiteral("/m/song.MP3")), QStringLiteral("/m/song.mp3"));

    QImage base(16, 16, QImage::Format_ARGB32);
    base.fill(Qt::white);
    const QImage half = RecorderWindow::levelIcon(base, 16384);
    EXPECT_EQ(half.pixelColor(1, 1), QColor(Qt::white));          // the margin keeps the icon
    EXPECT_EQ(half.pixelColor(8, 4), QColor(Qt::black));          // above the bar
    EXPECT_EQ(half.pixelColor(8, 12), QColor(0, 255, 0));         // the bar, from the bottom margin up
    const QImage full = RecorderWindow::levelIcon(base, 32768);
    EXPECT_EQ(full.pixelColor(8, 3), QColor(0, 255, 0));
    EXPECT_EQ(full.pixelColor(8, 12), QColor(0, 255, 0));
    EXPECT_EQ(full.pixelColor(8, 13), QColor(Qt::white));
    EXPECT_EQ(RecorderWindow::levelIcon(base, 0).pixelColor(8, 12), QColor(Qt::black));
}

} // namespace
} // namespace sonavell
