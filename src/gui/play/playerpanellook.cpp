#include "gui/play/playerpanellook.h"

#include <QLabel>
#include <QLineEdit>
#include <QPalette>

namespace sonavell {

void styleTimeText(QLabel *label)
{
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    font.setBold(true);
    label->setFont(font);
}

void showTagFieldMark(QLineEdit *edit)
{
    if (edit->property("tagFieldProblem").toString().isEmpty()) {
        edit->setPalette(QPalette()); // back to the inherited colours
        return;
    }
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QColor(255, 214, 160));
    edit->setPalette(palette);
}

} // namespace sonavell
