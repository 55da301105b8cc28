#include "gui/skin/dialogskin.h"

#include "gui/skin/skinimage.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>

#include <cmath>

namespace sonavell {

namespace {

constexpr int kCheckMark = 185;
// The box or circle: a 16-pixel square beside the caption, drawn 2 pixels in on every side.
constexpr int kIndicator = 16;
constexpr int kIndicatorInset = 2;

class DialogSkinStyle : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight:
            return kIndicator;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        switch (element) {
        case PE_IndicatorRadioButton:
            drawRadio(option, painter);
            return;
        case PE_IndicatorCheckBox:
            drawCheck(option, painter);
            return;
        default:
            QProxyStyle::drawPrimitive(element, option, painter, widget);
        }
    }

private:
    static QRect inner(const QStyleOption *option)
    {
        QRect box(0, 0, kIndicator, kIndicator);
        box.moveCenter(option->rect.center());
        return box.adjusted(kIndicatorInset, kIndicatorInset, -kIndicatorInset, -kIndicatorInset);
    }

    static QColor fill(const QStyleOption *option)
    {
        // The window colour, the button-highlight colour while the mouse holds it down.
        return (option->state & State_Sunken) ? option->palette.light().color()
                                              : option->palette.base().color();
    }

    static void drawRadio(const QStyleOption *option, QPainter *painter)
    {
        const QRect circle = inner(option);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(QColor(0, 0, 0), 1));
        painter->setBrush(fill(option));
        painter->drawEllipse(QRectF(circle).adjusted(0.5, 0.5, -0.5, -0.5));
        if (option->state & State_On) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(QColor(0, 0, 0));
            const int dx = circle.width() / 4;
            const int dy = circle.height() / 4;
            painter->drawEllipse(QRectF(circle.adjusted(dx, dy, -dx, -dy)));
        }
        painter->restore();
    }

    static void drawCheck(const QStyleOption *option, QPainter *painter)
    {
        const QRect box = inner(option);
        painter->save();
        painter->fillRect(box, fill(option));
        // A one-pixel sunken frame: button shadow above and left, button highlight below and right.
        painter->setPen(option->palette.dark().color());
        painter->drawLine(box.topLeft(), box.topRight());
        painter->drawLine(box.topLeft(), box.bottomLeft());
        painter->setPen(option->palette.light().color());
        painter->drawLine(box.bottomLeft(), box.bottomRight());
        painter->drawLine(box.topRight(), box.bottomRight());
        if (option->state & (State_On | State_NoChange)) {
            const QImage mark = loadSkinBitmap(kCheckMark, paintingRatio(*painter));
            const QSizeF size = mark.deviceIndependentSize();
            const QPointF at(box.left() + (box.width() - size.width()) / 2,
                             box.top() + (box.height() - size.height()) / 2);
            if (option->state & State_NoChange)
                painter->setOpacity(0.4);
            painter->drawImage(QPointF(std::floor(at.x()), std::floor(at.y())), mark);
        }
        painter->restore();
    }
};

} // namespace

QStyle *dialogSkinStyle()
{
    static QPointer<DialogSkinStyle> style;
    if (!style) {
        style = new DialogSkinStyle;
        style->setParent(qApp);
    }
    return style;
}

void skinDialog(QWidget *window)
{
    const QList<QWidget *> children = window->findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (child->window() != window)
            continue;
        if (auto *label = qobject_cast<QLabel *>(child)) {
            label->setAutoFillBackground(false);
            label->setAttribute(Qt::WA_NoSystemBackground);
        } else if (qobject_cast<QRadioButton *>(child) || qobject_cast<QCheckBox *>(child)) {
            child->setStyle(dialogSkinStyle());
        }
    }
}

CRecordRedioBtn::CRecordRedioBtn(const QString &text, QWidget *parent) : QRadioButton(text, parent)
{
    setStyle(dialogSkinStyle());
}

} // namespace sonavell
