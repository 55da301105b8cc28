// The recorder window in its skinned look: the flat menu bar's keyboard and mouse navigation, the
// skins given to its controls, and pictures of it at normal and double density.
#include "gui/app/recorderwindow.h"

#include "core/settings/recordersettings.h"
#include "core/settings/silencetest.h"
#include "gui/record/recordsourcegroup.h"
#include "gui/skin/menubar.h"
#include "gui/skin/skinbutton.h"
#include "gui/skin/skinslider.h"
#include "gui/skin/timedisplay.h"
#include "platform/fakeaudioinput.h"
#include "platform/fakemixer.h"
#include "testsupport.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

enum Popup { FileMenu, RecordMenu, OptionsMenu, HelpMenu };

class SkinnedWindowTest : public ::testing::Test
{
protected:
    SkinnedWindowTest()
    {
        m_saved = settings();
        settings().setSaveDirectory(m_folder.path() + QLatin1Char('/'));
        settings().setFileList({});
        settings().setRecordFormat(WaveFormat{1, 2, 44100, 0, 0, 16, 0}.normalizedPcm());
        m_mixer.addSource(QStringLiteral("Mic"), 0, 65535, 30000);
        m_mixer.addSource(QStringLiteral("Line"), 0, 65535, 20000);
        m_mixer.setSelector(MixerSelector::Kind::Multiplexer, {QStringLiteral("Mic"), QStringLiteral("Line")},
                            1);
        m_window = std::make_unique<RecorderWindow>(m_input, m_mixer);
        m_window->resize(760, 600);
        m_window->show();
        m_bar = qobject_cast<MenuBar *>(m_window->menuBar());
    }
    ~SkinnedWindowTest() override
    {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        m_window.reset();
        settings() = m_saved;
        recordLevel = 0;
    }

    QMenu *popup(int index) const { return m_bar->actions().at(index)->menu(); }
    QPoint itemCentre(int index) const { return m_bar->actionGeometry(m_bar->actions().at(index)).center(); }

    // The popup that is open now, once it is up; null when none opens.
    QMenu *openPopup() const
    {
        (void)QTest::qWaitFor(
            [] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()) != nullptr; }, 2000);
        return qobject_cast<QMenu *>(QApplication::activePopupWidget());
    }

    void saveScreenshot(const QImage &image, const QString &name)
    {
        QDir().mkpath(QStringLiteral(SONAVELL_SCREENSHOT_DIR));
        image.save(QStringLiteral(SONAVELL_SCREENSHOT_DIR) + QLatin1Char('/') + name);
    }

    test::TempFolder m_folder;
    RecorderSettings m_saved;
    FakeAudioInput m_input;
    FakeMixer m_mixer;
    std::unique_ptr<RecorderWindow> m_window;
    MenuBar *m_bar = nullptr;
};

TEST_F(SkinnedWindowTest, LeftAndRightWrapAroundThePopups)
{
    ASSERT_NE(m_bar, nullptr);
    m_bar->openCurrent(HelpMenu);
    ASSERT_EQ(openPopup(), popup(HelpMenu));
    QTest::keyClick(popup(HelpMenu), Qt::Key_Right);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == popup(FileMenu); }, 2000));
    EXPECT_FALSE(popup(HelpMenu)->isVisible());
    EXPECT_EQ(m_bar->current(), FileMenu);

    QTest::keyClick(popup(FileMenu), Qt::Key_Left);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == popup(HelpMenu); }, 2000));
    EXPECT_FALSE(popup(FileMenu)->isVisible());

    QTest::keyClick(popup(HelpMenu), Qt::Key_Left);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activePopupWidget() == popup(OptionsMenu); }, 2000));
    QTest::keyClick(popup(OptionsMenu), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }, 2000));
}

TEST_F(SkinnedWindowTest, MnemonicOpensItsPopup)
{
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(openPopup(), popup(OptionsMenu));
}

