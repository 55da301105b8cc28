#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>

namespace sonavell {

class CSliderCtrlBar;
class NumberEdit;

// The popup slider of the numeric edit control: a borderless popup holding one slider bar in popup
// style, mapped 0 … 1000 onto the edit's range. It follows the mouse from the moment it opens,
// writes each position into the edit, and closes when the button is released, when the user
// clicks elsewhere or when it loses activation. Deletes itself once closed.
class CEditSliderWnd : public QWidget
{
    Q_OBJECT

public:
    static constexpr int SliderScale = 1000;

    // `edit` must outlive the popup (the edit control owns both).
    explicit CEditSliderWnd(NumberEdit *edit, QWidget *parent = nullptr);
    ~CEditSliderWnd() override;

    // Places the popup with its top centred on `anchor` (global), kept on the screen, and shows it.
    void open(const QPoint &anchor);

    // Where a popup of `size` opens for `anchor` on a screen of `screen`: centred on the anchor's
    // x, its top at the anchor's y, pushed back from the right edge and from 30 pixels above the
    // bottom.
    static QPoint placement(const QPoint &anchor, const QSize &size, const QRect &screen);
    // Slider position for an edit value, and edit value for a slider position.
    static int positionFor(double value, double minimum, double maximum);
    static double valueFor(int position, double minimum, double maximum);

    CSliderCtrlBar *slider() const { return m_slider; }

Q_SIGNALS:
    void closed();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void sliderMoved(int position, bool finished);
    void forwardToSlider(QMouseEvent *event);

    NumberEdit *m_edit;
    CSliderCtrlBar *m_slider;
};

} // namespace sonavell
