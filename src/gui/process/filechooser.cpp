#include "gui/process/filechooser.h"

#include "core/settings/recordersettings.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace sonavell {

namespace {

QString choose(QFileDialog &dialog, const QString &folderKey)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().constFirst();
    writeFolderValue(folderKey, QFileInfo(path).absolutePath() + QLatin1Char('/'));
    return path;
}

QString startFolder(const QString &folderKey)
{
    return readFolderValue(folderKey).value_or(QDir::homePath());
}

} // namespace

QString chooseFileToOpen(QWidget *parent, const QString &filter, const QString &folderKey)
{
    QFileDialog dialog(parent, QStringLiteral("Open"), startFolder(folderKey), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return choose(dialog, folderKey);
}

QString chooseFileToSave(QWidget *parent, const QString &filter, const QString &folderKey, const QString &suffix)
{
    QFileDialog dialog(parent, QStringLiteral("Save As"), startFolder(folderKey), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    // The job replaces an existing file only once the new one is complete.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    return choose(dialog, folderKey);
}

} // namespace sonavell