TEST_F(SkinnedWindowTest, OpenItemIsFramedAndFilled)
{
    m_bar->openCurrent(RecordMenu);
    ASSERT_EQ(openPopup(), popup(RecordMenu));
    const QRect item = m_bar->actionGeometry(m_bar->actions().at(RecordMenu));
    const QImage bar = m_bar->grab().toImage();
    EXPECT_EQ(QColor(bar.pixel(item.left(), item.center().y())), MenuBar::kHotFrame);
    EXPECT_EQ(QColor(bar.pixel(item.left() + 2, item.top() + 2)), MenuBar::kHotFill);
    const QRect other = m_bar->actionGeometry(m_bar->actions().at(HelpMenu));
    EXPECT_EQ(QColor(bar.pixel(other.left() + 2, other.top() + 2)), QColor(200, 200, 200));
}

TEST_F(SkinnedWindowTest, MovingOverAnotherItemSwitchesPopups)
{
    QTest::mouseClick(m_bar, Qt::LeftButton, {}, itemCentre(FileMenu));
    ASSERT_EQ(openPopup(), popup(FileMenu));
    // Through the window system, as a real mouse: the open popup sees the move first.
    QTest::mouseMove(m_window->windowHandle(), m_bar->mapTo(m_window.get(), itemCentre(RecordMenu)));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activePopupWidget() == popup(RecordMenu); }, 2000));
    EXPECT_FALSE(popup(FileMenu)->isVisible());
}

TEST_F(SkinnedWindowTest, ClickingTheOpenItemClosesItsPopup)
{
    // Through the window system, as a real mouse: the open popup sees the click first.
    const QPoint file = m_bar->mapTo(m_window.get(), itemCentre(FileMenu));
    QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {}, file);
    ASSERT_EQ(openPopup(), popup(FileMenu));
    QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {}, file);
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }, 2000));
    EXPECT_FALSE(popup(FileMenu)->isVisible());
    // ... and stays closed: the click did not open it again.
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(SkinnedWindowTest, OptionsPopupShowsThePlayLoopSetting)
{
    QAction *loop = m_window->action(CommandId::PlayLoop);
    ASSERT_NE(loop, nullptr);
    for (bool on : {false, true, false}) {
        settings().setPlayLoop(on);
        m_bar->openCurrent(OptionsMenu);
        ASSERT_EQ(openPopup(), popup(OptionsMenu));
        EXPECT_TRUE(loop->isCheckable());
        EXPECT_EQ(loop->isChecked(), on);
        popup(OptionsMenu)->close();
        ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }, 2000));
    }
}

TEST_F(SkinnedWindowTest, ControlsWearTheirSkins)
{
    const std::pair<const char *, bool> buttons[] = {{"recordButton", true}, {"pauseButton", true},
                                                     {"stopButton", false},  {"optionButton", false},
                                                     {"playButton", false},  {"tagEditButton", false}};
    for (const auto &[name, toggle] : buttons) {
        auto *button = m_window->findChild<QPushButton *>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        SkinButton *skin = SkinButton::of(button);
        ASSERT_NE(skin, nullptr) << name;
        EXPECT_EQ(skin->toggleMode(), toggle) << name;
    }
    EXPECT_EQ(m_window->findChild<QPushButton *>(QStringLiteral("tagEditButton"))->size(), QSize(48, 45));
    auto *group = m_window->findChild<RecordSourceGroup *>(QStringLiteral("recordControl"));
    for (int row = 0; row < RecordSourceGroup::kRows; ++row) {
        ASSERT_NE(SkinSlider::of(group->slider(row)), nullptr);
        EXPECT_EQ(SkinSlider::of(group->slider(row))->grooveStyle(), 1);
        EXPECT_NE(group->radio(row)->style(), m_window->style());
    }
}

TEST_F(SkinnedWindowTest, RecordShowsItsLitFaceWhileRecording)
{
    auto *record = m_window->findChild<QPushButton *>(QStringLiteral("recordButton"));
    m_input.allowBuffers(4);
    m_window->runCommand(CommandId::Record); // from the menu: no click on the button
    EXPECT_TRUE(record->isChecked());
    EXPECT_TRUE(SkinButton::of(record)->showsActiveFace());
    m_window->runCommand(CommandId::Stop);
    EXPECT_FALSE(record->isChecked());
    EXPECT_FALSE(SkinButton::of(record)->showsActiveFace());
}

