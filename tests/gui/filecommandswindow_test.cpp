#include "gui/app/recorderwindow.h"

#include "../core/files/tinymp3.h"
#include "dialogtesthelpers.h"
#include "core/files/filelist.h"
#include "core/settings/recordersettings.h"
#include "gui/files/renamedialog.h"
#include "platform/fakeaudioinput.h"
#include "platform/fakemixer.h"
#include "testsupport.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

class FileCommandsWindowTest : public ::testing::Test
{
protected:
    FileCommandsWindowTest()
    {
        m_saved = settings();
        settings().setFileList({});
        m_window = std::make_unique<RecorderWindow>(m_input, m_mixer);
    }
    ~FileCommandsWindowTest() override
    {
        m_window.reset();
        settings() = m_saved;
    }
    bool enabled(CommandId id) const
    {
        QAction *action = m_window->action(id);
        return action && action->isEnabled() && m_window->isCommandEnabled(id);
    }

    test::TempFolder m_folder;
    RecorderSettings m_saved;
    FakeAudioInput m_input;
    FakeMixer m_mixer;
    std::unique_ptr<RecorderWindow> m_window;
};

TEST_F(FileCommandsWindowTest, CommandsFollowTheirEnableRules)
{
    EXPECT_TRUE(enabled(CommandId::Rename));
    EXPECT_TRUE(enabled(CommandId::LoadPlayerFiles));
    EXPECT_FALSE(m_window->isCommandEnabled(CommandId::ReplaceFileName));
    EXPECT_FALSE(m_window->isCommandEnabled(CommandId::UpdatePlayerOrder));

    // A file in the test's folder lies on no portable drive.
    const QString path = m_folder.file(QStringLiteral("song.mp3"));
    ASSERT_TRUE(test::writeTinyMp3(path));
    ASSERT_TRUE(m_window->fileList().addFile(path));
    EXPECT_TRUE(m_window->isCommandEnabled(CommandId::ReplaceFileName));
    EXPECT_FALSE(m_window->isCommandEnabled(CommandId::UpdatePlayerOrder));
}

TEST_F(FileCommandsWindowTest, RenameCommandRenamesTheSelectedFile)
{
    const QString path = m_folder.file(QStringLiteral("song.mp3"));
    ASSERT_TRUE(test::writeTinyMp3(path));
    ASSERT_TRUE(m_window->fileList().addFile(path));
    m_window->fileList().selectAll();
    test::NextModal<RenameDialog> answer([](RenameDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("newNameEdit"))->setText(QStringLiteral("LIVE.MP3"));
        dialog->accept();
    });
    m_window->runCommand(CommandId::Rename);
    EXPECT_TRUE(answer.handled());
    EXPECT_EQ(m_window->fileList().firstSelectedName(), QStringLiteral("LIVE.MP3"));
    EXPECT_TRUE(QFileInfo::exists(m_folder.file(QStringLiteral("LIVE.MP3"))));
}

} // namespace
} // namespace sonavell
