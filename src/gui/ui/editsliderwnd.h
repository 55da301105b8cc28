#pragma once

#include <QWidget>

namespace sonavell {

// The popup slider the numeric edit control's button opens (minimal for now).
class CEditSliderWnd : public QWidget
{
    Q_OBJECT

public:
    explicit CEditSliderWnd(QWidget *parent = nullptr);
};

} // namespace sonavell
