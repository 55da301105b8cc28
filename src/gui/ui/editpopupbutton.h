#pragma once

#include <QAbstractButton>
#include <QPoint>

namespace sonavell {

// The small button on the right of the numeric edit control that opens its popup slider: raised
// with a grey triangle pointing right, sunken and empty while held down.
class EditPopupButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit EditPopupButton(QWidget *parent = nullptr);

    // Where the last press happened, in global coordinates (the button's centre for a key press):
    // the popup is centred on its x.
    QPoint pressPoint() const { return m_pressPoint; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPoint m_pressPoint;
};

} // namespace sonavell
