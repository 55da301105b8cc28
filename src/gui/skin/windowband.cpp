#include "gui/skin/windowband.h"

#include "gui/skin/menubar.h"
#include "gui/skin/skinimage.h"
#include "gui/skin/timedisplay.h"

#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QWindow>

namespace sonavell {

namespace {

constexpr int kBandBitmap = 177;
const QColor kBand(200, 200, 200);
const QColor kTimeField(225, 225, 225);
const QColor kFieldEdge(128, 128, 128);
// The left field is 185 pixels wide at the top and 175 at the bottom; the right one is the last
// 230 at the top and 240 at the bottom; every slanted edge leans by the same 10 pixels.
constexpr int kLogoTop = 185;
constexpr int kSlant = 10;
constexpr int kRightTop = 230;
constexpr int kTimeRightGap = 55;
constexpr int kTimeFieldRightGap = 45;

int slantAt(int y)
{
    return kSlant * y / WindowBand::kHeight;
}

} // namespace

WindowBand::WindowBand(QMainWindow *window) : QObject(window), m_window(window)
{
    window->setWindowFlag(Qt::FramelessWindowHint, true);
    m_bar = new MenuBar(window);
    m_bar->setReservedEnds(kLogoTop, kRightTop + kSlant);
    window->setMenuBar(m_bar);
    m_time = new TimeDisplay(m_bar);
    m_time->setObjectName(QStringLiteral("timeDisplay"));
    m_time->attach(m_bar, timeRect(m_bar->width()), 1);
    m_bar->installEventFilter(this);
    window->installEventFilter(this);
}

QSize WindowBand::captionButtonSize(const QStyle *style)
{
    const int system = style ? style->pixelMetric(QStyle::PM_TitleBarButtonSize) : 0;
    return {std::max(24, system), system > 24 ? system : 25};
}

QRect WindowBand::closeButtonRect(int width, QSize button)
{
    return {width - button.width(), 0, button.width(), button.height()};
}

QRect WindowBand::minimiseButtonRect(int width, QSize button)
{
    return closeButtonRect(width, button).translated(-(button.width() - 2), 0);
}

QRect WindowBand::timeRect(int width)
{
    return QRect(QPoint(width - kRightTop, 0), QPoint(width - kTimeRightGap - 1, kHeight - 1));
}

QPolygon WindowBand::menuField(int width)
{
    return QPolygon({QPoint(kLogoTop, 0), QPoint(width - kRightTop, 0),
                     QPoint(width - kRightTop - kSlant, kHeight), QPoint(kLogoTop - kSlant, kHeight)});
}

QPolygon WindowBand::timeField(int width)
{
    return QPolygon({QPoint(width - kRightTop, 0), QPoint(width - kTimeFieldRightGap, 0),
                     QPoint(width - kTimeFieldRightGap - kSlant, kHeight),
                     QPoint(width - kRightTop - kSlant, kHeight)});
}

WindowBand::Area WindowBand::hitTest(QPoint pos, int width, QSize captionButton)
{
    if (pos.y() >= kHeight)
        return Area::Drag;
    if (closeButtonRect(width, captionButton).contains(pos))
        return Area::Close;
    if (minimiseButtonRect(width, captionButton).contains(pos))
        return Area::Minimise;
    const int slant = slantAt(pos.y());
    if (pos.x() < kLogoTop - slant || pos.x() >= width - kRightTop - slant)
        return Area::Drag;
    return Area::Menu;
}

void WindowBand::paint(QPainter &painter, int width) const
{
    painter.fillRect(QRect(0, 0, width, kHeight), kBand);
    painter.drawImage(QPoint(0, 0), loadSkinBitmap(kBandBitmap, paintingRatio(painter)));

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBand);
    painter.drawPolygon(menuField(width));
    painter.setBrush(kTimeField);
    painter.drawPolygon(timeField(width));
    // Edges: the slanted sides of both fields and a line under the band.
    painter.setPen(QPen(kFieldEdge, 1));
    const auto slanted = [&painter](int topX) {
        painter.drawLine(QPointF(topX + 0.5, 0), QPointF(topX - kSlant + 0.5, kHeight));
    };
    slanted(kLogoTop);
    slanted(width - kRightTop);
    slanted(width - kTimeFieldRightGap);
    painter.restore();
    painter.setPen(kFieldEdge);
    painter.drawLine(0, kHeight - 1, width, kHeight - 1);

