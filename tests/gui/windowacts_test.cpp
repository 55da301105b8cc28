// The main window acting on what the user sees: keys, help, links, the tag panel after renames,
// the player time, closing, minimising and a recording that waits for sound.
#include "gui/app/recorderwindow.h"

#include "core/files/filelist.h"
#include "core/mp3/mp3fileinfo.h"
#include "core/settings/recordersettings.h"
#include "core/settings/silencetest.h"
#include "dialogtesthelpers.h"
#include "gui/app/aboutlinks.h"
#include "gui/play/playerpanel.h"
#include "gui/record/waveformstrip.h"
#include "gui/skin/windowband.h"
#include "mp3files.h"
#include "platform/fakeaudioinput.h"
#include "platform/fakemixer.h"
#include "testsupport.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

struct KeypadCase
{
    const char *name;
    int key;
    Qt::KeyboardModifiers modifiers;
    CommandId expected;
};

class KeypadKeys : public ::testing::TestWithParam<KeypadCase>
{
};

TEST_P(KeypadKeys, MapToTheirCommands)
{
    EXPECT_EQ(keypadCommand(GetParam().key, GetParam().modifiers), GetParam().expected);
}

constexpr Qt::KeyboardModifiers kCtrlPad = Qt::ControlModifier | Qt::KeypadModifier;

INSTANTIATE_TEST_SUITE_P(
    Table, KeypadKeys,
    ::testing::Values(KeypadCase{"ctrl_pad1_numlock", Qt::Key_1, kCtrlPad, CommandId::SelectAll},
                      KeypadCase{"ctrl_pad1_no_numlock", Qt::Key_End, kCtrlPad, CommandId::SelectAll},
                      KeypadCase{"ctrl_pad_divide", Qt::Key_Slash, kCtrlPad, CommandId::Open},
                      KeypadCase{"pad_delete", Qt::Key_Delete, Qt::KeypadModifier, CommandId::DeleteSelectedItems},
                      KeypadCase{"ctrl_pad_delete", Qt::Key_Delete, kCtrlPad, CommandId::DeleteSelectedFiles},
                      KeypadCase{"ctrl_row1_not_keypad", Qt::Key_1, Qt::ControlModifier, CommandId::Separator},
                      KeypadCase{"pad1_without_ctrl", Qt::Key_1, Qt::KeypadModifier, CommandId::Separator},
                      KeypadCase{"ctrl_shift_pad1", Qt::Key_1, kCtrlPad | Qt::ShiftModifier, CommandId::Separator}),
    [](const ::testing::TestParamInfo<KeypadCase> &info) { return std::string(info.param.name); });

TEST(MenuTexts, AnAmpersandBeforeABlankIsShown)
{
    EXPECT_EQ(menuText({CommandId::Trim, "&Trim Out Start & End Segment"}),
              QStringLiteral("&Trim Out Start && End Segment"));
    EXPECT_EQ(menuText({CommandId::Open, "&Open...\tCtrl+O"}), QStringLiteral("&Open...\tCtrl+O"));
    EXPECT_EQ(menuText({CommandId::Exit, "E&xit"}), QStringLiteral("E&xit"));
    EXPECT_EQ(menuText({CommandId::Exit, "a&&b &"}), QStringLiteral("a&&b &&"));
}

struct LinkCase
{
    const char *name;
    const char *configured;
    bool support;
    const char *expected; // empty: the contact page
};

class AboutLinks : public ::testing::TestWithParam<LinkCase>
{
};

