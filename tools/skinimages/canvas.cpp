#include "canvas.h"

#include <QTransform>

#include <cmath>
#include <numbers>

namespace sonavell::skinimages {

QImage render(QSize size, qreal scale, const Drawing &drawing)
{
    QImage image(qRound(size.width() * scale), qRound(size.height() * scale),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    drawing(painter);
    painter.end();
    return image;
}

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    const auto channel = [t](int x, int y) { return qRound(x + (y - x) * t); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()),
                  channel(a.alpha(), b.alpha()));
}

QColor lighter(const QColor &colour, qreal amount)
{
    return mix(colour, QColor(255, 255, 255, colour.alpha()), amount);
}

QColor darker(const QColor &colour, qreal amount)
{
    return mix(colour, QColor(0, 0, 0, colour.alpha()), amount);
}

QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

namespace {

// Points given in a unit square, placed into the box.
QPointF at(const QRectF &box, qreal x, qreal y)
{
    return {box.left() + x * box.width(), box.top() + y * box.height()};
}

QRectF part(const QRectF &box, qreal x0, qreal y0, qreal x1, qreal y1)
{
    return QRectF(at(box, x0, y0), at(box, x1, y1));
}

QPainterPath polygon(const QRectF &box, std::initializer_list<QPointF> unitPoints)
{
    QPolygonF points;
    for (const QPointF &p : unitPoints)
        points << at(box, p.x(), p.y());
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    return path;
}

QPainterPath gear(const QRectF &box)
{
    const QPointF centre = box.center();
    const qreal outer = box.width() * 0.5;
    const qreal inner = outer * 0.72;
    const int teeth = 8;
    QPainterPath path;
    for (int i = 0; i < teeth * 4; ++i) {
        // Each tooth: rise, top, fall, valley; the top is a little narrower than the valley.
        const qreal step = 2 * std::numbers::pi / (teeth * 4);
        const qreal angle = i * step + ((i % 4 == 1 || i % 4 == 2) ? (i % 4 == 1 ? 0.18 : -0.18) * step : 0);
        const qreal radius = (i % 4 == 1 || i % 4 == 2) ? outer : inner;
        const QPointF p(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    path.addEllipse(centre, outer * 0.3, outer * 0.3);
    path.setFillRule(Qt::OddEvenFill);
    return path;
}

} // namespace

QPainterPath glyphPath(Glyph glyph, const QRectF &box)
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    const qreal round = box.width() * 0.08;
    switch (glyph) {
    case Glyph::Record:
        path.addEllipse(part(box, 0.1, 0.1, 0.9, 0.9));
        break;
    case Glyph::Pause:
        path.addRoundedRect(part(box, 0.16, 0.1, 0.42, 0.9), round, round);
        path.addRoundedRect(part(box, 0.58, 0.1, 0.84, 0.9), round, round);
        break;
    case Glyph::Stop:
        path.addRoundedRect(part(box, 0.14, 0.14, 0.86, 0.86), round * 1.5, round * 1.5);
        break;
    case Glyph::Play:
        path = polygon(box, {{0.2, 0.08}, {0.92, 0.5}, {0.2, 0.92}});
        break;
    case Glyph::Option:
        path = gear(box);
        break;
    case Glyph::Tag:
        path = polygon(box, {{0.02, 0.5}, {0.32, 0.16}, {0.96, 0.16}, {0.96, 0.84}, {0.32, 0.84}});
        path.addEllipse(at(box, 0.28, 0.5), box.width() * 0.08, box.width() * 0.08);
        path.addRoundedRect(part(box, 0.46, 0.34, 0.84, 0.42), round * 0.5, round * 0.5);
        path.addRoundedRect(part(box, 0.46, 0.58, 0.76, 0.66), round * 0.5, round * 0.5);
        path.setFillRule(Qt::OddEvenFill);
        break;
    case Glyph::Start:
        path.addRoundedRect(part(box, 0.08, 0.12, 0.24, 0.88), round * 0.6, round * 0.6);
        path.addPath(polygon(box, {{0.92, 0.12}, {0.92, 0.88}, {0.3, 0.5}}));
        break;
    case Glyph::End:
        path.addRoundedRect(part(box, 0.76, 0.12, 0.92, 0.88), round * 0.6, round * 0.6);
        path.addPath(polygon(box, {{0.08, 0.12}, {0.7, 0.5}, {0.08, 0.88}}));
        break;
    case Glyph::Save: {
        path = polygon(box, {{0.08, 0.08}, {0.76, 0.08}, {0.92, 0.24}, {0.92, 0.92}, {0.08, 0.92}});
        path.addRect(part(box, 0.26, 0.08, 0.66, 0.36));
        path.addRect(part(box, 0.5, 0.13, 0.6, 0.31));
        path.addRoundedRect(part(box, 0.22, 0.54, 0.78, 0.86), round * 0.5, round * 0.5);
        path.setFillRule(Qt::OddEvenFill);
        break;
    }
    case Glyph::Remove: {
        path.addRoundedRect(part(box, 0.12, 0.14, 0.88, 0.24), round * 0.5, round * 0.5);
        path.addRoundedRect(part(box, 0.38, 0.04, 0.62, 0.16), round * 0.5, round * 0.5);
        QPainterPath body = polygon(box, {{0.2, 0.3}, {0.8, 0.3}, {0.74, 0.95}, {0.26, 0.95}});
        for (qreal x : {0.32, 0.46, 0.6}) {
            QPainterPath slot;
            slot.addRoundedRect(part(box, x, 0.4, x + 0.08, 0.85), round * 0.4, round * 0.4);
            body = body.subtracted(slot);
        }
        path = path.united(body);
        break;
    }
    }
    return path;
}

} // namespace sonavell::skinimages