    const QSize button = captionButtonSize(m_window->style());
    paintCaptionButton(painter, minimiseButtonRect(width, button), Area::Minimise);
    paintCaptionButton(painter, closeButtonRect(width, button), Area::Close);
}

void WindowBand::paintCaptionButton(QPainter &painter, const QRect &rect, Area which) const
{
    const QRect face = rect.adjusted(3, 3, -3, -3);
    if (m_pressed == which) {
        drawSunkenFrame(painter, face);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
    const QRectF glyph = QRectF(face).adjusted(4, 4, -4, -4);
    if (which == Area::Close) {
        painter.drawLine(glyph.topLeft(), glyph.bottomRight());
        painter.drawLine(glyph.bottomLeft(), glyph.topRight());
    } else {
        const qreal y = std::round(glyph.center().y());
        painter.drawLine(QPointF(glyph.left(), y), QPointF(glyph.right(), y));
    }
    painter.restore();
}

void WindowBand::startMove(QPoint globalPos)
{
    Q_EMIT moveStarted();
    if (QWindow *handle = m_window->windowHandle(); handle && handle->startSystemMove())
        return;
    // The window system cannot move it: follow the mouse until the button is released.
    m_followingMouse = true;
    m_grabOffset = globalPos - m_window->pos();
    m_window->grabMouse();
}

bool WindowBand::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_bar)
        return barEvent(event);
    if (watched == m_window)
        return windowEvent(event);
    return false;
}

bool WindowBand::barEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Resize:
        m_time->setGeometry(timeRect(m_bar->width()));
        return false;
    case QEvent::Paint: {
        QPainter painter(m_bar);
        paint(painter, m_bar->width());
        return false; // the bar draws its items over the band
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint pos = mouse->position().toPoint();
        if (m_pressed != Area::Drag) {
            // A right press ends the tracking without any action.
            if (mouse->button() == Qt::RightButton) {
                m_pressed = Area::Drag;
                m_bar->update();
            }
            return true;
        }
        if (mouse->button() != Qt::LeftButton || m_bar->actionAt(pos))
            return false;
        switch (
            hitTest(m_bar->mapTo(m_window, pos), m_window->width(), captionButtonSize(m_window->style()))) {
        case Area::Close:
            m_pressed = Area::Close;
            m_bar->repaint();
            return true;
        case Area::Minimise:
            m_pressed = Area::Minimise;
            m_bar->repaint();
            return true;
        case Area::Drag:
            startMove(mouse->globalPosition().toPoint());
            return true;
        case Area::Menu:
            return false;
        }
        return false;
    }
    case QEvent::MouseMove:
        return m_pressed != Area::Drag;
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (m_pressed == Area::Drag || mouse->button() != Qt::LeftButton)
            return m_pressed != Area::Drag;
        const Area pressed = m_pressed;
        m_pressed = Area::Drag;
        m_bar->repaint();
        const Area released = hitTest(m_bar->mapTo(m_window, mouse->position().toPoint()), m_window->width(),
                                      captionButtonSize(m_window->style()));
        if (released == pressed)
            Q_EMIT pressed == Area::Close ? closeClicked() : minimiseClicked();
        return true;
    }
    default:
        return false;
    }
}

bool WindowBand::windowEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        // Presses that no control took: the window's own background.
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        startMove(mouse->globalPosition().toPoint());
        return true;
    }
    case QEvent::MouseMove:
        if (!m_followingMouse)
            return false;
        m_window->move(static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - m_grabOffset);
        return true;
    case QEvent::MouseButtonRelease:
        if (!m_followingMouse)
            return false;
        m_followingMouse = false;
        m_window->releaseMouse();
        return true;
    default:
        return false;
    }
}

} // namespace sonavell
