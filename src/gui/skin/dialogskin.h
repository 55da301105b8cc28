#pragma once

#include <QRadioButton>

class QStyle;

namespace sonavell {

// Gives a window's labels, radio buttons and check boxes the program's own look: labels are drawn
// transparently over the window's background; radio buttons become round black-outlined circles
// with a black dot when checked; check boxes become sunken boxes with the program's check mark.
// Everything else keeps the platform look. Widgets inside other windows (dialogs owned by this
// one) are left alone. Safe to call more than once.
void skinDialog(QWidget *window);

// The style skinDialog gives radio buttons and check boxes; one for the whole program.
QStyle *dialogSkinStyle();

// A radio button with the program's round look from the start.
class CRecordRedioBtn : public QRadioButton
{
    Q_OBJECT

public:
    explicit CRecordRedioBtn(const QString &text = QString(), QWidget *parent = nullptr);
};

} // namespace sonavell
