#include "gui/skin/menubar.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

namespace sonavell {

const QColor MenuBar::kHotFill(193, 210, 238);
const QColor MenuBar::kHotFrame(49, 106, 197);

namespace {

constexpr int kItemHeight = 23;
constexpr int kItemPadding = 8;

class FlatMenuStyle : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        switch (metric) {
        case PM_MenuBarPanelWidth:
        case PM_MenuBarHMargin:
            return 0;
        case PM_MenuBarVMargin:
            return (MenuBar::kHeight - kItemHeight) / 2;
        case PM_MenuBarItemSpacing:
            return 2;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        if (type == CT_MenuBarItem) {
            if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option)) {
                const int text =
                    item->fontMetrics.horizontalAdvance(QString(item->text).remove(QLatin1Char('&')));
                return {text + 2 * kItemPadding, kItemHeight};
            }
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_PanelMenuBar)
            return; // the bar lies on its owner's drawing
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_MenuBarEmptyArea)
            return;
        if (element != CE_MenuBarItem) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (!item)
            return;
        // Hot (under the mouse or chosen by key), checked or pressed (its popup open): framed and filled.
        if (item->state & (State_Selected | State_Sunken | State_On)) {
            painter->fillRect(item->rect, MenuBar::kHotFill);
            painter->setPen(MenuBar::kHotFrame);
            painter->drawRect(item->rect.adjusted(0, 0, -1, -1));
        }
        int flags = Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextDontClip | Qt::TextSingleLine;
        if (!proxy()->styleHint(SH_UnderlineShortcut, item, widget))
            flags |= Qt::TextHideMnemonic;
        proxy()->drawItemText(painter, item->rect, flags, item->palette, item->state & State_Enabled,
                              item->text, QPalette::ButtonText);
    }
};

QStyle *flatMenuStyle()
{
    static QPointer<FlatMenuStyle> style;
    if (!style) {
        style = new FlatMenuStyle;
        style->setParent(qApp);
    }
    return style;
}

// Keeps an end of the bar free; transparent to the mouse so the bar sees presses there. The bar
// sizes its corner widgets by their size hints.
class EndSpacer : public QWidget
{
public:
    explicit EndSpacer(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    void setWidth(int width)
    {
        m_width = width;
        setFixedSize(width, MenuBar::kHeight);
    }
    QSize sizeHint() const override { return {m_width, MenuBar::kHeight}; }

private:
    int m_width = 0;
};

} // namespace

MenuBar::MenuBar(QWidget *parent) : QMenuBar(parent)
{
    setObjectName(QStringLiteral("menuBar"));
    // The bar belongs inside the window's band, never in a desktop-wide menu.
    setNativeMenuBar(false);
    setStyle(flatMenuStyle());
    setFixedHeight(kHeight);
    m_leftEnd = new EndSpacer(this);
    m_rightEnd = new EndSpacer(this);
    setCornerWidget(m_leftEnd, Qt::TopLeftCorner);
    setCornerWidget(m_rightEnd, Qt::TopRightCorner);
}

void MenuBar::setReservedEnds(int left, int right)
{
    static_cast<EndSpacer *>(m_leftEnd)->setWidth(left);
    static_cast<EndSpacer *>(m_rightEnd)->setWidth(right);
    // The bar lays out its items again when a corner widget is set.
    setCornerWidget(m_leftEnd, Qt::TopLeftCorner);
    setCornerWidget(m_rightEnd, Qt::TopRightCorner);
    update();
}

int MenuBar::current() const
{
    const int active = static_cast<int>(actions().indexOf(activeAction()));
    return active >= 0 ? active : m_current;
}

int MenuBar::count() const
{
    return static_cast<int>(actions().size());
}

void MenuBar::openCurrent(int index)
{
    const int n = count();
    if (n == 0)
        return;
    m_current = index < 0 ? n - 1 : (index >= n ? 0 : index);
    setActiveAction(actions().at(m_current));
}

QSize MenuBar::sizeHint() const
{
    return {QMenuBar::sizeHint().width(), kHeight};
}

QSize MenuBar::minimumSizeHint() const
{
    return {QMenuBar::minimumSizeHint().width(), kHeight};
}

} // namespace sonavell
