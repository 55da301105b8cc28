#pragma once

#include <QString>

class QWidget;

namespace sonavell {

class AudioOutput;

// The main window's "&Cut and play what you interest": the editor, modal, on `selectedPath`
// (decoded first when it is an MP3; empty when nothing is selected). Without an output device
// the editor still shows and saves, and Play ends at once.
void runCutAndPlay(QWidget *parent, AudioOutput *output, const QString &selectedPath);

} // namespace sonavell
