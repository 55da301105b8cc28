#include "faces.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>

namespace sonavell::skinimages {

namespace {

const QColor kBezelTop(104, 114, 126);
const QColor kBezelBottom(24, 28, 33);
const QColor kMetalTop(252, 253, 254);
const QColor kMetalUpper(214, 221, 229);
const QColor kMetalLower(183, 193, 205);
const QColor kMetalBottom(232, 237, 242);

void fillGlyph(QPainter &painter, const QPainterPath &glyph, const FaceLook &look, const QRectF &box)
{
    if (look.active) {
        // Lit face: a white symbol with a soft shadow below it.
        painter.fillPath(glyph.translated(0, 0.8), withAlpha(darker(look.accent, 0.55), 150));
        painter.fillPath(glyph, QColor(255, 255, 255));
        return;
    }
    // Metal face: an engraved symbol in the accent colour, lit from above.
    painter.fillPath(glyph.translated(0, 0.9), QColor(255, 255, 255, 170));
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, lighter(look.accent, 0.2));
    fill.setColorAt(1, darker(look.accent, 0.22));
    painter.fillPath(glyph, fill);
    painter.strokePath(glyph, QPen(withAlpha(darker(look.accent, 0.6), 200), 0.7));
}

} // namespace

Drawing faceDrawing(QSize size, const FaceLook &look)
{
    return [size, look](QPainter &painter) {
        const qreal w = size.width();
        const qreal h = size.height();
        const QRectF outer(0, 0, w, h);
        painter.setPen(Qt::NoPen);

        // Bezel.
        QLinearGradient bezel(0, 0, 0, h);
        bezel.setColorAt(0, kBezelTop);
        bezel.setColorAt(1, kBezelBottom);
        painter.setBrush(bezel);
        painter.drawEllipse(outer);

        // Face.
        const qreal inset = std::max(2.0, std::min(w, h) * 0.075);
        const QRectF face = outer.adjusted(inset, inset, -inset, -inset);
        QLinearGradient metal(0, face.top(), 0, face.bottom());
        if (look.active) {
            metal.setColorAt(0, darker(look.accent, 0.35));
            metal.setColorAt(0.45, look.accent);
            metal.setColorAt(0.55, lighter(look.accent, 0.12));
            metal.setColorAt(1, lighter(look.accent, 0.45));
        } else {
            metal.setColorAt(0, kMetalTop);
            metal.setColorAt(0.48, kMetalUpper);
            metal.setColorAt(0.52, kMetalLower);
            metal.setColorAt(1, kMetalBottom);
        }
        painter.setBrush(metal);
        painter.drawEllipse(face);

        QPainterPath faceShape;
        faceShape.addEllipse(face);
        painter.save();
        painter.setClipPath(faceShape);
        if (look.active) {
            // Pressed in: a shadow along the upper rim and a glow in the middle.
            QRadialGradient glow(face.center(), face.width() * 0.5);
            glow.setColorAt(0, withAlpha(lighter(look.accent, 0.6), 150));
            glow.setColorAt(1, withAlpha(look.accent, 0));
            painter.setBrush(glow);
            painter.save();
            painter.translate(face.center());
            painter.scale(1, face.height() / face.width());
            painter.translate(-face.center());
            painter.drawEllipse(face.center(), face.width() * 0.5, face.width() * 0.5);
            painter.restore();
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(QColor(0, 0, 0, 110), 2.2));
            painter.drawEllipse(face.adjusted(0.4, 1.4, -0.4, 0.6));
            painter.setPen(Qt::NoPen);
        }
        // Highlight over the upper half.
        const QRectF shine(face.left() + face.width() * 0.07, face.top() + 0.8, face.width() * 0.86,
                           face.height() * 0.52);
        QLinearGradient gloss(0, shine.top(), 0, shine.bottom());
        gloss.setColorAt(0, QColor(255, 255, 255, look.active ? 130 : 200));
        gloss.setColorAt(1, QColor(255, 255, 255, look.active ? 8 : 24));
        painter.setBrush(gloss);
        painter.drawEllipse(shine);
        painter.restore();

        // Rim: a light line at the top of the bezel and a thin dark line around the face.
        painter.setBrush(Qt::NoBrush);
        QLinearGradient rim(0, 0, 0, h);
        rim.setColorAt(0, QColor(255, 255, 255, 150));
        rim.setColorAt(0.5, QColor(255, 255, 255, 0));
        painter.setPen(QPen(rim, 0.9));
        painter.drawEllipse(outer.adjusted(0.7, 0.7, -0.7, -0.7));
        painter.setPen(QPen(QColor(0, 0, 0, 90), 0.8));
        painter.drawEllipse(face);
        painter.setPen(Qt::NoPen);

        // Symbol.
        const qreal side = std::min(h * 0.5, w * 0.5);
        QRectF box(0, 0, side, side);
        box.moveCenter(outer.center() + QPointF(0, look.active ? 0.5 : 0));
        fillGlyph(painter, glyphPath(look.glyph, box), look, box);
    };
}

namespace {

const QColor kSlot(238, 242, 247);
const QColor kSlotEdge(120, 132, 148);
const QColor kTick(86, 96, 110);

void drawSlot(QPainter &painter, const QRectF &slot)
{
    const qreal radius = std::min(slot.width(), slot.height()) / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(kSlot, 170));
    painter.drawRoundedRect(slot, radius, radius);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(withAlpha(kSlotEdge, 235), 1));
    painter.drawRoundedRect(slot.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
}