TEST_P(AboutLinks, LeadToTheAddressOrTheContactPage)
{
    const QString configured = QString::fromLatin1(GetParam().configured);
    const QUrl target = GetParam().support ? supportTarget(configured) : homepageTarget(configured);
    const QString expected = QString::fromLatin1(GetParam().expected);
    EXPECT_EQ(target, expected.isEmpty() ? contactPage() : QUrl(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, AboutLinks,
    ::testing::Values(LinkCase{"home_none", "", false, ""},
                      LinkCase{"home_https", "https://example.org/sonavell", false, "https://example.org/sonavell"},
                      LinkCase{"home_file_refused", "file:///etc/passwd", false, ""},
                      LinkCase{"support_none", "", true, ""},
                      LinkCase{"support_address", "help@example.org", true,
                               "mailto:help@example.org?subject=Sonavell%20Version%201.15"},
                      LinkCase{"support_two_addresses_refused", "a@b.org,c@d.org", true, ""},
                      LinkCase{"support_header_refused", "a@b.org?cc=x@y.org", true, ""}),
    [](const ::testing::TestParamInfo<LinkCase> &info) { return std::string(info.param.name); });

class WindowActsTest : public ::testing::Test
{
protected:
    WindowActsTest()
    {
        m_saved = settings();
        settings().setSaveDirectory(m_folder.path() + QLatin1Char('/'));
        settings().setFileList({});
        settings().setRecordFormat(WaveFormat{1, 2, 44100, 0, 0, 16, 0}.normalizedPcm());
        m_mixer.addSource(QStringLiteral("Mic"), 0, 65535, 30000);
        m_mixer.setSelector(MixerSelector::Kind::Multiplexer, {QStringLiteral("Mic")}, 0);
        m_window = std::make_unique<RecorderWindow>(m_input, m_mixer);
        m_window->resize(720, 600);
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
    }
    ~WindowActsTest() override
    {
        m_window.reset();
        settings() = m_saved;
        recordLevel = 0;
    }

    FileList &list() { return m_window->fileList(); }
    PlayerPanel *panel() const { return m_window->findChild<PlayerPanel *>(); }
    template <typename T> T *child(const char *name) const
    {
        return m_window->findChild<T *>(QString::fromLatin1(name));
    }
    QString addTone(const QString &name, double seconds)
    {
        const QString path = m_folder.file(name);
        EXPECT_TRUE(test::makeToneMp3(path, seconds, 44100, 2, 128));
        EXPECT_TRUE(list().addFile(path));
        return path;
    }

    test::TempFolder m_folder;
    RecorderSettings m_saved;
    FakeAudioInput m_input;
    FakeMixer m_mixer;
    std::unique_ptr<RecorderWindow> m_window;
};

TEST_F(WindowActsTest, KeypadKeysReachTheWindowWithAndWithoutNumLock)
{
    addTone(QStringLiteral("a.mp3"), 1.0);
    addTone(QStringLiteral("b.mp3"), 1.0);
    QWidget *focus = child<QWidget>("fileList");
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_1, Qt::ControlModifier); // the main row's 1 is not the table's
    EXPECT_TRUE(list().selectedRows().empty());
    QTest::keyClick(focus, Qt::Key_End, kCtrlPad);
    EXPECT_EQ(list().selectedRows().size(), 2U);
    list().selectionModel()->clearSelection();
    QTest::keyClick(focus, Qt::Key_1, kCtrlPad);
    EXPECT_EQ(list().selectedRows().size(), 2U);
}

TEST_F(WindowActsTest, F1ShowsOneTitledHelpWindowAndRaisesIt)
{
    QTest::keyClick(m_window.get(), Qt::Key_F1);
    QWidget *help = m_window->helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Sonavell Help"));
    QTest::keyClick(m_window.get(), Qt::Key_F1);
    EXPECT_EQ(m_window->helpWindow(), help);
    EXPECT_EQ(m_window->findChildren<QTextBrowser *>().size(), 1);
    test::saveScreenshot(*help, QStringLiteral("help.png"));
}

TEST_F(WindowActsTest, HomepageAndSupportOpenTheContactPageWhenNoneIsConfigured)
{
    for (CommandId id : {CommandId::Homepage, CommandId::Support}) {
        ASSERT_TRUE(m_window->action(id)->isEnabled());
        m_window->runCommand(id);
        ASSERT_NE(m_window->helpWindow(), nullptr);
        EXPECT_EQ(m_window->helpWindow()->findChild<QTextBrowser *>()->source(), contactPage());
        m_window->helpWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QTextBrowser page;
    page.setSource(contactPage());
    EXPECT_TRUE(page.toPlainText().contains(QStringLiteral("support address")));
}

TEST_F(WindowActsTest, TheTrimItemShowsItsAmpersand)
{
    QAction *trim = m_window->action(CommandId::Trim);
    ASSERT_NE(trim, nullptr);
    EXPECT_EQ(trim->iconText(), QStringLiteral("Trim Out Start & End Segment"));
    auto *menu = qobject_cast<QMenu *>(trim->parent());
    ASSERT_NE(menu, nullptr);
    menu->popup(m_window->mapToGlobal(QPoint(20, 30)));
    test::saveScreenshot(*menu, QStringLiteral("file-menu.png"));
    menu->hide();
}

TEST_F(WindowActsTest, TheTagPanelFollowsARenameAndKeepsWhatWasTyped)
{
    const QString path = addTone(QStringLiteral("take.mp3"), 1.0);
    list().selectRow(0);
    ASSERT_EQ(panel()->tagPath(), path);
    auto *title = panel()->findChild<QLineEdit *>(QStringLiteral("titleEdit"));
    title->setText(QStringLiteral("Typed title"));

    // The in-place edit of the name column.
    ASSERT_TRUE(list().setData(list().index(0, FileList::NameColumn), QStringLiteral("renamed")));
    const QString renamed = m_folder.file(QStringLiteral("renamed.mp3"));
    EXPECT_EQ(panel()->tagPath(), renamed);
    EXPECT_EQ(title->text(), QStringLiteral("Typed title"));

    QTest::mouseClick(panel()->findChild<QPushButton *>(QStringLiteral("saveButton")), Qt::LeftButton);
    Mp3FileInfo info;
    ASSERT_TRUE(info.scanFile(renamed, false));
    EXPECT_EQ(info.title, QStringLiteral("Typed title"));

    // Deleted from disk: the panel lets go of it.
    list().deleteSelectedFiles();
    EXPECT_TRUE(panel()->tagPath().isEmpty());
    EXPECT_TRUE(title->text().isEmpty());
}

TEST_F(WindowActsTest, ThePlayerTimeFollowsTheSelectedFileWhileNothingPlays)
{
    addTone(QStringLiteral("short.mp3"), 2.0);
    addTone(QStringLiteral("long.mp3"), 65.0);
    auto *time = panel()->findChild<QLabel *>(QStringLiteral("timeText"));
    list().selectRow(0);
    EXPECT_EQ(time->text(), QStringLiteral("00:00 / 00:02"));
    list().selectRow(1);
    EXPECT_EQ(time->text(), QStringLiteral("00:00 / 01:05"));
}

TEST_F(WindowActsTest, ExitTakesTheWindowOffTheScreenBeforeItsWork)
{
    const QString kept = addTone(QStringLiteral("kept.mp3"), 1.0);
    bool visibleWhileSaving = true;
    m_input.allowBuffers(40);
    m_window->runCommand(CommandId::Record);
    ASSERT_TRUE(m_input.waitForDelivered(40));
    QObject::connect(&m_window->recording(), &RecordingControl::recordingChanged, m_window.get(),
                     [&](bool recording) {
                         if (!recording)
                             visibleWhileSaving = m_window->isVisible();
                     });
    m_window->runCommand(CommandId::Exit);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_FALSE(visibleWhileSaving) << "the recording stopped after the window left the screen";
    EXPECT_FALSE(m_window->recording().isRecording());
    EXPECT_TRUE(settings().fileList().contains(kept)) << "the list was saved";
}

TEST_F(WindowActsTest, MinimiseWithoutATrayMinimisesTheWindow)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    Q_EMIT m_window->findChild<WindowBand *>()->minimiseClicked();
    EXPECT_TRUE(m_window->isMinimized());
    EXPECT_FALSE(m_window->isInTray());
    EXPECT_TRUE(m_window->isVisible()) << "not hidden with nowhere to come back from";
}

TEST_F(WindowActsTest, ARecordingThatSkipsSilenceSaysItIsWaitingAndShowsTheThreshold)
{
    settings().setSilenceEnabled(true);
    settings().setSkipSilence(true);
    m_input.setSignal([](std::uint64_t, int) { return std::int16_t(40); }); // a quiet hum
    m_input.allowBuffers(60);
    m_window->runCommand(CommandId::Record);
    ASSERT_TRUE(m_input.waitForDelivered(60));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->timeDisplay()->text() == QStringLiteral("Waiting..."); }));
    EXPECT_TRUE(m_window->isWaitingForSound());

    auto *strip = m_window->findChild<WaveformStrip *>();
    const QImage picture = strip->grab().toImage();
    const int middle = 0x7FFF / std::max(1, 65535 / strip->height());
    const int offset = WaveformStrip::thresholdOffset(silenceThreshold(settings().sensitivity()), strip->height());
    int amber = 0;
    for (int x = 0; x < picture.width(); ++x)
        amber += picture.pixelColor(x, middle - offset) == QColor(255, 176, 0) ? 1 : 0;
    EXPECT_GT(amber, picture.width() / 3) << "a dashed threshold line above the middle";
    // The meter: its threshold mark, and the quiet input's grey bar below it.
    const int meterX = picture.width() - WaveformStrip::MeterWidth / 2;
    const int mark = WaveformStrip::meterY(silenceThreshold(settings().sensitivity()), strip->height());
    EXPECT_EQ(picture.pixelColor(meterX, mark), QColor(255, 176, 0));
    EXPECT_EQ(picture.pixelColor(meterX, strip->height() - 2), QColor(110, 110, 110));
    EXPECT_NE(picture.pixelColor(meterX, mark + 3), QColor(110, 110, 110)) << "the bar stays below the mark";
    test::saveScreenshot(*m_window, QStringLiteral("recording-waiting.png"));

    m_window->runCommand(CommandId::Stop);
    EXPECT_FALSE(m_window->isWaitingForSound());
    EXPECT_EQ(m_window->timeDisplay()->text(), QStringLiteral("00 : 00"));
}

} // namespace
} // namespace sonavell
