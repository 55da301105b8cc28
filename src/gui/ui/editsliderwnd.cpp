#include "ui/editsliderwnd.h"

namespace sonavell {

CEditSliderWnd::CEditSliderWnd(QWidget *parent) : QWidget(parent, Qt::Popup) {}

} // namespace sonavell
