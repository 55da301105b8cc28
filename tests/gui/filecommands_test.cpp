#include "gui/files/filecommands.h"

#include "../core/files/tinymp3.h"
#include "dialogtesthelpers.h"
#include "core/files/filelist.h"
#include "core/files/playerorder.h"
#include "core/files/removabledrives.h"
#include "gui/files/playerdrivedialog.h"
#include "gui/files/playerprogresswindow.h"
#include "gui/files/renamedialog.h"
#include "gui/files/replacedialog.h"
#include "testsupport.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

template <typename T> T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

class FileCommandsTest : public ::testing::Test
{
protected:
    FileCommandsTest()
    {
        m_window.resize(600, 400);
        m_commands.setVolumeRootOf([this](const QString &) { return m_folder.path(); });
        m_commands.setDriveSource([this] { return m_drives; });
    }
    QStringList list(const QStringList &names)
    {
        QStringList paths;
        for (const QString &name : names) {
            const QString path = m_folder.file(name);
            QDir().mkpath(QFileInfo(path).absolutePath());
            EXPECT_TRUE(test::writeTinyMp3(path));
            EXPECT_TRUE(m_list.addFile(path));
            paths << path;
        }
        return paths;
    }
    QStringList rowNames() const
    {
        QStringList names;
        for (int row = 0; row < m_list.rowCount(); ++row)
            names << m_list.row(row)[FileList::NameColumn];
        return names;
    }

    test::TempFolder m_folder;
    QWidget m_window;
    FileList m_list;
    KernelRemovableDrives m_kernelDrives;
    FileCommands m_commands{m_list, &m_window, m_kernelDrives};
    QStringList m_drives;
};

TEST_F(FileCommandsTest, RenameShowsTheNameAndRenamesWithMp3)
{
    list({QStringLiteral("song.mp3")});
    m_list.selectAll();
    QString shown;
    test::NextModal<RenameDialog> answer([&](RenameDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Rename"));
        auto *edit = child<QLineEdit>(dialog, "newNameEdit");
        shown = edit->text();
        test::saveScreenshot(*dialog, QStringLiteral("rename_dialog.png"));
        edit->setText(QStringLiteral("live.wav"));
        dialog->accept();
    });
    m_commands.run(CommandId::Rename);
    EXPECT_TRUE(answer.handled());
    EXPECT_EQ(shown, QStringLiteral("song.mp3"));
    EXPECT_EQ(rowNames(), QStringList{QStringLiteral("live.mp3")});
    EXPECT_TRUE(QFileInfo::exists(m_folder.file(QStringLiteral("live.mp3"))));
}

TEST_F(FileCommandsTest, RenameCancelledOrEmptyOrWithoutSelectionChangesNothing)
{
    list({QStringLiteral("song.mp3")});
    // No selection: no dialog at all.
    m_commands.rename();
    m_list.selectAll();
    {
        test::NextModal<RenameDialog> answer([](RenameDialog *dialog) {
            child<QLineEdit>(dialog, "newNameEdit")->setText(QStringLiteral("live"));
            dialog->reject();
        });
        m_commands.rename();
        EXPECT_TRUE(answer.handled());
    }
    {
        test::NextModal<RenameDialog> answer([](RenameDialog *dialog) {
            child<QLineEdit>(dialog, "newNameEdit")->clear();
            dialog->accept();
        });
        m_commands.rename();
        EXPECT_TRUE(answer.handled());
    }
    EXPECT_EQ(rowNames(), QStringList{QStringLiteral("song.mp3")});
}

TEST_F(FileCommandsTest, FailedRenameIsReportedAndKeepsTheRow)
{
    list({QStringLiteral("song.mp3")});
    ASSERT_TRUE(test::writeAll(m_folder.file(QStringLiteral("live.mp3")), "taken"));
    m_list.selectAll();
    QSignalSpy errors(&m_list, &FileList::fileError);
    test::NextModal<RenameDialog> answer([](RenameDialog *dialog) {
        child<QLineEdit>(dialog, "newNameEdit")->setText(QStringLiteral("live"));
        dialog->accept();
    });
    m_commands.rename();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.front().at(0).toString(), m_folder.file(QStringLiteral("song.mp3")));
    EXPECT_EQ(rowNames(), QStringList{QStringLiteral("song.mp3")});
}

