#pragma once

#include <QLineEdit>
#include <QPoint>

namespace sonavell {

// The edit box of the numeric edit control: a one-line box holding a real number within a range,
// printed with a fixed number of decimals. The value can be typed, stepped with Up and Down, or
// dragged up and down with the mouse. Every path clamps the value to the range.
//
// Dialogs normally use EditCtrl (ui/editctrl.h), which frames this box and adds the button that
// opens the popup slider; EditCtrl offers the same calls and signals.
//
// Signals, in the order a dialog sees them:
//   changeStarted()        a change by the Up/Down keys or a mouse drag begins (once per sequence)
//   valueChanged(value)    the value changed (typing, every step, every slider move)
//   changeFinished(value)  a change is finished: Enter, focus loss, Up/Down released, drag ended,
//                          the slash, the popup slider released
class NumberEdit : public QLineEdit
{
    Q_OBJECT

public:
    // Which ends of a change report changeFinished(); all three by default.
    enum NotifyFlag {
        NotifyOnFocusOut = 0x1,
        NotifyOnKeyUp = 0x2,
        NotifyOnDragEnd = 0x4,
    };

    explicit NumberEdit(QWidget *parent = nullptr);
    ~NumberEdit() override;

    // A minimum above the maximum is swapped with it. The value is clamped into the new range.
    void setRange(double minimum, double maximum);
    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }

    // Field width and digits after the point of the "%-W.Df" print format (the blanks the width
    // adds are trimmed, so the width hardly shows).
    void setFormat(int width, int decimals);
    int fieldWidth() const { return m_width; }
    int decimals() const { return m_decimals; }

    void setStep(double step);
    double step() const { return m_step; }

    // Clamps, prints and shows `value`; reports nothing.
    void setValue(double value);
    double value() const { return m_value; }

    // n steps up or down, stopping at the range's ends; reports valueChanged() even when already
    // at the end, and leaves the text marked as modified.
    void stepUp(int n = 1);
    void stepDown(int n = 1);

    void setNotifyFlags(int flags) { m_notifyFlags = flags; }
    int notifyFlags() const { return m_notifyFlags; }

    // The text shown for `value` with the current format (no clamping).
    QString textFor(double value) const;
    // The leading number of `text` (optional sign, decimals, exponent); 0 when there is none.
    static double readNumber(const QString &text);

    bool isKeyStepping() const { return m_keyStepping; }
    bool isDragging() const { return m_dragging; }

    // Used by the popup slider: sets the value as setValue() does, then reports valueChanged(),
    // or changeFinished() when `finished` (the slider was let go).
    void setValueFromSlider(double value, bool finished);

Q_SIGNALS:
    void changeStarted();
    void valueChanged(double value);
    void changeFinished(double value);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    double clamped(double value) const;
    void display(double value);
    void commitText();
    bool acceptsCharacter(QChar c) const;
    void typeSlash();
    void textEditedByUser(const QString &text);
    void endDrag();

    double m_value = 0.0;
    double m_maximum = 1000.0;
    double m_minimum = -1000.0;
    double m_step = 1.0;
    int m_width = 10;
    int m_decimals = 0;
    int m_notifyFlags = NotifyOnFocusOut | NotifyOnKeyUp | NotifyOnDragEnd;
    bool m_keyStepping = false;
    // Mouse: the left button is held in the box; dragging once it has left the box vertically.
    bool m_mouseHeld = false;
    bool m_dragging = false;
    QPoint m_lastPoint;
};

} // namespace sonavell
