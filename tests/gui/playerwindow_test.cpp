#include "gui/app/recorderwindow.h"

#include "dialogtesthelpers.h"
#include "core/files/filelist.h"
#include "mp3files.h"
#include "core/settings/recordersettings.h"
#include "gui/play/playerpanel.h"
#include "platform/fakeaudioinput.h"
#include "platform/fakeaudiooutput.h"
#include "platform/fakemixer.h"
#include "testsupport.h"

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

// The player panel docked in the main window, driven by its Play button and file list.
class PlayerWindowTest : public ::testing::Test
{
protected:
    PlayerWindowTest()
    {
        m_saved = settings();
        settings().setFileList({});
        settings().setPlayLoop(false);
        m_output.allowBuffers(0);
        m_window = std::make_unique<RecorderWindow>(m_input, m_output, m_mixer);
        m_window->resize(640, 560);
        m_window->show();
        m_panel = m_window->findChild<PlayerPanel *>();
        m_frame = m_window->findChild<QFrame *>(QStringLiteral("playerFrame"));
    }
    ~PlayerWindowTest() override
    {
        m_window.reset();
        settings() = m_saved;
    }

    QString addSong(const QString &name)
    {
        const QString path = m_folder.file(name);
        EXPECT_TRUE(test::makeToneMp3(path, 0.5));
        EXPECT_TRUE(m_window->fileList().addFile(path));
        return path;
    }

    test::TempFolder m_folder;
    RecorderSettings m_saved;
    FakeAudioInput m_input;
    FakeAudioOutput m_output;
    FakeMixer m_mixer;
    std::unique_ptr<RecorderWindow> m_window;
    PlayerPanel *m_panel = nullptr;
    QFrame *m_frame = nullptr;
};

TEST_F(PlayerWindowTest, ThePanelSitsClosedInItsFrame)
{
    ASSERT_NE(m_panel, nullptr);
    ASSERT_NE(m_frame, nullptr);
    EXPECT_TRUE(m_frame->isAncestorOf(m_panel));
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_TRUE(m_window->isCommandEnabled(CommandId::PlayButton));
    m_window->runCommand(CommandId::TagEditButton);
    EXPECT_EQ(m_window->width(), 640) << "the open panel fits the window's width";
}

TEST_F(PlayerWindowTest, PlayWithoutASelectionAsksAndOpensThePanel)
{
    test::MessageBoxAnswer answer;
    m_window->findChild<QPushButton *>(QStringLiteral("playButton"))->click();
    EXPECT_EQ(answer.text(), QStringLiteral("Please select the mp3 file what you want to play!"));
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_EQ(m_panel->player(), nullptr);
}

// GIVEN two listed files WHEN the selection moves and Play is pressed THEN the panel shows the
// selected file's tag and plays it, and a second Play leaves the panel open.
TEST_F(PlayerWindowTest, SelectionShowsTheTagAndPlayPlaysIt)
{
    const QString first = addSong(QStringLiteral("first.mp3"));
    const QString second = addSong(QStringLiteral("second.mp3"));
    m_window->fileList().selectRow(0);
    EXPECT_EQ(m_panel->tagPath(), first);
    m_window->fileList().selectRow(1);
    EXPECT_EQ(m_panel->tagPath(), second);

    m_window->runCommand(CommandId::PlayButton);
    EXPECT_TRUE(m_frame->isVisible());
    ASSERT_NE(m_panel->player(), nullptr);
    EXPECT_EQ(m_panel->playPath(), second);
    EXPECT_TRUE(m_output.isOpen());
    m_window->runCommand(CommandId::PlayButton);
    EXPECT_TRUE(m_frame->isVisible());
    test::saveScreenshot(*m_window, QStringLiteral("playerwindow.png"));
}

TEST_F(PlayerWindowTest, ClosingTheWindowStopsPlaying)
{
    addSong(QStringLiteral("song.mp3"));
    m_window->fileList().selectRow(0);
    m_window->runCommand(CommandId::PlayButton);
    ASSERT_TRUE(m_output.isOpen());
    m_window.reset();
    EXPECT_FALSE(m_output.isOpen());
}

} // namespace
} // namespace sonavell
