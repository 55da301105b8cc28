#pragma once

#include <QObject>
#include <QPoint>
#include <QPolygon>
#include <QRect>

class QMainWindow;
class QPainter;
class QStyle;

namespace sonavell {

class MenuBar;
class TimeDisplay;

// The 31-pixel band across the top of the frameless main window: the name bitmap at the left, a
// slanted field holding the menu bar, a lighter slanted field holding the time display, and the
// window's own minimise and close buttons at the right. The band and the window's background
// move the window when dragged. The window owns the band.
class WindowBand : public QObject
{
    Q_OBJECT

public:
    static constexpr int kHeight = 31;

    // Makes the window frameless and gives it the band's menu bar and time display.
    explicit WindowBand(QMainWindow *window);

    MenuBar *menuBar() const { return m_bar; }
    TimeDisplay *timeDisplay() const { return m_time; }

    enum class Area { Drag, Menu, Close, Minimise };
    // What a press at `pos` (window coordinates) does in a window `width` wide.
    static Area hitTest(QPoint pos, int width, QSize captionButton);
    static QSize captionButtonSize(const QStyle *style);
    static QRect closeButtonRect(int width, QSize button);
    static QRect minimiseButtonRect(int width, QSize button);
    static QRect timeRect(int width);
    // The menu's field and the time's field.
    static QPolygon menuField(int width);
    static QPolygon timeField(int width);

    // The caption button held down, if any.
    Area pressedButton() const { return m_pressed; }
    void paint(QPainter &painter, int width) const;

Q_SIGNALS:
    void closeClicked();
    void minimiseClicked();
    // A drag of the window began (by the window system, or followed by the band itself).
    void moveStarted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool barEvent(QEvent *event);
    bool windowEvent(QEvent *event);
    void startMove(QPoint globalPos);
    void paintCaptionButton(QPainter &painter, const QRect &rect, Area which) const;

    QMainWindow *m_window;
    MenuBar *m_bar;
    TimeDisplay *m_time;
    Area m_pressed = Area::Drag; // Drag: no caption button held
    bool m_followingMouse = false;
    QPoint m_grabOffset;
};

} // namespace sonavell
