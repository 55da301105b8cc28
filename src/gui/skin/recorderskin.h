#pragma once

class QWidget;

namespace sonavell {

// The main window's controls in the program's look: its six buttons get their round faces
// (Record and Pause as toggles), the record-level sliders their thumb and groove, and the
// window's labels, radio buttons and check boxes the dialog look. Controls are found by their
// object names; missing ones are skipped.
void skinRecorderWindow(QWidget *window);

// The same for the player panel: its seven buttons (Play and Pause as toggles), the position
// slider (background channel), the volume slider (groove) and the play time shown by a time display.
void skinPlayerPanel(QWidget *panel);

} // namespace sonavell
