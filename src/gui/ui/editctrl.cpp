#include "ui/editctrl.h"

#include "ui/editsliderwnd.h"
#include "ui/numberedit.h"

#include <QResizeEvent>

namespace sonavell {

EditCtrl::EditCtrl(QWidget *parent, int style) : QWidget(parent), m_style(style), m_edit(new NumberEdit(this))
{
    connect(m_edit, &NumberEdit::changeStarted, this, &EditCtrl::changeStarted);
    connect(m_edit, &NumberEdit::valueChanged, this, &EditCtrl::valueChanged);
    connect(m_edit, &NumberEdit::changeFinished, this, &EditCtrl::changeFinished);
}

EditCtrl::~EditCtrl() = default;

void EditCtrl::setControlStyle(int style) { m_style = style; }
void EditCtrl::setPopupButtonShown(bool shown) { setControlStyle(shown ? m_style | PopupButton : m_style & ~PopupButton); }
void EditCtrl::setRange(double minimum, double maximum) { m_edit->setRange(minimum, maximum); }
double EditCtrl::minimum() const { return m_edit->minimum(); }
double EditCtrl::maximum() const { return m_edit->maximum(); }
void EditCtrl::setFormat(int width, int decimals) { m_edit->setFormat(width, decimals); }
int EditCtrl::fieldWidth() const { return m_edit->fieldWidth(); }
int EditCtrl::decimals() const { return m_edit->decimals(); }
void EditCtrl::setStep(double step) { m_edit->setStep(step); }
double EditCtrl::step() const { return m_edit->step(); }
void EditCtrl::setValue(double value) { m_edit->setValue(value); }
double EditCtrl::value() const { return m_edit->value(); }
void EditCtrl::setNotifyFlags(int flags) { m_edit->setNotifyFlags(flags); }
int EditCtrl::notifyFlags() const { return m_edit->notifyFlags(); }
CEditSliderWnd *EditCtrl::popup() const { return m_popup.data(); }
void EditCtrl::openPopup(int) {}
QSize EditCtrl::sizeHint() const { return QSize(80, 24); }
QSize EditCtrl::minimumSizeHint() const { return QSize(30, 16); }
void EditCtrl::resizeEvent(QResizeEvent *event) { QWidget::resizeEvent(event); layoutChildren(); }
void EditCtrl::paintEvent(QPaintEvent *) {}
QMargins EditCtrl::frameInsets() const { return QMargins(2, 2, 3, 3); }
void EditCtrl::layoutChildren() { m_edit->setGeometry(rect() - frameInsets()); }
void EditCtrl::popupClosed() {}

} // namespace sonavell
