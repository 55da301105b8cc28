#pragma once

#include <QMenuBar>

namespace sonavell {

// The main window's flat menu bar: its top-level items as flat buttons on whatever lies under the
// bar, a hot, checked or pressed item filled light blue inside a blue frame. Clicking an item drops
// its popup down; while a popup is open, Left and Right (wrapping at the ends) and moving the mouse
// onto another item switch popups, and clicking the open item's button closes its popup without a
// command. The items can be kept clear of the bar's ends (the window's band uses both).
class MenuBar : public QMenuBar
{
    Q_OBJECT

public:
    static constexpr int kHeight = 31;
    static const QColor kHotFill;
    static const QColor kHotFrame;

    explicit MenuBar(QWidget *parent = nullptr);

    // Space left free of items at the left and right ends; the bar draws nothing there, and mouse
    // events there reach the bar itself.
    void setReservedEnds(int left, int right);

    int count() const;
    // The item whose popup is open, or was opened last.
    int current() const;
    // Drops down the popup of item `index`, wrapped into 0 .. count - 1.
    void openCurrent(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    QWidget *m_leftEnd = nullptr;
    QWidget *m_rightEnd = nullptr;
    int m_current = 0;
};

} // namespace sonavell
