#include "gui/ui/editctrl.h"

#include "gui/ui/editpopupbutton.h"
#include "gui/ui/editsliderwnd.h"
#include "gui/ui/numberedit.h"

#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

namespace sonavell {

namespace {

const QColor kSunkenOuterTopLeft(152, 152, 152);
const QColor kSunkenOuterBottomRight(255, 255, 255);
const QColor kSunkenInnerTopLeft(0, 0, 0);
const QColor kSunkenInnerBottomRight(192, 192, 192);
const QColor kSingleTopLeft(10, 10, 10);
const QColor kSingleBottomRight(240, 240, 240);

void draw3dRect(QPainter &painter, const QRect &rect, const QColor &topLeft, const QColor &bottomRight)
{
    painter.fillRect(rect.left(), rect.top(), rect.width() - 1, 1, topLeft);
    painter.fillRect(rect.left(), rect.top(), 1, rect.height() - 1, topLeft);
    painter.fillRect(rect.right(), rect.top(), 1, rect.height(), bottomRight);
    painter.fillRect(rect.left(), rect.bottom(), rect.width(), 1, bottomRight);
}

// The box's font: Times New Roman whose line height fills the box. Where the face is missing the
// font system picks a serif face of its own.
QFont editFont(int boxHeight)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    // Line height counts the leading beside the em size; the box keeps a pixel above and below.
    const int room = std::max(1, boxHeight - 2);
    int size = room;
    font.setPixelSize(size);
    while (size > 1 && QFontMetrics(font).height() > room)
        font.setPixelSize(--size);
    return font;
}

} // namespace

EditCtrl::EditCtrl(QWidget *parent, int style) : QWidget(parent), m_style(style), m_edit(new NumberEdit(this))
{
    m_edit->setObjectName(QStringLiteral("numberEdit"));
    m_edit->setFrame(false);
    m_edit->setTextMargins(0, 0, 0, 0);
    setFocusProxy(m_edit);
    setFocusPolicy(m_edit->focusPolicy());
    connect(m_edit, &NumberEdit::changeStarted, this, &EditCtrl::changeStarted);
    connect(m_edit, &NumberEdit::valueChanged, this, &EditCtrl::valueChanged);
    connect(m_edit, &NumberEdit::changeFinished, this, &EditCtrl::changeFinished);
    setControlStyle(style);
}

EditCtrl::~EditCtrl() = default;

void EditCtrl::setControlStyle(int style)
{
    m_style = style;
    if (hasPopupButton() && !m_button) {
        m_button = new EditPopupButton(this);
        m_button->setObjectName(QStringLiteral("popupButton"));
        connect(m_button, &QAbstractButton::pressed, this, [this] { openPopup(m_button->pressPoint().x()); });
        m_button->show();
    } else if (!hasPopupButton() && m_button) {
        delete m_button;
        m_button = nullptr;
    }
    layoutChildren();
    updateGeometry();
    update();
}

void EditCtrl::setPopupButtonShown(bool shown)
{
    setControlStyle(shown ? m_style | PopupButton : m_style & ~PopupButton);
}

void EditCtrl::setRange(double minimum, double maximum)
{
    m_edit->setRange(minimum, maximum);
}

double EditCtrl::minimum() const
{
    return m_edit->minimum();
}

double EditCtrl::maximum() const
{
    return m_edit->maximum();
}

void EditCtrl::setFormat(int width, int decimals)
{
    m_edit->setFormat(width, decimals);
    updateGeometry();
}

int EditCtrl::fieldWidth() const
{
    return m_edit->fieldWidth();
}

int EditCtrl::decimals() const
{
    return m_edit->decimals();
}

void EditCtrl::setStep(double step)
{
    m_edit->setStep(step);
}

double EditCtrl::step() const
{
    return m_edit->step();
}

void EditCtrl::setValue(double value)
{
    m_edit->setValue(value);
}

double EditCtrl::value() const
{
    return m_edit->value();
}

void EditCtrl::setNotifyFlags(int flags)
{
    m_edit->setNotifyFlags(flags);
}

int EditCtrl::notifyFlags() const
{
    return m_edit->notifyFlags();
}

CEditSliderWnd *EditCtrl::popup() const
{
    return m_popup.data();
}

void EditCtrl::openPopup(int globalX)
{
    if (m_popup)
        return;
    m_popup = new CEditSliderWnd(m_edit, this);
    connect(m_popup, &CEditSliderWnd::closed, this, &EditCtrl::popupClosed);
    // The button stays drawn pressed while its popup is open.
    if (m_button)
        m_button->setDown(true);
    m_popup->open(QPoint(globalX, mapToGlobal(QPoint(0, height())).y()));
}

QSize EditCtrl::sizeHint() const
{
    const QMargins insets = frameInsets();
    const int height = QFontMetrics(font()).height() + 8;
    const int boxHeight = height - insets.top() - insets.bottom();
    const QFontMetrics metrics(editFont(boxHeight));
    const int characters = static_cast<int>(std::max(
        {m_edit->textFor(maximum()).size(), m_edit->textFor(minimum()).size(), qsizetype(3)}));
    int width = insets.left() + insets.right() + metrics.horizontalAdvance(QLatin1Char('0')) * (characters + 1) + 4;
    if (hasPopupButton())
        width += boxHeight * 2 / 3 - 1;
    return QSize(width, height);
}

QSize EditCtrl::minimumSizeHint() const
{
    const QMargins insets = frameInsets();
    return QSize(insets.left() + insets.right() + 24, insets.top() + insets.bottom() + 10);
}

void EditCtrl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void EditCtrl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (m_style & SunkenFrame) {
        draw3dRect(painter, rect(), kSunkenOuterTopLeft, kSunkenOuterBottomRight);
        draw3dRect(painter, rect().adjusted(1, 1, -1, -1), kSunkenInnerTopLeft, kSunkenInnerBottomRight);
    } else if (m_style & SingleFrame) {
        draw3dRect(painter, rect(), kSingleTopLeft, kSingleBottomRight);
    }
}

QMargins EditCtrl::frameInsets() const
{
    if (m_style & SunkenFrame)
        return QMargins(2, 2, 3, 3);
    if (m_style & SingleFrame)
        return QMargins(1, 1, 1, 1);
    return QMargins();
}

void EditCtrl::layoutChildren()
{
    const QRect inner = rect() - frameInsets();
    QRect box = inner;
    if (m_button) {
        const int buttonWidth = std::clamp(inner.height() * 2 / 3 - 1, 0, inner.width());
        m_button->setGeometry(inner.right() + 1 - buttonWidth, inner.top(), buttonWidth, inner.height());
        box.setRight(inner.right() - buttonWidth);
    }
    m_edit->setGeometry(box);
    m_edit->setFont(editFont(box.height()));
}

void EditCtrl::popupClosed()
{
    if (m_button)
        m_button->setDown(false);
}

} // namespace sonavell
