#include "gui/skin/skinslider.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QSlider>
#include <QStyleOptionSlider>

namespace sonavell {

namespace {

constexpr int kHorizontalGroove = 165;
constexpr int kHorizontalThumbDragged = 166;
constexpr int kHorizontalThumb = 167;
constexpr int kVerticalGroove = 174;
constexpr int kVerticalThumbDragged = 175;
constexpr int kVerticalThumb = 176;
// The sunken channel of groove style 0, as tall as a platform trackbar's.
constexpr int kChannelThickness = 6;

// Gives skinned sliders the thumb's size as the handle, so the mouse grabs what is drawn.
class SkinSliderStyle : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (const SkinSlider *skin = SkinSlider::of(widget)) {
            const bool horizontal = skin->slider()->orientation() == Qt::Horizontal;
            const QSize thumb = skin->thumbSize();
            const QSize groove = skin->grooveSize();
            switch (metric) {
            case PM_SliderLength:
                return horizontal ? thumb.width() : thumb.height();
            case PM_SliderThickness:
                return horizontal ? std::max(thumb.height(), groove.height())
                                  : std::max(thumb.width(), groove.width());
            case PM_SliderControlThickness:
                return horizontal ? thumb.height() : thumb.width();
            case PM_SliderTickmarkOffset:
                return 0;
            default:
                break;
            }
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl sub,
                         const QWidget *widget) const override
    {
        const SkinSlider *skin = SkinSlider::of(widget);
        const auto *slider = qstyleoption_cast<const QStyleOptionSlider *>(option);
        if (control == CC_Slider && skin && slider) {
            switch (sub) {
            case SC_SliderHandle:
                return skin->parts(*slider).thumb;
            case SC_SliderGroove:
            case SC_SliderTickmarks:
                return slider->rect;
            default:
                break;
            }
        }
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        if (type == CT_Slider && SkinSlider::of(widget))
            return size;
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }
};

QStyle *skinSliderStyle()
{
    static QPointer<SkinSliderStyle> style;
    if (!style) {
        style = new SkinSliderStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

SkinSlider::SkinSlider(QSlider *slider) : QObject(slider), m_slider(slider)
{
    setObjectName(QStringLiteral("skin"));
    slider->installEventFilter(this);
    slider->setStyle(skinSliderStyle());
    updateSizeLimits();
}

SkinSlider *SkinSlider::attach(QSlider *slider)
{
    if (SkinSlider *existing = of(slider))
        return existing;
    return new SkinSlider(slider);
}

SkinSlider *SkinSlider::of(const QObject *slider)
{
    return slider ? slider->findChild<SkinSlider *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void SkinSlider::setGrooveStyle(int style)
{
    m_grooveStyle = style;
    updateSizeLimits();
    m_slider->update();
}

QSize SkinSlider::thumbSize() const
{
    const SkinImage image =
        loadSkinImage(m_slider->orientation() == Qt::Horizontal ? kHorizontalThumb : kVerticalThumb);
    if (image.isNull())
        return m_slider->orientation() == Qt::Horizontal ? QSize(16, 21) : QSize(20, 16);
    return {image.width, image.height};
}

QSize SkinSlider::grooveSize() const
{
    const SkinImage image =
        loadSkinImage(m_slider->orientation() == Qt::Horizontal ? kHorizontalGroove : kVerticalGroove);
    return image.isNull() ? QSize() : QSize(image.width, image.height);
}

void SkinSlider::updateSizeLimits()
{
    // The groove image does not stretch: a longer slider would run its thumb past the groove's end.
    const bool horizontal = m_slider->orientation() == Qt::Horizontal;
    const QSize thumb = thumbSize();
    const QSize groove = grooveSize();
    if (m_grooveStyle == 1 && !groove.isEmpty()) {
        if (horizontal)
            m_slider->setMaximumWidth(groove.width() + thumb.width());
        else
            m_slider->setMaximumHeight(groove.height() + thumb.height());
    } else {
        m_slider->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    m_slider->updateGeometry();
}

QStyleOptionSlider SkinSlider::option() const
{
    QStyleOptionSlider option;
    option.initFrom(m_slider);
    option.subControls = QStyle::SC_None;
    option.activeSubControls = QStyle::SC_None;
    option.orientation = m_slider->orientation();
    option.minimum = m_slider->minimum();
    option.maximum = m_slider->maximum();
    option.sliderPosition = m_slider->sliderPosition();
    option.sliderValue = m_slider->value();
    option.singleStep = m_slider->singleStep();
    option.pageStep = m_slider->pageStep();
    option.tickPosition = m_slider->tickPosition();
    option.tickInterval = m_slider->tickInterval();
    // As QSlider itself sets it: vertical sliders have their maximum at the top.
    option.upsideDown = m_slider->orientation() == Qt::Horizontal
                            ? (m_slider->invertedAppearance() != (option.direction == Qt::RightToLeft))
                            : !m_slider->invertedAppearance();
    if (m_slider->isSliderDown())
        option.state |= QStyle::State_Sunken;
    return option;
}

SkinSlider::Parts SkinSlider::parts(const QStyleOptionSlider &option) const
{
    const QSize thumb = thumbSize();
    const QRect r = option.rect;
    Parts parts;
    if (option.orientation == Qt::Horizontal) {
        const int length = thumb.width();
        const int position =
            QStyle::sliderPositionFromValue(option.minimum, option.maximum, option.sliderPosition,
                                            std::max(0, r.width() - length), option.upsideDown);
        parts.thumb =
            QRect(r.x() + position, r.y() + (r.height() - thumb.height()) / 2, length, thumb.height());
        parts.channel = QRect(r.x() + length / 2, r.y(), std::max(0, r.width() - length), r.height());
    } else {
        const int length = thumb.height();
        const int position =
            QStyle::sliderPositionFromValue(option.minimum, option.maximum, option.sliderPosition,
                                            std::max(0, r.height() - length), option.upsideDown);
        parts.thumb = QRect(r.x() + (r.width() - thumb.width()) / 2, r.y() + position, thumb.width(), length);
        parts.channel = QRect(r.x(), r.y() + length / 2, r.width(), std::max(0, r.height() - length));
    }
    return parts;
}

void SkinSlider::drawGroove(QImage &picture, const Parts &parts, qreal ratio) const
{
    const bool horizontal = m_slider->orientation() == Qt::Horizontal;
    const SkinImage groove =
        loadSkinImage(horizontal ? kHorizontalGroove : kVerticalGroove, ratio, grooveSize());
    if (groove.isNull())
        return;
    const QRect channel(qRound(parts.channel.x() * ratio), qRound(parts.channel.y() * ratio),
                        qRound(parts.channel.width() * ratio), qRound(parts.channel.height() * ratio));
    // A horizontal groove starts at the channel's left end, centred across it; a vertical one
    // ends at the channel's bottom, centred across it.
    const QPoint origin = horizontal
                              ? QPoint(channel.left(), channel.top() + (channel.height() - groove.height) / 2)
                              : QPoint(channel.left() + (channel.width() - groove.width) / 2,
                                       channel.bottom() + 1 - groove.height);
    const QRect area =
        QRect(origin, QSize(groove.width, groove.height)).intersected(channel).intersected(picture.rect());
    const QPointF centre = QRectF(parts.thumb).center() * ratio;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const std::uint32_t p = groove.pixel(x - origin.x(), y - origin.y());
            const int alpha = static_cast<int>(p >> 24);
            if (alpha == 0)
                continue;
            const bool travelled = horizontal ? x + 0.5 < centre.x() : y + 0.5 > centre.y();
            const QRgb b = row[x];
            if (travelled)
                row[x] = qRgba(darkenChannel(qRed(b), alpha), darkenChannel(qGreen(b), alpha),
                               darkenChannel(qBlue(b), alpha), 255);
            else
                row[x] =
                    qRgba(blendChannel(qRed(b), qRed(p), alpha), blendChannel(qGreen(b), qGreen(p), alpha),
                          blendChannel(qBlue(b), qBlue(p), alpha), 255);
        }
    }
}

QImage SkinSlider::composed(qreal ratio) const
{
    QImage picture = backgroundUnder(m_slider, ratio);
    const QStyleOptionSlider opt = option();
    const Parts p = parts(opt);
    const bool horizontal = opt.orientation == Qt::Horizontal;

    if (m_grooveStyle == 1) {
        drawGroove(picture, p, ratio);
    } else {
        // A sunken channel across the middle: shadow and dark shadow above and left, highlight
        // and light below and right.
        QRect channel = p.channel;
        if (horizontal)
            channel = QRect(channel.left(), channel.center().y() - kChannelThickness / 2 + 1, channel.width(),
                            kChannelThickness);
        else
            channel = QRect(channel.center().x() - kChannelThickness / 2 + 1, channel.top(),
                            kChannelThickness, channel.height());
        QPainter painter(&picture);
        drawSunkenFrame(painter, channel);
    }

    if (opt.tickPosition != QSlider::NoTicks) {
        QPainter painter(&picture);
        QStyleOptionSlider ticks = opt;
        ticks.subControls = QStyle::SC_SliderTickmarks;
        m_slider->style()->drawComplexControl(QStyle::CC_Slider, &ticks, &painter, m_slider);
    }

    const int thumbId = horizontal ? (m_slider->isSliderDown() ? kHorizontalThumbDragged : kHorizontalThumb)
                                   : (m_slider->isSliderDown() ? kVerticalThumbDragged : kVerticalThumb);
    const SkinImage thumb = loadSkinImage(thumbId, ratio, thumbSize());
    if (!thumb.isNull()) {
        const QRect at(qRound(p.thumb.x() * ratio), qRound(p.thumb.y() * ratio),
                       qRound(p.thumb.width() * ratio), qRound(p.thumb.height() * ratio));
        blendOnto(picture, thumb,
                  at.topLeft() + QPoint(std::max(0, (at.width() - thumb.width) / 2),
                                        std::max(0, (at.height() - thumb.height) / 2)));
    }
    return picture;
}

bool SkinSlider::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_slider || event->type() != QEvent::Paint)
        return false;
    QPainter painter(m_slider);
    painter.drawImage(QPoint(0, 0), composed(paintingRatio(painter)));
    return true;
}

} // namespace sonavell
