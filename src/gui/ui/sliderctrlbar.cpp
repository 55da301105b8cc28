#include "gui/ui/sliderctrlbar.h"

#include "gui/ui/sliderbarpainter.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace sonavell {

CSliderCtrlBar::CSliderCtrlBar(QWidget *parent, int style)
    : QWidget(parent), m_style(style), m_dragging((style & Popup) != 0),
      m_painter(std::make_unique<SliderBarPainter>())
{
    m_thumbX = leftBound();
    // A popup follows the mouse with or without a held button.
    setMouseTracking(isPopupStyle());
}

CSliderCtrlBar::~CSliderCtrlBar() = default;

void CSliderCtrlBar::setRange(int minimumValue, int maximumValue)
{
    m_minimumValue = minimumValue;
    m_maximumValue = maximumValue == minimumValue ? minimumValue + 1 : maximumValue;
}

void CSliderCtrlBar::setPosition(int position)
{
    const int low = std::min(m_minimumValue, m_maximumValue);
    const int high = std::max(m_minimumValue, m_maximumValue);
    position = std::clamp(position, low, high);
    if (position == m_position)
        return;
    m_position = position;
    m_thumbX = thumbXFor(position);
    update();
}

int CSliderCtrlBar::leftBound() const
{
    return m_thumbWidth / 2;
}

int CSliderCtrlBar::rightBound() const
{
    return std::max(leftBound(), width() - m_thumbWidth / 2);
}

QRect CSliderCtrlBar::thumbRectAt(int thumbX) const
{
    const int centreY = height() - (m_thumbHeight / 2 + 2);
    const int halfWidth = m_thumbWidth / 2 + 1;
    const int halfHeight = m_thumbHeight / 2 + 1;
    return QRect(thumbX - halfWidth, centreY - halfHeight, 2 * halfWidth, 2 * halfHeight);
}

int CSliderCtrlBar::scaleY() const
{
    return height() - (m_thumbHeight + 4);
}

void CSliderCtrlBar::setThumbColour(const QColor &colour)
{
    m_thumbColour = colour;
    update();
}

void CSliderCtrlBar::setPainter(std::unique_ptr<SliderBarPainter> painter)
{
    m_painter = painter ? std::move(painter) : std::make_unique<SliderBarPainter>();
    update();
}

QSize CSliderCtrlBar::sizeHint() const
{
    return QSize(120, 18);
}

void CSliderCtrlBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_painter->paint(painter, *this);
}

void CSliderCtrlBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_thumbX = thumbXFor(m_position);
}

void CSliderCtrlBar::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Popup: the mouse belongs to the bar from the start, wherever it goes.
    if (m_dragging && isPopupStyle() && !m_grabbing) {
        grabMouse();
        m_grabbing = true;
    }
}

void CSliderCtrlBar::hideEvent(QHideEvent *event)
{
    if (m_grabbing) {
        releaseMouse();
        m_grabbing = false;
    }
    QWidget::hideEvent(event);
}

void CSliderCtrlBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    const QPoint point = event->position().toPoint();
    if (m_dragging) {
        // A popup still following the mouse: this click only stops it.
        stopDragging();
    } else if (thumbRect().contains(point)) {
        m_dragging = true;
        m_lastMouseX.reset();
    } else {
        moveThumb(point.x());
    }
}

void CSliderCtrlBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    if (!isPopupStyle()) {
        moveThumb(event->position().toPoint().x());
        return;
    }
    // Relative motion: the first move only gives the starting point.
    const int mouseX = event->globalPosition().toPoint().x();
    if (!m_lastMouseX) {
        m_lastMouseX = mouseX;
        return;
    }
    const int motion = mouseX - *m_lastMouseX;
    m_lastMouseX = mouseX;
    moveThumb(m_thumbX + motion);
}

void CSliderCtrlBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    if (m_dragging) {
        stopDragging();
        Q_EMIT dragEnded(m_position);
    }
    if (isPopupStyle())
        Q_EMIT closeRequested();
}

int CSliderCtrlBar::clampedX(int x) const
{
    return std::clamp(x, leftBound(), rightBound());
}

int CSliderCtrlBar::positionAt(int thumbX) const
{
    const int span = rightBound() - leftBound();
    if (span <= 0)
        return m_minimumValue;
    const long long range = static_cast<long long>(m_maximumValue) - m_minimumValue;
    return static_cast<int>(m_minimumValue + range * (thumbX - leftBound()) / span);
}

int CSliderCtrlBar::thumbXFor(int position) const
{
    const long long range = static_cast<long long>(m_maximumValue) - m_minimumValue;
    const long long span = rightBound() - leftBound();
    return static_cast<int>(leftBound() + span * (position - static_cast<long long>(m_minimumValue)) / range);
}

void CSliderCtrlBar::moveThumb(int thumbX)
{
    m_thumbX = clampedX(thumbX);
    update();
    m_position = positionAt(m_thumbX);
    Q_EMIT thumbMoved(m_position);
}

void CSliderCtrlBar::stopDragging()
{
    m_dragging = false;
    m_lastMouseX.reset();
    if (m_grabbing) {
        releaseMouse();
        m_grabbing = false;
    }
}

} // namespace sonavell
