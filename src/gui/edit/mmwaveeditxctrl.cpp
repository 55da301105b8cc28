#include "gui/edit/mmwaveeditxctrl.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QRegion>

#include <algorithm>

namespace sonavell {

namespace {

constexpr QRgb kInvertMask = 0x00FFFFFF;

// Inverts the part of `rect` (client coordinates) that lies in `area`, the client rectangle
// that `out` holds. With `dotted`, only every other pixel: the look of a focus rectangle.
void invert(QImage &out, const QRect &area, const QRect &rect, bool dotted)
{
    const QRect hit = rect.intersected(area);
    for (int y = hit.top(); y <= hit.bottom(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y - area.top()));
        for (int x = hit.left(); x <= hit.right(); ++x) {
            if (!dotted || (x + y) % 2 == 0)
                line[x - area.left()] ^= kInvertMask;
        }
    }
}

} // namespace

MMWaveEditXCtrl::MMWaveEditXCtrl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("waveView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

MMWaveEditXCtrl::~MMWaveEditXCtrl() = default;

bool MMWaveEditXCtrl::load(const QString &path)
{
    const bool loaded = m_document.load(path);
    m_caretShown = false;
    m_blinkTimer.stop();
    refresh();
    if (loaded)
        restartBlink();
    return loaded;
}

void MMWaveEditXCtrl::zoomIn()
{
    m_document.zoomIn();
    m_blinkTimer.stop();
    m_caretShown = false;
    refresh();
    restartBlink();
}

void MMWaveEditXCtrl::zoomOut()
{
    m_document.zoomOut();
    m_blinkTimer.stop();
    m_caretShown = false;
    refresh();
    restartBlink();
}

void MMWaveEditXCtrl::scrollTo(int column)
{
    m_document.scrollTo(column);
    m_blinkTimer.stop();
    refresh();
    m_caretShown = m_document.isLoaded();
    restartBlink();
}

void MMWaveEditXCtrl::getScrollRange(int *min, int *range) const
{
    m_document.getScrollRange(width(), min, range);
}

void MMWaveEditXCtrl::getSelectionBytes(qint64 *start, qint64 *end) const
{
    m_document.getSelectionBytes(start, end);
}

void MMWaveEditXCtrl::setPlayCursor(qint64 frame)
{
    if (m_playCursorShown) {
        update(m_playCursorRect);
        m_playCursorShown = false;
    }
    if (frame < 0)
        return;
    const QRect rect = cursorRectAt(frame);
    if (rect.isEmpty())
        return;
    m_playCursorRect = rect;
    m_playCursorShown = true;
    update(rect);
}

QImage MMWaveEditXCtrl::render()
{
    ensurePicture();
    QImage out(size(), QImage::Format_RGB32);
    compose(out, rect());
    return out;
}

void MMWaveEditXCtrl::refresh()
{
    m_pictureValid = false;
    m_playCursorShown = false;
    update();
}

void MMWaveEditXCtrl::ensurePicture()
{
    const QSize wanted(width(), std::max(0, height() - kTopMargin));
    if (!m_pictureValid || m_picture.size() != wanted)
        drawPicture();
}

void MMWaveEditXCtrl::drawPicture()
{
    const int w = width();
    const int h = std::max(0, height() - kTopMargin);
    m_picture = QImage(std::max(1, w), std::max(1, h), QImage::Format_RGB32);
    m_picture.fill(backColour);
    m_pictureValid = true;
    // The bands end at the picture's bottom, so a full-scale trace stays inside the window.
    m_document.updateCaches(h);
    if (!m_document.isDrawable() || w <= 0 || h <= 0)
        return;
    QPainter painter(&m_picture);
    drawRuler(painter, w);
    drawWave(painter, w, h);
}

void MMWaveEditXCtrl::drawRuler(QPainter &painter, int width) const
{
    painter.fillRect(0, 0, width, kRulerHeight, rulerBackColour);
    QFont font = this->font();
    font.setPixelSize(11);
    painter.setFont(font);
    const int first = m_document.firstColumn();
    for (int i = 0; i < width; ++i) {
        const int column = first + i;
        if (column % kLabelEvery == 0) {
            painter.setPen(rulerLineColour);
            painter.drawLine(i, kRulerHeight, i, 0);
            painter.setPen(rulerTextColour);
            painter.drawText(QRect(i, 0, 100, kRulerHeight - kLabelGap), Qt::AlignLeft | Qt::AlignTop,
                             m_document.rulerLabel(column));
        }
        if (i > 0 && column % kSmallTickEvery == 0) {
            painter.setPen(rulerLineColour);
            painter.drawLine(i, kRulerHeight, i, kRulerHeight - kSmallTickLength + 1);
        }
    }
    painter.setPen(rulerLineColour);
    painter.drawLine(0, kRulerHeight, width - 1, kRulerHeight);
}

void MMWaveEditXCtrl::drawWave(QPainter &painter, int width, int height) const
{
    const std::vector<WaveBand> bands = m_document.bands(height);
    if (bands.size() == 2) {
        // Level lines at 30 % of full scale, then the line between the channels.
        painter.setPen(levelLineColour);
        for (const WaveBand &band : bands) {
            if (band.height <= 0)
                continue;
            const double scale = 65535.0 / band.height;
            const double centre = band.top + 32768.0 / scale;
            for (const double y : {centre - 9830.4 / scale, centre + 9830.4 / scale})
                painter.drawLine(0, static_cast<int>(y), width - 1, static_cast<int>(y));
        }
        painter.setPen(separatorColour);
        const int separator = kRulerHeight + (height - kRulerHeight) / 2;
        painter.drawLine(0, separator, width - 1, separator);
    }

    // One continuous trace per band, down and up each column's span.
    painter.setPen(waveColour);
    const int first = m_document.firstColumn();
    for (std::size_t b = 0; b < bands.size(); ++b) {
        const std::vector<QPoint> &cache = b == 0 ? m_document.cacheA() : m_document.cacheB();
        QPolygon trace;
        trace.reserve(2 * width + 1);
        trace << QPoint(0, bands[b].top + bands[b].height / 2);
        for (int j = 0; j < width; ++j) {
            const std::size_t p = 2 * (static_cast<std::size_t>(first) + static_cast<std::size_t>(j));
            if (p + 1 >= cache.size())
                break;
            trace << QPoint(j, cache[p].y()) << QPoint(j, cache[p + 1].y());
        }
        painter.drawPolyline(trace);
    }
}

void MMWaveEditXCtrl::compose(QImage &out, const QRect &area)
{
    {
        QPainter painter(&out);
        painter.translate(-area.topLeft());
        painter.fillRect(0, 0, width(), kTopMargin, backColour);
        painter.fillRect(markerRect(), mouseMarkColour);
        painter.drawImage(0, kTopMargin, m_picture);
    }
    invert(out, area, selectionRect(), false);
    if (m_caretShown)
        invert(out, area, caretRect(), true);
    if (m_playCursorShown)
        invert(out, area, m_playCursorRect, true);
}

void MMWaveEditXCtrl::paintEvent(QPaintEvent *event)
{
    ensurePicture();
    const QRect area = event->rect().intersected(rect());
    if (area.isEmpty())
        return;
    QImage out(area.size(), QImage::Format_RGB32);
    compose(out, area);
    QPainter(this).drawImage(area.topLeft(), out);
}

void MMWaveEditXCtrl::resizeEvent(QResizeEvent *)
{
    refresh();
}

QRect MMWaveEditXCtrl::selectionRect() const
{
    int left = 0;
    int right = 0;
    if (!m_document.isLoaded() || !m_document.selectionColumns(width(), &left, &right))
        return {};
    const int top = kTopMargin + kRulerHeight + 1;
    return QRect(left, top, right - left, height() - top);
}

QRect MMWaveEditXCtrl::cursorRectAt(qint64 frame) const
{
    int x = 0;
    if (!m_document.isLoaded() || !m_document.columnOf(frame, width(), &x))
        return {};
    const int top = kTopMargin + kRulerHeight;
    return QRect(x, top, kCursorWidth, height() - top);
}

QRect MMWaveEditXCtrl::markerRect() const
{
    return m_mouseX < 0 ? QRect() : QRect(m_mouseX, 0, 2, kTopMargin);
}

void MMWaveEditXCtrl::showCaret()
{
    m_caretShown = true;
    update(caretRect());
}

void MMWaveEditXCtrl::restartBlink()
{
    m_blinkTimer.start(kBlinkMs, this);
}

void MMWaveEditXCtrl::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_blinkTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    m_caretShown = !m_caretShown;
    update(caretRect());
}

