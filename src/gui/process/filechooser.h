#pragma once

#include <QString>

class QWidget;

namespace sonavell {

// The file dialogs of the processing dialogs. Each starts in the folder kept in the value file
// of `folderKey` (home when there is none) and, on OK, keeps the chosen file's folder there,
// ending in '/'. Empty after Cancel.
QString chooseFileToOpen(QWidget *parent, const QString &filter, const QString &folderKey);
// A name typed without an extension gets `suffix`; an existing file may be chosen (it is replaced).
QString chooseFileToSave(QWidget *parent, const QString &filter, const QString &folderKey, const QString &suffix);

} // namespace sonavell