TEST_F(SkinnedWindowTest, PlayerPanelWearsItsSkins)
{
    const std::tuple<const char *, bool, QSize> buttons[] = {
        {"playerPlayButton", true, {36, 35}},  {"playerPauseButton", true, {36, 35}},
        {"playerStopButton", false, {36, 35}}, {"playerStartButton", false, {36, 35}},
        {"playerEndButton", false, {36, 35}},  {"removeButton", false, {84, 38}},
        {"saveButton", false, {84, 38}}};
    for (const auto &[name, toggle, size] : buttons) {
        auto *button = m_window->findChild<QPushButton *>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        ASSERT_NE(SkinButton::of(button), nullptr) << name;
        EXPECT_EQ(SkinButton::of(button)->toggleMode(), toggle) << name;
        EXPECT_EQ(button->size(), size) << name;
    }
    EXPECT_EQ(SkinSlider::of(m_window->findChild<QSlider *>(QStringLiteral("positionSlider")))->grooveStyle(),
              0);
    EXPECT_EQ(SkinSlider::of(m_window->findChild<QSlider *>(QStringLiteral("volumeSlider")))->grooveStyle(),
              1);

    auto *time = m_window->findChild<TimeDisplay *>(QStringLiteral("timeTextDisplay"));
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->style(), 0);
    EXPECT_EQ(time->text(), QStringLiteral("00:00 / 00:00"));
    auto *label = m_window->findChild<QLabel *>(QStringLiteral("timeText"));
    m_window->runCommand(CommandId::TagEditButton); // the panel opens
    label->setText(QStringLiteral("00:07 / 01:02"));
    (void)m_window->grab(); // the label is asked to paint its new text
    EXPECT_TRUE(time->isVisible());
    EXPECT_EQ(label->text(), QStringLiteral("00:07 / 01:02"));
    EXPECT_TRUE(time->isVisible());
    EXPECT_EQ(time->geometry(), label->geometry());
    EXPECT_EQ(time->text(), QStringLiteral("00:07 / 01:02"));

    // Play is lit while it plays (greyed) and goes out once it can be pressed again.
    auto *play = m_window->findChild<QPushButton *>(QStringLiteral("playerPlayButton"));
    play->setChecked(true);
    play->setEnabled(false);
    EXPECT_TRUE(SkinButton::of(play)->showsActiveFace());
    play->setEnabled(true);
    EXPECT_FALSE(SkinButton::of(play)->showsActiveFace());
}

TEST_F(SkinnedWindowTest, PicturesAtNormalAndDoubleDensity)
{
    m_window->runCommand(CommandId::TagEditButton); // with the player panel open
    QApplication::processEvents();
    saveScreenshot(m_window->grab().toImage(), QStringLiteral("skinned-window-1x.png"));
    QImage dense(m_window->size() * 2, QImage::Format_ARGB32_Premultiplied);
    dense.setDevicePixelRatio(2);
    dense.fill(Qt::transparent);
    m_window->render(&dense);
    saveScreenshot(dense, QStringLiteral("skinned-window-2x.png"));
    // The band's name bitmap comes from its sharper picture: no two neighbouring device pixels of
    // the record dot's rim are forced equal as an upscaled picture would make them.
    const QImage normal = m_window->grab().toImage();
    EXPECT_EQ(QColor(dense.pixel(2 * 400, 2 * 10)), QColor(normal.pixel(400, 10)));
    int differingPairs = 0;
    for (int x = 0; x < 2 * 185; x += 2)
        differingPairs += dense.pixel(x, 31) != dense.pixel(x + 1, 31) ? 1 : 0;
    EXPECT_GT(differingPairs, 10);
}

} // namespace
} // namespace sonavell