void MMWaveEditXCtrl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_document.isLoaded())
        return;
    const int x = event->position().toPoint().x();
    const WaveDocument::Edge edge = m_document.edgeAt(x, width());
    if (edge != WaveDocument::Edge::None) {
        m_document.press(x, edge);
        setCursor(Qt::SizeHorCursor);
        return;
    }
    update(selectionRect());
    update(caretRect());
    m_document.press(x, WaveDocument::Edge::None);
    showCaret();
    restartBlink();
}

void MMWaveEditXCtrl::mouseMoveEvent(QMouseEvent *event)
{
    const int x = event->position().toPoint().x();
    update(markerRect());
    m_mouseX = x;
    update(markerRect());
    if (!m_document.isLoaded())
        return;

    if (!m_document.isDragging()) {
        if (m_document.edgeAt(x, width()) != WaveDocument::Edge::None)
            setCursor(Qt::SizeHorCursor);
        else
            unsetCursor();
        return;
    }
    m_blinkTimer.stop();
    const QRect oldSelection = selectionRect();
    const QRect oldCaret = caretRect();
    m_document.dragTo(x);
    // Only the columns whose inversion changed need painting.
    update(QRegion(oldSelection).xored(QRegion(selectionRect())));
    if (m_caretShown)
        update(oldCaret);
    showCaret();
    restartBlink();
}

void MMWaveEditXCtrl::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_document.isDragging())
        return;
    m_document.release();
    if (m_document.edgeAt(event->position().toPoint().x(), width()) == WaveDocument::Edge::None)
        unsetCursor();
    update();
}

} // namespace sonavell
