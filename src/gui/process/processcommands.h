#pragma once

#include "gui/app/commands.h"

class QWidget;

namespace sonavell {

class FileList;

// The main window's file-processing commands. Those that work on listed files take the selected
// rows in row order (the window has already refused to run them without a selection), ask for
// their parameters, run their job under the progress window and, after rewriting files in place,
// measure the selected rows again. All run on the user-interface thread; `window` owns the
// dialogs.
// False when `id` is not one of them.
bool runProcessCommand(CommandId id, FileList &list, QWidget *window);

void splitSelected(FileList &list, QWidget *window);
void joinSelected(FileList &list, QWidget *window);
void changeBitrateOfSelected(FileList &list, QWidget *window);
void trimSelected(FileList &list, QWidget *window);
void convertWavToMp3(QWidget *window);
void convertSelectedToWav(FileList &list, QWidget *window);

} // namespace sonavell
