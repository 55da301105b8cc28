#pragma once

class QLabel;
class QLineEdit;

namespace sonavell {

// How the player panel looks, apart from what it does: the panel calls these after changing
// the state they show, so a restyled panel only replaces them.

// The play time in large type, as the window's recording time.
void styleTimeText(QLabel *label);
// Tints a tag field that will not be saved as it reads (its "tagFieldProblem" property is set).
void showTagFieldMark(QLineEdit *edit);

} // namespace sonavell
