#include "gui/files/filecommands.h"

#include "core/files/filelist.h"
#include "core/files/playerorder.h"
#include "core/files/playervolumes.h"
#include "core/files/removabledrives.h"
#include "core/files/renamefile.h"
#include "core/files/replacejob.h"
#include "gui/files/playerdrivedialog.h"
#include "gui/files/playerprogresswindow.h"
#include "gui/files/renamedialog.h"
#include "gui/files/replacedialog.h"
#include "gui/process/processcommands.h"
#include "gui/process/progressdialog.h"
#include "gui/skin/dialogskin.h"

#include <QMessageBox>

namespace sonavell {

FileCommands::FileCommands(FileList &list, QWidget *window, const RemovableDrives &drives)
    : m_list(list), m_window(window), m_drives([&drives] { return drives.playerDrives(); }),
      m_volumeRootOf(&volumeRootOf)
{
}

bool FileCommands::handles(CommandId id)
{
    switch (id) {
    case CommandId::Rename:
    case CommandId::ReplaceFileName:
    case CommandId::LoadPlayerFiles:
    case CommandId::UpdatePlayerOrder:
        return true;
    default:
        return false;
    }
}

bool FileCommands::run(CommandId id)
{
    switch (id) {
    case CommandId::Rename:
        rename();
        return true;
    case CommandId::ReplaceFileName:
        replaceFileName();
        return true;
    case CommandId::LoadPlayerFiles:
        loadPlayerFiles();
        return true;
    case CommandId::UpdatePlayerOrder:
        updatePlayerOrder();
        return true;
    default:
        return false;
    }
}

void FileCommands::rename()
{
    const QString name = m_list.firstSelectedName();
    if (name.isEmpty())
        return;
    RenameDialog dialog(name, m_window);
    skinDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // A failure reaches the user through the list's fileError, as for an in-place edit.
    renameSelectedFile(m_list, dialog.newName());
}

void FileCommands::replaceFileName()
{
    if (confirmedSelection(m_list, m_window).isEmpty())
        return;
    ReplaceDialog dialog(QStringList{m_list.firstSelectedPath()}, m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The files selected when the user confirms, which the list shows then.
    ReplaceJob job(m_list, confirmedSelection(m_list, m_window));
    if (job.files().isEmpty())
        return;
    job.setSource(dialog.source());
    job.setTarget(dialog.target());
    ProgressDialog::runJob(job, m_window);
}

void FileCommands::loadPlayerFiles()
{
    PlayerDriveDialog dialog(m_drives(), m_window);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedDrive().isEmpty())
        return;
    const QStringList files = collectPlayerMp3Files(dialog.selectedDrive());
    PlayerProgressScope progress(m_window, QStringLiteral("Load Mp3 Player files,Please wait..."));
    progress.window().setRange(static_cast<int>(files.size()));
    if (!files.isEmpty())
        m_list.removeAllRows();
    for (int i = 0; i < files.size(); ++i) {
        m_list.addFile(files.at(i));
        progress.window().step(i);
    }
}

void FileCommands::updatePlayerOrder()
{
    QStringList paths;
    m_list.collectAll(paths);
    if (paths.isEmpty())
        return;
    const QString root = m_volumeRootOf(paths.front());
    if (root.isEmpty())
        return;

    PlayerFileSystem localFileSystem;
    PlayerOrderRewrite rewrite(m_fileSystem ? *m_fileSystem : localFileSystem);
    PlayerOrderResult result;
    {
        PlayerProgressScope progress(m_window, QString());
        progress.window().setRange(static_cast<int>(paths.size()));
        rewrite.setStep([&progress](int i) { progress.window().step(i); });
        result = rewrite.run(paths, root);
    }
    const QString problems = describePlayerOrderResult(result);
    if (!problems.isEmpty())
        QMessageBox::warning(m_window, QStringLiteral("Sonavell"), problems);
}

} // namespace sonavell
