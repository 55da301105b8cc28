#pragma once

#include <QColor>
#include <QWidget>

#include <memory>
#include <optional>

namespace sonavell {

class SliderBarPainter;

// A small horizontal slider: a strip with a scale and a triangular thumb that the mouse moves.
// A click beside the thumb makes it jump there; dragging the thumb moves it with the mouse.
//
// With the Popup style the bar is dragging from the moment it is shown: it follows the mouse's
// relative motion (held or not) and asks to be closed when the button is released.
class CSliderCtrlBar : public QWidget
{
    Q_OBJECT

public:
    enum Style { Popup = 0x4 };

    explicit CSliderCtrlBar(QWidget *parent = nullptr, int style = 0);
    ~CSliderCtrlBar() override;

    // Equal ends are widened to minimum … minimum + 1.
    void setRange(int minimumValue, int maximumValue);
    int minimumValue() const { return m_minimumValue; }
    int maximumValue() const { return m_maximumValue; }

    // Clamps to the range and moves the thumb there; the same position again repaints nothing.
    void setPosition(int position);
    int position() const { return m_position; }

    bool isPopupStyle() const { return (m_style & Popup) != 0; }
    bool isDragging() const { return m_dragging; }

    // Geometry, for painting and hit-testing. The bounds are the range of the thumb's centre.
    int thumbX() const { return m_thumbX; }
    int leftBound() const;
    int rightBound() const;
    QRect thumbRect() const { return thumbRectAt(m_thumbX); }
    QRect thumbRectAt(int thumbX) const;
    int scaleY() const;
    int thumbWidth() const { return m_thumbWidth; }
    int thumbHeight() const { return m_thumbHeight; }

    void setThumbColour(const QColor &colour);
    QColor thumbColour() const { return m_thumbColour; }

    // Replaces the drawing; the bar keeps its behaviour.
    void setPainter(std::unique_ptr<SliderBarPainter> painter);

    QSize sizeHint() const override;

Q_SIGNALS:
    // The thumb moved (a jump or a drag step).
    void thumbMoved(int position);
    // A drag ended with the button's release.
    void dragEnded(int position);
    // Popup style: the button was released, the owner should close.
    void closeRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int clampedX(int x) const;
    int positionAt(int thumbX) const;
    int thumbXFor(int position) const;
    void moveThumb(int thumbX);
    void stopDragging();

    int m_style;
    bool m_dragging = false;
    bool m_grabbing = false;
    int m_thumbWidth = 12;
    int m_thumbHeight = 6;
    int m_thumbX = 0;
    int m_position = 0;
    int m_minimumValue = 0;
    int m_maximumValue = 255;
    QColor m_thumbColour = Qt::black;
    // Popup: the mouse's last global x; none until the first move (screens left of the primary
    // one have negative coordinates, so no value can stand for none).
    std::optional<int> m_lastMouseX;
    std::unique_ptr<SliderBarPainter> m_painter;
};

} // namespace sonavell
