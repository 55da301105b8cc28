#include "gui/ui/editsliderwnd.h"

#include "gui/ui/numberedit.h"
#include "gui/ui/sliderctrlbar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace sonavell {

namespace {

// The popup measures 84 × 11 dialog units of the application's font.
QSize dialogUnitsSize(int horizontal, int vertical)
{
    const QFontMetrics metrics(QApplication::font());
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    const int baseY = metrics.height();
    return QSize(horizontal * baseX / 4, vertical * baseY / 8);
}

} // namespace

CEditSliderWnd::CEditSliderWnd(NumberEdit *edit, QWidget *parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), m_edit(edit),
      m_slider(new CSliderCtrlBar(this, CSliderCtrlBar::Popup))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // A click outside only closes the popup; on the edit's button it must not open a new one.
    setAttribute(Qt::WA_NoMouseReplay);
    m_slider->setObjectName(QStringLiteral("slider"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_slider);
    setFixedSize(dialogUnitsSize(84, 11));

    m_slider->setRange(0, SliderScale);
    m_slider->setPosition(positionFor(m_edit->value(), m_edit->minimum(), m_edit->maximum()));
    connect(m_slider, &CSliderCtrlBar::thumbMoved, this, [this](int position) { sliderMoved(position, false); });
    connect(m_slider, &CSliderCtrlBar::dragEnded, this, [this](int position) { sliderMoved(position, true); });
    connect(m_slider, &CSliderCtrlBar::closeRequested, this, &QWidget::close);
}

CEditSliderWnd::~CEditSliderWnd() = default;

void CEditSliderWnd::open(const QPoint &anchor)
{
    QScreen *screen = QGuiApplication::screenAt(anchor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    move(placement(anchor, size(), area));
    show();
}

QPoint CEditSliderWnd::placement(const QPoint &anchor, const QSize &size, const QRect &screen)
{
    int x = anchor.x() - size.width() / 2;
    if (x + size.width() > screen.right() + 1)
        x = screen.right() + 1 - size.width();
    x = std::max(x, screen.left());
    int y = anchor.y();
    if (y + size.height() > screen.bottom() + 1 - 30)
        y = screen.bottom() + 1 - 30 - size.height();
    return QPoint(x, y);
}

int CEditSliderWnd::positionFor(double value, double minimum, double maximum)
{
    if (!(maximum > minimum))
        return 0;
    return static_cast<int>((value - minimum) / (maximum - minimum) * SliderScale);
}

double CEditSliderWnd::valueFor(int position, double minimum, double maximum)
{
    return minimum + (maximum - minimum) * position * 0.001;
}

bool CEditSliderWnd::event(QEvent *event)
{
    if (event->type() == QEvent::WindowDeactivate && isVisible())
        close();
    return QWidget::event(event);
}

void CEditSliderWnd::closeEvent(QCloseEvent *event)
{
    hide();
    QWidget::closeEvent(event);
    Q_EMIT closed();
}

// The window system gives a popup every mouse event while it is open, wherever the pointer is,
// and Qt hands those outside the strip to the popup itself: the strip follows them all.
void CEditSliderWnd::mouseMoveEvent(QMouseEvent *event)
{
    forwardToSlider(event);
}

void CEditSliderWnd::mouseReleaseEvent(QMouseEvent *event)
{
    forwardToSlider(event);
}

void CEditSliderWnd::forwardToSlider(QMouseEvent *event)
{
    const QPointF global = event->globalPosition();
    QMouseEvent forwarded(event->type(), m_slider->mapFromGlobal(global), global, event->button(), event->buttons(),
                          event->modifiers());
    QCoreApplication::sendEvent(m_slider, &forwarded);
    event->setAccepted(forwarded.isAccepted());
}

void CEditSliderWnd::sliderMoved(int position, bool finished)
{
    m_edit->setValueFromSlider(valueFor(position, m_edit->minimum(), m_edit->maximum()), finished);
}

} // namespace sonavell
