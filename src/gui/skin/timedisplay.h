#pragma once

#include <QFont>
#include <QWidget>

class QLabel;

namespace sonavell {

// An elapsed time in large blue Arial type (a sans face where Arial is missing) over a fixed
// rectangle of its owner: style 1 on a light grey field in italics (the main window's band),
// style 0 upright on the owner's background (the player panel). It draws nothing until it is
// attached; the text is cut at the rectangle's edges. Mouse events pass through to the owner.
class TimeDisplay : public QWidget
{
    Q_OBJECT

public:
    explicit TimeDisplay(QWidget *parent = nullptr);

    // Shows a label's text this way, in the label's place: the label keeps its text, its place in
    // the layout and its name, and no longer draws itself. The display belongs to the label's parent.
    static TimeDisplay *over(QLabel *label, int style);

    void attach(QWidget *owner, const QRect &rectangle, int style);
    bool isAttached() const { return m_owner != nullptr; }
    // Replaces the text without drawing it; draw() shows it.
    void setText(const QString &text) { m_text = text; }
    QString text() const { return m_text; }
    void draw();
    int style() const { return m_style; }
    // A picture of the owner's client area for style 0 to copy from (not owned; must outlive the
    // display). Without one, the owner's own drawing under the rectangle is used.
    void setBackground(const QImage *picture) { m_background = picture; }

    // What draw() puts on the screen, at the given device pixel ratio; null before attach.
    QImage picture(qreal devicePixelRatio = 1) const;
    QFont displayFont() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_text = QStringLiteral("00 : 00");
    QWidget *m_owner = nullptr;
    int m_style = 1;
    const QImage *m_background = nullptr;
    mutable QFont m_font;
    mutable bool m_fontMade = false;
    // The label stood in for; compared as an object, since it may be part-destroyed when it sends
    // its last events.
    QObject *m_label = nullptr;
};

} // namespace sonavell
