#pragma once

#include "gui/app/commands.h"

#include <QStringList>

class QWidget;

namespace sonavell {

class FileList;

// The main window's file-processing commands. Those that work on listed files ask for their
// parameters, then take the rows selected at the moment the user confirms, in row order (the
// window has already refused to run them without a selection), run their job under the progress
// window and, after rewriting files in place, measure those files' rows again. All run on the
// user-interface thread; `window` owns the dialogs.

// The selected paths in row order; with none, the user is told "There is not selected file!".
QStringList confirmedSelection(const FileList &list, QWidget *window);
// False when `id` is not one of them.
bool runProcessCommand(CommandId id, FileList &list, QWidget *window);

void splitSelected(FileList &list, QWidget *window);
void joinSelected(FileList &list, QWidget *window);
void changeBitrateOfSelected(FileList &list, QWidget *window);
void trimSelected(FileList &list, QWidget *window);
void convertWavToMp3(QWidget *window);
void convertSelectedToWav(FileList &list, QWidget *window);

} // namespace sonavell
