#include "pictures.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <array>
#include <span>

namespace sonavell::skinimages {

namespace {

const QColor kRecordRed(224, 48, 40);

void drawRecordDot(QPainter &painter, QPointF centre, qreal radius)
{
    QRadialGradient glow(centre, radius * 1.6);
    glow.setColorAt(0.55, withAlpha(kRecordRed, 120));
    glow.setColorAt(1, withAlpha(kRecordRed, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(centre, radius * 1.6, radius * 1.6);
    QRadialGradient dot(centre - QPointF(radius * 0.35, radius * 0.4), radius * 1.3);
    dot.setColorAt(0, lighter(kRecordRed, 0.55));
    dot.setColorAt(0.6, kRecordRed);
    dot.setColorAt(1, darker(kRecordRed, 0.35));
    painter.setBrush(dot);
    painter.drawEllipse(centre, radius, radius);
}

// The name in stroked lower-case letters; returns the advance.
qreal drawWordmark(QPainter &painter, QPointF origin, qreal k)
{
    const qreal base = origin.y();
    const qreal xh = 11 * k;
    const qreal top = base - xh;
    const qreal gap = 3.1 * k;
    qreal x = origin.x();
    QPainterPath path;

    // s
    path.moveTo(x + 6.6 * k, top + 1.6 * k);
    path.cubicTo(x + 5.2 * k, top - 0.4 * k, x + 0.4 * k, top - 0.2 * k, x + 0.6 * k, top + 2.9 * k);
    path.cubicTo(x + 0.8 * k, top + 5.4 * k, x + 6.6 * k, top + 5.0 * k, x + 6.7 * k, top + 7.9 * k);
    path.cubicTo(x + 6.8 * k, top + 11.4 * k, x + 1.4 * k, top + 11.5 * k, x + 0.1 * k, top + 9.4 * k);
    x += 6.8 * k + gap;
    // o
    path.addEllipse(QRectF(x, top, 8.8 * k, xh));
    x += 8.8 * k + gap;
    // n
    path.moveTo(x, top);
    path.lineTo(x, base);
    path.moveTo(x, top + 4.6 * k);
    path.cubicTo(x + 0.6 * k, top - 0.6 * k, x + 7.6 * k, top - 0.8 * k, x + 7.8 * k, top + 4.4 * k);
    path.lineTo(x + 7.8 * k, base);
    x += 7.8 * k + gap;
    // a
    path.addEllipse(QRectF(x, top, 8.2 * k, xh));
    path.moveTo(x + 8.2 * k, top);
    path.lineTo(x + 8.2 * k, base);
    x += 8.2 * k + gap;
    // v
    path.moveTo(x, top);
    path.lineTo(x + 4.2 * k, base);
    path.lineTo(x + 8.4 * k, top);
    x += 8.4 * k + gap;
    // e
    path.moveTo(x, top + xh / 2);
    path.lineTo(x + 8.8 * k, top + xh / 2);
    path.arcTo(QRectF(x, top, 8.8 * k, xh), 0, 300);
    x += 8.8 * k + gap * 1.2;
    // l l
    for (int i = 0; i < 2; ++i) {
        path.moveTo(x, base - 16 * k);
        path.lineTo(x, base);
        x += gap * 1.3;
    }

    QPen shadow(QColor(0, 0, 0, 120), 2.3 * k, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.strokePath(path.translated(0.6, 0.9), shadow);
    QLinearGradient ink(0, top - 5 * k, 0, base);
    ink.setColorAt(0, QColor(250, 252, 255));
    ink.setColorAt(1, QColor(196, 210, 226));
    painter.strokePath(path, QPen(ink, 2.1 * k, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    return x - origin.x();
}

void drawBars(QPainter &painter, const QRectF &area, std::span<const qreal> heights, const QColor &top,
              const QColor &bottom)
{
    const qreal step = area.width() / heights.size();
    const qreal barWidth = step * 0.56;
    QLinearGradient fill(0, area.top(), 0, area.bottom());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    for (std::size_t i = 0; i < heights.size(); ++i) {
        const qreal h = area.height() * heights[i];
        const QRectF bar(area.left() + i * step + (step - barWidth) / 2, area.center().y() - h / 2, barWidth,
                         h);
        painter.drawRoundedRect(bar, barWidth / 2, barWidth / 2);
    }
}

} // namespace

Drawing appIconDrawing(int size)
{
    return [size](QPainter &painter) {
        const qreal s = size;
        const qreal margin = size >= 32 ? s * 0.06 : 0.5;
        const QRectF tile(margin, margin, s - 2 * margin, s - 2 * margin);
        const qreal radius = s * 0.2;
        QLinearGradient back(0, tile.top(), 0, tile.bottom());
        back.setColorAt(0, QColor(58, 74, 96));
        back.setColorAt(1, QColor(16, 22, 31));
        painter.setPen(Qt::NoPen);
        painter.setBrush(back);
        painter.drawRoundedRect(tile, radius, radius);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(255, 255, 255, 60), std::max(1.0, s / 64)));
        painter.drawRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

        if (size <= 24) {
            static constexpr std::array<qreal, 3> bars{0.45, 1.0, 0.6};
            drawBars(painter, QRectF(tile.left() + s * 0.1, tile.top() + s * 0.16, s * 0.36, s * 0.6), bars,
                     QColor(150, 220, 255), QColor(40, 140, 220));
            drawRecordDot(painter, QPointF(s * 0.66, s * 0.62), s * 0.2);
            return;
        }
        static constexpr std::array<qreal, 9> bars{0.22, 0.45, 0.75, 0.5, 1.0, 0.62, 0.85, 0.4, 0.2};
        drawBars(painter, QRectF(tile.left() + s * 0.1, tile.top() + s * 0.14, s * 0.76, s * 0.5), bars,
                 QColor(160, 226, 255), QColor(36, 132, 214));
        // A thin base line under the wave, then the record dot over the lower right.
        painter.setPen(QPen(QColor(120, 180, 230, 110), std::max(1.0, s / 64)));
        painter.drawLine(QPointF(tile.left() + s * 0.1, s * 0.39), QPointF(tile.right() - s * 0.1, s * 0.39));
        drawRecordDot(painter, QPointF(s * 0.7, s * 0.72), s * 0.15);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(255, 255, 255, 200), s / 40));
        painter.drawEllipse(QPointF(s * 0.7, s * 0.72), s * 0.15, s * 0.15);
    };
}

Drawing bandLogoDrawing()
{
    return [](QPainter &painter) {
        painter.fillRect(QRectF(0, 0, 185, 31), QColor(200, 200, 200));
        QPainterPath tab;
        tab.moveTo(0, 0);
        tab.lineTo(185, 0);
        tab.lineTo(175, 31);
        tab.lineTo(0, 31);
        tab.closeSubpath();
        QLinearGradient back(0, 0, 0, 31);
        back.setColorAt(0, QColor(64, 75, 89));
        back.setColorAt(0.5, QColor(38, 45, 55));
        back.setColorAt(1, QColor(22, 26, 32));
        painter.fillPath(tab, back);
        // Sheen on the upper half and a light top edge.
        QLinearGradient sheen(0, 0, 0, 15);
        sheen.setColorAt(0, QColor(255, 255, 255, 46));
        sheen.setColorAt(1, QColor(255, 255, 255, 0));
        painter.save();
        painter.setClipPath(tab);
        painter.fillRect(QRectF(0, 0, 185, 15), sheen);
        painter.setPen(QPen(QColor(255, 255, 255, 70), 1));
        painter.drawLine(QPointF(0, 0.5), QPointF(185, 0.5));
        painter.restore();

        drawRecordDot(painter, QPointF(15.5, 15.5), 6);
        const qreal advance = drawWordmark(painter, QPointF(31, 21.5), 1.12);
        static constexpr std::array<qreal, 10> bars{0.3, 0.55, 0.9, 0.6, 1.0, 0.7, 0.45, 0.8, 0.4, 0.22};
        const qreal left = 31 + advance + 4;
        drawBars(painter, QRectF(left, 8, 164 - left, 15), bars, QColor(140, 210, 250), QColor(40, 120, 200));
    };
}

Drawing checkMarkDrawing(int size)
{
    return [size](QPainter &painter) {
        const qreal s = size;
        QPainterPath tick;
        tick.moveTo(s * 0.1, s * 0.52);
        tick.lineTo(s * 0.4, s * 0.82);
        tick.lineTo(s * 0.92, s * 0.16);
        painter.strokePath(tick,
                           QPen(QColor(24, 28, 34), s * 0.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    };
}

namespace {

void drawFolder(QPainter &painter, const QRectF &r, bool open)
{
    QPainterPath back;
    back.moveTo(r.left(), r.top() + r.height() * 0.12);
    back.lineTo(r.left() + r.width() * 0.38, r.top() + r.height() * 0.12);
    back.lineTo(r.left() + r.width() * 0.48, r.top() + r.height() * 0.26);
    back.lineTo(r.right(), r.top() + r.height() * 0.26);
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.left(), r.bottom());
    back.closeSubpath();
    painter.fillPath(back, QColor(214, 160, 40));
    painter.strokePath(back, QPen(QColor(140, 96, 16), 0.8));
    QPainterPath front;
    if (open) {
        front.moveTo(r.left() + r.width() * 0.16, r.top() + r.height() * 0.44);
        front.lineTo(r.right() + r.width() * 0.06, r.top() + r.height() * 0.44);
        front.lineTo(r.right() - r.width() * 0.1, r.bottom());
        front.lineTo(r.left(), r.bottom());
    } else {
        front.moveTo(r.left(), r.top() + r.height() * 0.36);
        front.lineTo(r.right(), r.top() + r.height() * 0.36);
        front.lineTo(r.right(), r.bottom());
        front.lineTo(r.left(), r.bottom());
    }
    front.closeSubpath();
    QLinearGradient fill(0, r.top(), 0, r.bottom());
    fill.setColorAt(0, QColor(252, 222, 120));
    fill.setColorAt(1, QColor(236, 180, 56));
    painter.fillPath(front, fill);
    painter.strokePath(front, QPen(QColor(150, 104, 20), 0.8));
}

void drawMagnifier(QPainter &painter, bool plus)
{
    painter.setPen(QPen(QColor(70, 60, 50), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(11.5, 11.5), QPointF(16, 16));
    QRadialGradient lens(QPointF(6, 6), 7);
    lens.setColorAt(0, QColor(235, 246, 255));
    lens.setColorAt(1, QColor(150, 196, 236));
    painter.setBrush(lens);
    painter.setPen(QPen(QColor(44, 64, 92), 1.5));
    painter.drawEllipse(QPointF(7.5, 7.5), 5.5, 5.5);
    painter.setPen(QPen(QColor(28, 40, 60), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(5, 7.5), QPointF(10, 7.5));
    if (plus)
        painter.drawLine(QPointF(7.5, 5), QPointF(7.5, 10));
}

void drawArrowHead(QPainter &painter, QPointF tip, QPointF direction, const QColor &colour)
{
    const QPointF normal(-direction.y(), direction.x());
    QPolygonF head;
    head << tip << tip - direction * 4 + normal * 3 << tip - direction * 4 - normal * 3;
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPolygon(head);
}

} // namespace

Drawing toolImageDrawing(ToolImage image)
{
    return [image](QPainter &painter) {
        const QRectF box(1, 1, 16, 16);
        switch (image) {
        case ToolImage::Play: {
            const QPainterPath path = glyphPath(Glyph::Play, box);
            QLinearGradient fill(0, 1, 0, 17);
            fill.setColorAt(0, QColor(120, 220, 120));
            fill.setColorAt(1, QColor(30, 140, 50));
            painter.fillPath(path, fill);
            painter.strokePath(path, QPen(QColor(20, 90, 30), 1));
            break;
        }
        case ToolImage::Stop: {
            const QPainterPath path = glyphPath(Glyph::Stop, box);
            QLinearGradient fill(0, 1, 0, 17);
            fill.setColorAt(0, QColor(238, 110, 96));
            fill.setColorAt(1, QColor(170, 36, 28));
            painter.fillPath(path, fill);
            painter.strokePath(path, QPen(QColor(110, 20, 16), 1));
            break;
        }
        case ToolImage::Open:
            drawFolder(painter, QRectF(1, 2, 15.5, 13.5), true);
            break;
        case ToolImage::Save: {
            const QPainterPath path = glyphPath(Glyph::Save, box);
            QLinearGradient fill(0, 1, 0, 17);
            fill.setColorAt(0, QColor(96, 150, 222));
            fill.setColorAt(1, QColor(32, 78, 160));
            painter.fillRect(QRectF(4.5, 9.6, 9, 5), QColor(246, 246, 246));
            painter.fillPath(path, fill);
            painter.strokePath(path, QPen(QColor(20, 48, 110), 0.9));
            break;
        }
        case ToolImage::ZoomIn:
        case ToolImage::ZoomOut:
            drawMagnifier(painter, image == ToolImage::ZoomIn);
            break;
        case ToolImage::Repeat: {
            const QColor blue(36, 112, 206);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(blue, 2, Qt::SolidLine, Qt::FlatCap));
            QPainterPath upper;
            upper.moveTo(3, 9.5);
            upper.lineTo(3, 7);
            upper.quadTo(3, 4, 6, 4);
            upper.lineTo(12.5, 4);
            painter.drawPath(upper);
            QPainterPath lower;
            lower.moveTo(15, 8.5);
            lower.lineTo(15, 11);
            lower.quadTo(15, 14, 12, 14);
            lower.lineTo(5.5, 14);
            painter.drawPath(lower);
            drawArrowHead(painter, QPointF(16.5, 4), QPointF(1, 0), blue);
            drawArrowHead(painter, QPointF(1.5, 14), QPointF(-1, 0), blue);
            break;
        }
        }
    };
}

namespace {

void drawDrive(QPainter &painter, const QRectF &r, const QColor &body, const QColor &light)
{
    QLinearGradient fill(0, r.top(), 0, r.bottom());
    fill.setColorAt(0, lighter(body, 0.45));
    fill.setColorAt(1, body);
    painter.setBrush(fill);
    painter.setPen(QPen(darker(body, 0.45), 0.8));
    painter.drawRoundedRect(r, 1.5, 1.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(light);
    painter.drawEllipse(QPointF(r.right() - 2.5, r.center().y()), 1.1, 1.1);
}

void drawComputer(QPainter &painter, const QRectF &r)
{
    painter.setPen(QPen(QColor(60, 66, 76), 0.8));
    painter.setBrush(QColor(210, 214, 220));
    painter.drawRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.7));
    painter.setBrush(QColor(70, 140, 210));
    painter.drawRect(QRectF(r.left() + 1.2, r.top() + 1.2, r.width() - 2.4, r.height() * 0.7 - 2.4));
    painter.setBrush(QColor(150, 156, 164));
    painter.drawRect(
        QRectF(r.left() + r.width() * 0.3, r.bottom() - r.height() * 0.2, r.width() * 0.4, r.height() * 0.2));
}

void drawGlobe(QPainter &painter, QPointF centre, qreal radius)
{
    QRadialGradient sea(centre - QPointF(radius * 0.4, radius * 0.4), radius * 1.6);
    sea.setColorAt(0, QColor(150, 210, 250));
    sea.setColorAt(1, QColor(30, 96, 180));
    painter.setBrush(sea);
    painter.setPen(QPen(QColor(20, 60, 120), 0.8));
    painter.drawEllipse(centre, radius, radius);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(230, 240, 250, 200), 0.7));
    painter.drawEllipse(centre, radius * 0.45, radius);
    painter.drawLine(QPointF(centre.x() - radius, centre.y()), QPointF(centre.x() + radius, centre.y()));
}

void drawCable(QPainter &painter, const QRectF &r)
{
    painter.setPen(QPen(QColor(40, 44, 52), 1.2));
    painter.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom() - 1));
    painter.drawLine(QPointF(r.left(), r.bottom() - 0.6), QPointF(r.right(), r.bottom() - 0.6));
}

