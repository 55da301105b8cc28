#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace sonavell::skinimages {

// Every picture is drawn in its logical size and rendered at any scale, so the 2x variants come
// from the same drawing code.
using Drawing = std::function<void(QPainter &painter)>;

// A transparent picture of size × scale pixels with the drawing applied (antialiased, scaled).
QImage render(QSize size, qreal scale, const Drawing &drawing);

// Colour helpers for gradients.
QColor mix(const QColor &a, const QColor &b, qreal t);
QColor lighter(const QColor &colour, qreal amount); // toward white by amount 0..1
QColor darker(const QColor &colour, qreal amount);  // toward black by amount 0..1
QColor withAlpha(QColor colour, int alpha);

// The symbols used on buttons and toolbars, each drawn into a square box.
enum class Glyph {
    Record,
    Pause,
    Stop,
    Play,
    Option,
    Tag,
    Start,
    End,
    Save,
    Remove,
};
QPainterPath glyphPath(Glyph glyph, const QRectF &box);

} // namespace sonavell::skinimages
