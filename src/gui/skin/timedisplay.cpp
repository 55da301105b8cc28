#include "gui/skin/timedisplay.h"

#include "gui/skin/skinimage.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>

#include <cmath>

namespace sonavell {

namespace {

// Cell height and average character width of the type, in pixels, for each style.
constexpr int kCellHeight[2] = {25, 30};
constexpr int kCharWidth[2] = {10, 15};
const QColor kField(225, 225, 225);
const QColor kInk(0, 0, 255);

} // namespace

TimeDisplay::TimeDisplay(QWidget *parent) : QWidget(parent)
{
    // Not marked opaque although it covers its rectangle: a label it stands in for must still be
    // asked to paint, which is how a new text is noticed.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void TimeDisplay::attach(QWidget *owner, const QRect &rectangle, int style)
{
    const bool restyled = m_style != (style == 0 ? 0 : 1);
    m_owner = owner;
    m_style = style == 0 ? 0 : 1;
    if (restyled)
        m_fontMade = false;
    if (parentWidget() != owner)
        setParent(owner);
    setGeometry(rectangle);
    show();
    raise();
}

TimeDisplay *TimeDisplay::over(QLabel *label, int style)
{
    auto *display = new TimeDisplay(label->parentWidget());
    display->setObjectName(label->objectName() + QStringLiteral("Display"));
    display->m_label = label;
    QObject::connect(label, &QObject::destroyed, display, [display] { display->m_label = nullptr; });
    display->setText(label->text());
    display->attach(label->parentWidget(), label->geometry(), style);
    display->setVisible(label->isVisible());
    label->installEventFilter(display);
    return display;
}

bool TimeDisplay::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_label || watched != m_label)
        return false;
    switch (event->type()) {
    case QEvent::Paint: {
        // A new text repaints the label: show it here instead.
        const QString text = static_cast<QLabel *>(watched)->text();
        if (m_text != text) {
            m_text = text;
            draw();
        }
        return true;
    }
    case QEvent::Move:
    case QEvent::Resize:
        setGeometry(static_cast<QWidget *>(watched)->geometry());
        return false;
    case QEvent::Show:
    case QEvent::Hide:
        setVisible(event->type() == QEvent::Show);
        return false;
    default:
        return false;
    }
}

void TimeDisplay::draw()
{
    if (!m_owner)
        return;
    update();
}

QFont TimeDisplay::displayFont() const
{
    if (m_fontMade)
        return m_font;
    // Arial at the given cell height, weight 500, stretched to the given average width.
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Medium);
    font.setItalic(m_style == 1);
    const int cell = kCellHeight[m_style];
    font.setPixelSize(cell);
    const QFontMetricsF measured(font);
    if (measured.height() > 0)
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(cell * cell / measured.height()))));
    const QFontMetricsF sized(font);
    if (sized.averageCharWidth() > 0)
        font.setStretch(std::clamp(
            static_cast<int>(std::lround(100 * kCharWidth[m_style] / sized.averageCharWidth())), 50, 200));
    m_font = font;
    m_fontMade = true;
    return m_font;
}

QImage TimeDisplay::picture(qreal ratio) const
{
    if (!m_owner)
        return {};
    QImage image;
    if (m_style == 1) {
        image = QImage(QSize(qRound(width() * ratio), qRound(height() * ratio)), QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(kField);
    } else if (m_background && !m_background->isNull()) {
        const qreal source = m_background->devicePixelRatio();
        image = m_background
                    ->copy(QRect(qRound(x() * source), qRound(y() * source), qRound(width() * source),
                                 qRound(height() * source)))
                    .convertToFormat(QImage::Format_RGB32)
                    .scaled(QSize(qRound(width() * ratio), qRound(height() * ratio)), Qt::IgnoreAspectRatio,
                            Qt::SmoothTransformation);
        image.setDevicePixelRatio(ratio);
    } else {
        image = backgroundUnder(this, ratio);
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(displayFont());
    painter.setPen(kInk);
    painter.drawText(QRect(0, 0, width(), height()), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                     m_text);
    return image;
}

void TimeDisplay::paintEvent(QPaintEvent *)
{
    if (!m_owner)
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture(paintingRatio(painter)));
}

} // namespace sonavell
