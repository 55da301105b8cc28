#pragma once

#include "gui/app/commands.h"

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace sonavell {

class FileList;
class PlayerFileSystem;
class RemovableDrives;

// The main window's commands on file names and on the portable player's file order. All run
// on the user-interface thread; the window owns their dialogs. The list and the window are not
// owned and must outlive the object, as must drives.
class FileCommands
{
public:
    FileCommands(FileList &list, QWidget *window, const RemovableDrives &drives);

    static bool handles(CommandId id);
    // False when id is not one of these commands.
    bool run(CommandId id);

    // "Rename": the first selected file gets the typed name, with ".mp3".
    void rename();
    // "Replace File Name String" over the selected files, under the progress window.
    void replaceFileName();
    // The list is filled with the MP3 files of a chosen player drive.
    void loadPlayerFiles();
    // The listed files are recreated on the first file's volume in list order.
    void updatePlayerOrder();

    // Where the drives, a path's volume and the file system calls come from; tests point them
    // at folders that stand in for a player.
    void setDriveSource(std::function<QStringList()> drives) { m_drives = std::move(drives); }
    void setVolumeRootOf(std::function<QString(const QString &)> rootOf)
    {
        m_volumeRootOf = std::move(rootOf);
    }
    // Not owned; null uses the local file system.
    void setFileSystem(PlayerFileSystem *fileSystem) { m_fileSystem = fileSystem; }

private:
    FileList &m_list;
    QWidget *m_window;
    std::function<QStringList()> m_drives;
    std::function<QString(const QString &)> m_volumeRootOf;
    PlayerFileSystem *m_fileSystem = nullptr;
};

} // namespace sonavell
