#include "gui/skin/skinbutton.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>

namespace sonavell {

namespace {

// A disabled button with its normal face shows it at half strength, so a greyed Pause reads as
// unavailable; a lit toggle face (Record while recording) stays lit.
SkinImage faded(SkinImage image)
{
    for (std::uint32_t &p : image.pixels)
        p = (p & 0x00FFFFFFu) | (((p >> 24) / 2) << 24);
    return image;
}

} // namespace

SkinButton::SkinButton(QPushButton *button) : QObject(button), m_button(button)
{
    setObjectName(QStringLiteral("skin"));
    button->installEventFilter(this);
}

SkinButton *SkinButton::attach(QPushButton *button)
{
    if (SkinButton *existing = of(button))
        return existing;
    return new SkinButton(button);
}

SkinButton *SkinButton::of(const QPushButton *button)
{
    return button ? button->findChild<SkinButton *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void SkinButton::setImages(int normalId, int activeId, const QImage *background)
{
    m_normalId = normalId;
    m_activeId = activeId;
    m_background = background;
    m_cacheRatio = 0;
    const SkinImage active = loadSkinImage(activeId);
    if (active.isNull())
        return; // no faces: the button keeps the platform look
    m_size = QSize(active.width, active.height);
    m_button->setFixedSize(m_size);
    // The outline reaches a pixel past the face's own soft edge, so its steps fall on pixels that
    // show the background anyway (they would show on dense screens otherwise).
    m_button->setMask(QRegion(-1, -1, m_size.width() + 2, m_size.height() + 2, QRegion::Ellipse)
                          .intersected(QRect(QPoint(0, 0), m_size)));
    m_button->setFlat(true);
    m_button->update();
}

void SkinButton::setToggleMode(bool on)
{
    m_toggleMode = on;
    m_button->setCheckable(on);
    m_button->update();
}

void SkinButton::setChecked(bool checked)
{
    m_button->setChecked(checked);
    m_button->repaint();
}

bool SkinButton::showsActiveFace() const
{
    return m_toggleMode ? m_button->isChecked() : m_pressed;
}

QImage SkinButton::composed(qreal devicePixelRatio) const
{
    QImage picture;
    if (m_background && !m_background->isNull()) {
        const qreal ratio = m_background->devicePixelRatio();
        const QRect area(qRound(m_button->x() * ratio), qRound(m_button->y() * ratio),
                         qRound(m_button->width() * ratio), qRound(m_button->height() * ratio));
        picture = m_background->copy(area).convertToFormat(QImage::Format_RGB32);
        if (ratio != devicePixelRatio)
            picture = picture.scaled(qRound(m_button->width() * devicePixelRatio),
                                     qRound(m_button->height() * devicePixelRatio), Qt::IgnoreAspectRatio,
                                     Qt::SmoothTransformation);
        picture.setDevicePixelRatio(devicePixelRatio);
    } else {
        picture = backgroundUnder(m_button, devicePixelRatio);
    }
    if (m_size.isEmpty())
        return picture;
    if (m_cacheRatio != devicePixelRatio) {
        m_cacheRatio = devicePixelRatio;
        m_normal = loadSkinImage(m_normalId, devicePixelRatio, m_size);
        m_active = loadSkinImage(m_activeId, devicePixelRatio, m_size);
    }
    SkinImage face = showsActiveFace() ? m_active : m_normal;
    if (!m_button->isEnabled() && !showsActiveFace())
        face = faded(std::move(face));
    blendOnto(picture, face, QPoint(0, 0));
    return picture;
}

void SkinButton::paint()
{
    QPainter painter(m_button);
    painter.drawImage(QPoint(0, 0), composed(paintingRatio(painter)));
}

bool SkinButton::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_button)
        return false;
    switch (event->type()) {
    case QEvent::Paint:
        if (m_size.isEmpty())
            return false;
        paint();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && m_button->isEnabled()) {
            m_pressed = true;
            m_button->repaint();
        }
        return false;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && m_pressed) {
            // The button's own handling follows: it clicks (and flips a toggle) only when the
            // release is over the button.
            m_pressed = false;
            m_button->update();
        }
        return false;
    case QEvent::EnabledChange:
        m_pressed = false;
        return false;
    case QEvent::ToolTip:
        if (m_button->toolTip().isEmpty()) {
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), m_button->text(), m_button);
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace sonavell