TEST_F(FileCommandsTest, ReplaceRunsOverTheSelectedRows)
{
    list({QStringLiteral("a_b_c.mp3"), QStringLiteral("abc.mp3"), QStringLiteral("x_y.mp3")});
    m_list.selectRow(0);
    m_list.selectRow(1, false);
    QString source;
    QString target;
    test::NextModal<ReplaceDialog> answer([&](ReplaceDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Replace File Name String"));
        source = child<QLineEdit>(dialog, "sourceEdit")->text();
        target = child<QLineEdit>(dialog, "targetEdit")->text();
        EXPECT_TRUE(child<QDialogButtonBox>(dialog, "buttons")->button(QDialogButtonBox::Ok)->isDefault());
        test::saveScreenshot(*dialog, QStringLiteral("replace_dialog.png"));
        child<QLineEdit>(dialog, "sourceEdit")->setText(QStringLiteral("_"));
        child<QLineEdit>(dialog, "targetEdit")->setText(QStringLiteral(" "));
        dialog->accept();
    });
    m_commands.run(CommandId::ReplaceFileName);
    EXPECT_TRUE(answer.handled());
    EXPECT_EQ(source, QStringLiteral("a_b_c.mp3"));
    EXPECT_EQ(target, QString());
    EXPECT_EQ(rowNames(), (QStringList{QStringLiteral("a b c.mp3"), QStringLiteral("abc.mp3"),
                                       QStringLiteral("x_y.mp3")}));
    EXPECT_TRUE(QFileInfo::exists(m_folder.file(QStringLiteral("a b c.mp3"))));
}

TEST_F(FileCommandsTest, ReplaceReportsAFailedRenameAndGoesOn)
{
    list({QStringLiteral("a_1.mp3"), QStringLiteral("a_2.mp3")});
    ASSERT_TRUE(test::writeAll(m_folder.file(QStringLiteral("b_1.mp3")), "taken"));
    m_list.selectAll();
    test::NextModal<ReplaceDialog> answer([](ReplaceDialog *dialog) {
        child<QLineEdit>(dialog, "sourceEdit")->setText(QStringLiteral("a"));
        child<QLineEdit>(dialog, "targetEdit")->setText(QStringLiteral("b"));
        dialog->accept();
    });
    test::MessageBoxAnswer report;
    m_commands.replaceFileName();
    EXPECT_TRUE(report.text().contains(m_folder.file(QStringLiteral("a_1.mp3"))))
        << report.text().toStdString();
    EXPECT_EQ(rowNames(), (QStringList{QStringLiteral("a_1.mp3"), QStringLiteral("b_2.mp3")}));
    EXPECT_EQ(test::readAll(m_folder.file(QStringLiteral("b_1.mp3"))), QByteArray("taken"));
}

TEST_F(FileCommandsTest, ReplaceWithoutSelectionSaysSo)
{
    list({QStringLiteral("a.mp3")});
    test::MessageBoxAnswer report;
    m_commands.replaceFileName();
    EXPECT_EQ(report.text(), QStringLiteral("There is not selected file!"));
}

TEST_F(FileCommandsTest, LoadFillsTheListWithThePlayersMp3Files)
{
    test::TempFolder player;
    ASSERT_TRUE(QDir(player.path()).mkpath(QStringLiteral("Music")));
    ASSERT_TRUE(test::writeTinyMp3(player.file(QStringLiteral("Track1.MP3"))));
    ASSERT_TRUE(test::writeTinyMp3(player.file(QStringLiteral("Music/b.mp3"))));
    ASSERT_TRUE(test::writeAll(player.file(QStringLiteral("Music/notes.txt")), "x"));
    list({QStringLiteral("old.mp3")});
    m_drives = {player.path(), QStringLiteral("/media/other")};

    QStringList offered;
    test::NextModal<PlayerDriveDialog> answer([&](PlayerDriveDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select Mp3 Player"));
        auto *drives = child<QListWidget>(dialog, "driveList");
        for (int i = 0; i < drives->count(); ++i)
            offered << drives->item(i)->text();
        EXPECT_EQ(dialog->selectedDrive(), offered.value(0));
        test::saveScreenshot(*dialog, QStringLiteral("player_drive_dialog.png"));
        drives->setCurrentRow(static_cast<int>(offered.indexOf(player.path())));
        dialog->accept();
    });
    m_commands.run(CommandId::LoadPlayerFiles);
    QStringList sortedDrives = m_drives;
    sortedDrives.sort();
    EXPECT_EQ(offered, sortedDrives);

    QStringList paths;
    m_list.collectAll(paths);
    paths.sort();
    EXPECT_EQ(paths, (QStringList{player.file(QStringLiteral("Music/b.mp3")),
                                  player.file(QStringLiteral("Track1.MP3"))}));
}

TEST_F(FileCommandsTest, LoadingADriveWithoutMp3FilesKeepsTheList)
{
    test::TempFolder player;
    list({QStringLiteral("old.mp3")});
    m_drives = {player.path()};
    test::NextModal<PlayerDriveDialog> answer([](PlayerDriveDialog *dialog) { dialog->accept(); });
    m_commands.loadPlayerFiles();
    EXPECT_TRUE(answer.handled());
    EXPECT_EQ(rowNames(), QStringList{QStringLiteral("old.mp3")});

    // With no drive at all OK has nothing to load.
    m_drives.clear();
    test::NextModal<PlayerDriveDialog> empty([](PlayerDriveDialog *dialog) {
        EXPECT_EQ(dialog->selectedDrive(), QString());
        dialog->accept();
    });
    m_commands.loadPlayerFiles();
    EXPECT_TRUE(empty.handled());
    EXPECT_EQ(rowNames(), QStringList{QStringLiteral("old.mp3")});
}