QPainterPath thumbShape(const QRectF &body, bool pointsDown)
{
    // A grip with a pointed end toward the ticks.
    QPainterPath path;
    const qreal r = 2.5;
    if (pointsDown) {
        const qreal tip = body.bottom();
        const qreal shoulder = body.bottom() - body.width() * 0.42;
        path.moveTo(body.left() + r, body.top());
        path.lineTo(body.right() - r, body.top());
        path.quadTo(body.right(), body.top(), body.right(), body.top() + r);
        path.lineTo(body.right(), shoulder);
        path.lineTo(body.center().x(), tip);
        path.lineTo(body.left(), shoulder);
        path.lineTo(body.left(), body.top() + r);
        path.quadTo(body.left(), body.top(), body.left() + r, body.top());
    } else {
        const qreal tip = body.right();
        const qreal shoulder = body.right() - body.height() * 0.42;
        path.moveTo(body.left(), body.top() + r);
        path.quadTo(body.left(), body.top(), body.left() + r, body.top());
        path.lineTo(shoulder, body.top());
        path.lineTo(tip, body.center().y());
        path.lineTo(shoulder, body.bottom());
        path.lineTo(body.left() + r, body.bottom());
        path.quadTo(body.left(), body.bottom(), body.left(), body.bottom() - r);
    }
    path.closeSubpath();
    return path;
}

void drawThumb(QPainter &painter, const QRectF &body, bool pointsDown, bool dragged)
{
    const QPainterPath shape = thumbShape(body, pointsDown);
    // Shadow.
    painter.fillPath(shape.translated(0.8, 1), QColor(0, 0, 0, 70));
    QLinearGradient metal(body.topLeft(), pointsDown ? body.topRight() : body.bottomLeft());
    if (dragged) {
        metal.setColorAt(0, QColor(214, 232, 255));
        metal.setColorAt(0.5, QColor(120, 170, 235));
        metal.setColorAt(1, QColor(62, 112, 190));
    } else {
        metal.setColorAt(0, QColor(250, 251, 253));
        metal.setColorAt(0.5, QColor(205, 212, 221));
        metal.setColorAt(1, QColor(150, 160, 173));
    }
    painter.fillPath(shape, metal);
    painter.strokePath(shape, QPen(dragged ? QColor(34, 72, 140) : QColor(70, 78, 90), 0.9));
    // Grip lines across the middle.
    painter.setPen(QPen(dragged ? QColor(240, 248, 255, 220) : QColor(255, 255, 255, 230), 0.8));
    const QPointF c = pointsDown ? QPointF(body.center().x(), body.top() + body.height() * 0.34)
                                 : QPointF(body.left() + body.width() * 0.34, body.center().y());
    for (int i = -1; i <= 1; ++i) {
        if (pointsDown)
            painter.drawLine(QPointF(c.x() - 3.5, c.y() + i * 2.5), QPointF(c.x() + 3.5, c.y() + i * 2.5));
        else
            painter.drawLine(QPointF(c.x() + i * 2.5, c.y() - 3.5), QPointF(c.x() + i * 2.5, c.y() + 3.5));
    }
    painter.setPen(QPen(QColor(60, 70, 84, 160), 0.8));
    for (int i = -1; i <= 1; ++i) {
        if (pointsDown)
            painter.drawLine(QPointF(c.x() - 3.5, c.y() + i * 2.5 + 0.9),
                             QPointF(c.x() + 3.5, c.y() + i * 2.5 + 0.9));
        else
            painter.drawLine(QPointF(c.x() + i * 2.5 + 0.9, c.y() - 3.5),
                             QPointF(c.x() + i * 2.5 + 0.9, c.y() + 3.5));
    }
}

} // namespace

Drawing horizontalGrooveDrawing()
{
    return [](QPainter &painter) {
        drawSlot(painter, QRectF(0.5, 7, 139, 7));
        painter.setPen(QPen(withAlpha(kTick, 150), 1));
        for (int i = 0; i <= 10; ++i) {
            const qreal x = 3.5 + i * 13.3;
            painter.drawLine(QPointF(x, 16.5), QPointF(x, i % 5 == 0 ? 20.5 : 19));
        }
    };
}

Drawing verticalGrooveDrawing()
{
    return [](QPainter &painter) {
        drawSlot(painter, QRectF(8.5, 0.5, 7, 79));
        painter.setPen(QPen(withAlpha(kTick, 150), 1));
        for (int i = 0; i <= 8; ++i) {
            const qreal y = 3.5 + i * 9.1;
            painter.drawLine(QPointF(17.5, y), QPointF(i % 4 == 0 ? 23.5 : 21.5, y));
        }
    };
}

Drawing horizontalThumbDrawing(bool dragged)
{
    return [dragged](QPainter &painter) { drawThumb(painter, QRectF(1.5, 0.5, 12.5, 19), true, dragged); };
}

Drawing verticalThumbDrawing(bool dragged)
{
    return [dragged](QPainter &painter) { drawThumb(painter, QRectF(0.5, 1.5, 18.5, 12), false, dragged); };
}

} // namespace sonavell::skinimages