void drawStripImage(QPainter &painter, int index)
{
    const QRectF r(0.5, 0.5, 15.5, 15);
    switch (index) {
    case 0:  // folder
    case 16: // directory
        drawFolder(painter, r.adjusted(0.5, 1, -0.5, -1), false);
        break;
    case 1: // open folder
        drawFolder(painter, r.adjusted(0.5, 1, -1, -1), true);
        break;
    case 2: // removable drive
        drawDrive(painter, QRectF(1, 6, 15, 7), QColor(120, 130, 150), QColor(90, 220, 90));
        painter.setBrush(QColor(190, 196, 204));
        painter.setPen(QPen(QColor(90, 96, 106), 0.7));
        painter.drawRect(QRectF(4, 3, 6, 3));
        break;
    case 3: // fixed disk
        drawDrive(painter, QRectF(1, 5, 15, 8), QColor(140, 146, 156), QColor(60, 210, 80));
        break;
    case 4: // network drive
        drawDrive(painter, QRectF(1, 2, 15, 7), QColor(140, 146, 156), QColor(60, 210, 80));
        drawCable(painter, QRectF(3, 9, 11, 6));
        break;
    case 5: { // optical disc
        QRadialGradient disc(QPointF(6, 6), 10);
        disc.setColorAt(0, QColor(250, 250, 250));
        disc.setColorAt(0.5, QColor(196, 214, 236));
        disc.setColorAt(1, QColor(220, 196, 236));
        painter.setBrush(disc);
        painter.setPen(QPen(QColor(100, 110, 130), 0.8));
        painter.drawEllipse(QPointF(8.5, 8), 7, 7);
        painter.setBrush(QColor(254, 254, 254));
        painter.drawEllipse(QPointF(8.5, 8), 2, 2);
        break;
    }
    case 6: // memory disk
        painter.setBrush(QColor(40, 120, 70));
        painter.setPen(QPen(QColor(20, 70, 40), 0.8));
        painter.drawRect(QRectF(1, 4, 15, 8));
        painter.setBrush(QColor(36, 38, 44));
        for (int i = 0; i < 3; ++i)
            painter.drawRect(QRectF(2.5 + i * 4.6, 5.5, 3.4, 4));
        painter.setPen(QPen(QColor(220, 180, 60), 1));
        for (int i = 0; i < 7; ++i)
            painter.drawLine(QPointF(2 + i * 2.1, 12), QPointF(2 + i * 2.1, 14));
        break;
    case 7: // the network
    case 13:
    case 14:
        drawGlobe(painter, QPointF(8.5, 8), 6.5);
        break;
    case 8: // domain
        drawGlobe(painter, QPointF(6, 6), 4.5);
        drawComputer(painter, QRectF(8, 7, 8, 8));
        break;
    case 9: // server
        painter.setBrush(QColor(170, 176, 186));
        painter.setPen(QPen(QColor(70, 76, 86), 0.8));
        painter.drawRoundedRect(QRectF(4.5, 1, 8, 14.5), 1, 1);
        painter.setPen(QPen(QColor(90, 96, 106), 0.8));
        for (int i = 0; i < 3; ++i)
            painter.drawLine(QPointF(6, 3.5 + i * 2.5), QPointF(11, 3.5 + i * 2.5));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(60, 210, 80));
        painter.drawEllipse(QPointF(8.5, 12.5), 1, 1);
        break;
    case 10: // share
    case 15:
        drawFolder(painter, QRectF(1, 1, 15, 10), false);
        drawCable(painter, QRectF(3, 11, 11, 4.5));
        break;
    case 11: { // file
        QPainterPath page;
        page.moveTo(3.5, 1);
        page.lineTo(10.5, 1);
        page.lineTo(13.5, 4);
        page.lineTo(13.5, 15);
        page.lineTo(3.5, 15);
        page.closeSubpath();
        painter.fillPath(page, QColor(250, 250, 250));
        painter.strokePath(page, QPen(QColor(90, 96, 106), 0.8));
        painter.setPen(QPen(QColor(150, 160, 176), 0.8));
        for (int i = 0; i < 4; ++i)
            painter.drawLine(QPointF(5.5, 6 + i * 2.2), QPointF(11.5, 6 + i * 2.2));
        break;
    }
    case 12: // group of computers
        drawComputer(painter, QRectF(1, 1, 9, 8));
        drawComputer(painter, QRectF(7, 7, 9, 8));
        break;
    case 17: // tree
        painter.setPen(QPen(QColor(90, 96, 106), 0.8));
        painter.drawLine(QPointF(4, 4), QPointF(4, 13));
        painter.drawLine(QPointF(4, 8.5), QPointF(9, 8.5));
        painter.drawLine(QPointF(4, 13), QPointF(9, 13));
        painter.setBrush(QColor(80, 150, 220));
        painter.drawRect(QRectF(1.5, 1, 5, 4));
        painter.setBrush(QColor(230, 180, 60));
        painter.drawRect(QRectF(9, 6.5, 5, 4));
        painter.drawRect(QRectF(9, 11, 5, 4));
        break;
    default: { // container
        QLinearGradient fill(0, 3, 0, 15);
        fill.setColorAt(0, QColor(230, 200, 150));
        fill.setColorAt(1, QColor(180, 130, 70));
        painter.setBrush(fill);
        painter.setPen(QPen(QColor(110, 76, 30), 0.8));
        painter.drawRect(QRectF(2, 5, 13, 10));
        painter.drawRect(QRectF(1.5, 3, 14, 3));
        break;
    }
    }
}

} // namespace

Drawing folderStripDrawing()
{
    return [](QPainter &painter) {
        for (int i = 0; i < kFolderStripCount; ++i) {
            painter.save();
            painter.translate(i * 17, 0);
            painter.setClipRect(QRectF(0, 0, 17, 16));
            drawStripImage(painter, i);
            painter.restore();
        }
    };
}

} // namespace sonavell::skinimages