// The local file system without the flushes (the moves are what the window's tests look at),
// reading folders back in list order, and optionally failing every move back of one file.
class QuietFileSystem : public PlayerFileSystem
{
public:
    bool move(const QString &from, const QString &to, QString *error) override
    {
        if (from == failingSource) {
            *error = QStringLiteral("Input/output error");
            return false;
        }
        return PlayerFileSystem::move(from, to, error);
    }
    bool sync(const QString &, QString *) override { return true; }
    QStringList entries(const QString &folder) override
    {
        return folder == storedFolder ? storedOrder : PlayerFileSystem::entries(folder);
    }

    QString failingSource;
    QString storedFolder;
    QStringList storedOrder;
};

TEST_F(FileCommandsTest, UpdateOrderLeavesNoWorkFolderAndKeepsTheList)
{
    const QStringList paths =
        list({QStringLiteral("c.mp3"), QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    QList<QByteArray> contents;
    for (const QString &path : paths)
        contents << test::readAll(path);
    QuietFileSystem fileSystem;
    fileSystem.storedFolder = m_folder.path();
    fileSystem.storedOrder = {QStringLiteral("c.mp3"), QStringLiteral("a.mp3"), QStringLiteral("b.mp3")};
    m_commands.setFileSystem(&fileSystem);
    m_commands.run(CommandId::UpdatePlayerOrder);
    EXPECT_FALSE(QFileInfo::exists(m_folder.file(QStringLiteral("temp____0"))));
    for (qsizetype i = 0; i < paths.size(); ++i)
        EXPECT_EQ(test::readAll(paths[i]), contents[i]);
    EXPECT_EQ(rowNames(),
              (QStringList{QStringLiteral("c.mp3"), QStringLiteral("a.mp3"), QStringLiteral("b.mp3")}));
}

TEST_F(FileCommandsTest, UpdateOrderTellsWhenTheDeviceKeepsAnotherOrder)
{
    list({QStringLiteral("c.mp3"), QStringLiteral("a.mp3")});
    QuietFileSystem fileSystem;
    fileSystem.storedFolder = m_folder.path();
    fileSystem.storedOrder = {QStringLiteral("a.mp3"), QStringLiteral("c.mp3")};
    m_commands.setFileSystem(&fileSystem);
    test::MessageBoxAnswer report;
    m_commands.updatePlayerOrder();
    EXPECT_TRUE(report.text().contains(QStringLiteral("another order"))) << report.text().toStdString();
    EXPECT_TRUE(report.text().contains(m_folder.path())) << report.text().toStdString();
}

TEST_F(FileCommandsTest, UpdateOrderTellsWhereAStrandedFileIs)
{
    const QStringList paths = list({QStringLiteral("c.mp3"), QStringLiteral("a.mp3")});
    const QString work = m_folder.file(QStringLiteral("temp____0"));
    QuietFileSystem fileSystem;
    fileSystem.failingSource = work + QStringLiteral("/1");
    m_commands.setFileSystem(&fileSystem);
    test::MessageBoxAnswer report;
    m_commands.updatePlayerOrder();
    EXPECT_TRUE(report.text().contains(work + QStringLiteral("/1"))) << report.text().toStdString();
    EXPECT_TRUE(report.text().contains(paths[1])) << report.text().toStdString();
    EXPECT_TRUE(QFileInfo::exists(work + QStringLiteral("/1")));
    EXPECT_TRUE(QFileInfo::exists(paths[0]));
}

TEST(PlayerProgressWindow, TitlesAndRange)
{
    QWidget owner;
    owner.resize(600, 400);
    PlayerProgressScope scope(&owner, QString());
    PlayerProgressWindow &window = scope.window();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Process of update MP3 Player the files play order ..."));
    EXPECT_TRUE(window.isVisible());
    window.setRange(4);
    window.step(2);
    EXPECT_EQ(window.bar()->maximum(), 4);
    EXPECT_EQ(window.bar()->value(), 2);
    test::saveScreenshot(window, QStringLiteral("player_progress_window.png"));
    window.close(); // only the command closes it
    EXPECT_TRUE(window.isVisible());
    window.open(QStringLiteral("Load Mp3 Player files,Please wait..."));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Load Mp3 Player files,Please wait..."));
}

TEST(Dialogs, RenderedForALook)
{
    RenameDialog rename(QStringLiteral("2024-05-01-10-30.mp3"));
    rename.show();
    test::saveScreenshot(rename, QStringLiteral("rename_dialog_alone.png"));
    ReplaceDialog replace({QStringLiteral("/music/a_b_c.mp3")});
    replace.show();
    EXPECT_EQ(replace.source(), QStringLiteral("a_b_c.mp3"));
    test::saveScreenshot(replace, QStringLiteral("replace_dialog_alone.png"));
    PlayerDriveDialog drives({QStringLiteral("/media/anna/PLAYER"), QStringLiteral("/media/anna/CARD")});
    drives.show();
    EXPECT_EQ(drives.selectedDrive(), QStringLiteral("/media/anna/CARD"));
    test::saveScreenshot(drives, QStringLiteral("player_drive_dialog_alone.png"));
}

} // namespace
} // namespace sonavell
