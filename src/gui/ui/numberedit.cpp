#include "gui/ui/numberedit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QValidator>

#include <algorithm>
#include <cmath>
#include <utility>

namespace sonavell {

namespace {

// Typed characters are checked one by one before the box takes them; this catches what arrives
// otherwise (paste, drops): only digits, one '.', and a '-' in front.
class NumberTextValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &) const override
    {
        bool point = false;
        for (qsizetype i = 0; i < input.size(); ++i) {
            const QChar c = input.at(i);
            if (c.isDigit() && c.unicode() < 0x80)
                continue;
            if (c == QLatin1Char('.') && !point) {
                point = true;
                continue;
            }
            if (c == QLatin1Char('-') && i == 0)
                continue;
            return Invalid;
        }
        return Acceptable;
    }
};

bool isPrintable(QChar c)
{
    return c.unicode() >= 0x20 && c.unicode() != 0x7f;
}

} // namespace

NumberEdit::NumberEdit(QWidget *parent) : QLineEdit(parent)
{
    setValidator(new NumberTextValidator(this));
    connect(this, &QLineEdit::textEdited, this, &NumberEdit::textEditedByUser);
    display(m_value);
}

NumberEdit::~NumberEdit() = default;

void NumberEdit::setRange(double minimum, double maximum)
{
    if (minimum > maximum)
        std::swap(minimum, maximum);
    m_minimum = minimum;
    m_maximum = maximum;
    const double value = clamped(m_value);
    if (value != m_value)
        setValue(value);
}

void NumberEdit::setFormat(int width, int decimals)
{
    m_width = width;
    m_decimals = decimals;
    display(m_value);
}

void NumberEdit::setStep(double step)
{
    m_step = step;
}

void NumberEdit::setValue(double value)
{
    m_value = clamped(value);
    display(m_value);
}

void NumberEdit::stepUp(int n)
{
    double value = m_value + n * m_step;
    // Repeated decimal steps drift a little below the end they are meant to reach.
    const double slack = std::abs(m_step) * 1e-9;
    if (value >= m_maximum - slack)
        value = m_maximum;
    else if (value <= m_minimum + slack)
        value = m_minimum;
    m_value = clamped(value);
    display(m_value);
    Q_EMIT valueChanged(m_value);
    setModified(true);
}

void NumberEdit::stepDown(int n)
{
    stepUp(-n);
}

QString NumberEdit::textFor(double value) const
{
    if (value == 0.0)
        value = 0.0; // no "-0"
    // Bounds keep a careless format from asking printf for an absurd field.
    const int width = std::clamp(m_width, 0, 64);
    const int decimals = std::clamp(m_decimals, 0, 15);
    return QString::asprintf("%-*.*f", width, decimals, value).trimmed();
}

double NumberEdit::readNumber(const QString &text)
{
    // The leading number only: blanks, sign, digits, point, digits, exponent. The C locale reads
    // it, whatever the user's decimal separator.
    qsizetype i = 0;
    const qsizetype size = text.size();
    auto isDigitAt = [&](qsizetype at) {
        return at < size && text.at(at).unicode() >= '0' && text.at(at).unicode() <= '9';
    };
    while (i < size && text.at(i).isSpace())
        ++i;
    const qsizetype start = i;
    if (i < size && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    qsizetype digits = 0;
    while (isDigitAt(i)) {
        ++i;
        ++digits;
    }
    if (i < size && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (isDigitAt(i)) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    if (i < size && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype e = i + 1;
        if (e < size && (text.at(e) == QLatin1Char('-') || text.at(e) == QLatin1Char('+')))
            ++e;
        if (isDigitAt(e)) {
            while (isDigitAt(e))
                ++e;
            i = e;
        }
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(QStringView(text).mid(start, i - start), &ok);
    if (ok)
        return value;
    // Out of the double range: the C library's answer, an infinity of the right sign.
    return text.at(start) == QLatin1Char('-') ? -HUGE_VAL : HUGE_VAL;
}

void NumberEdit::setValueFromSlider(double value, bool finished)
{
    setValue(value);
    if (finished)
        Q_EMIT changeFinished(m_value);
    else
        Q_EMIT valueChanged(m_value);
}

void NumberEdit::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (isModified()) {
            commitText();
            Q_EMIT changeFinished(m_value);
            setModified(false);
        }
        // The box leaves the key to the dialog (its default button).
        QLineEdit::keyPressEvent(event);
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!m_keyStepping) {
            m_keyStepping = true;
            Q_EMIT changeStarted();
        }
        if (event->key() == Qt::Key_Up)
            stepUp(1);
        else
            stepDown(1);
        event->accept();
        return;
    default:
        break;
    }

    const QString text = event->text();
    const bool shortcut = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (text.size() != 1 || shortcut || !isPrintable(text.at(0))) {
        // Editing and moving keys, Backspace, shortcuts.
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar c = text.at(0);
    if (c == QLatin1Char('/')) {
        typeSlash();
        event->accept();
        return;
    }
    if (acceptsCharacter(c))
        QLineEdit::keyPressEvent(event);
    else
        event->accept();
}

void NumberEdit::keyReleaseEvent(QKeyEvent *event)
{
    const bool stepKey = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    // A held key repeats as release/press pairs marked as repeats; only the real release ends it.
    if (!stepKey || event->isAutoRepeat()) {
        QLineEdit::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (!m_keyStepping)
        return;
    selectAll();
    m_keyStepping = false;
    if (m_notifyFlags & NotifyOnKeyUp)
        Q_EMIT changeFinished(m_value);
}

void NumberEdit::focusOutEvent(QFocusEvent *event)
{
    // A popup (the context menu, the slider) lends the focus for a moment; the text is left alone.
    if (event->reason() != Qt::PopupFocusReason) {
        if (m_mouseHeld || m_dragging)
            endDrag();
        m_keyStepping = false;
        if (isModified()) {
            commitText();
            if (m_notifyFlags & NotifyOnFocusOut)
                Q_EMIT changeFinished(m_value);
        }
    }
    QLineEdit::focusOutEvent(event);
}

void NumberEdit::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_mouseHeld = true;
        m_lastPoint = event->position().toPoint();
        setFocus(Qt::MouseFocusReason);
        setCursor(Qt::SizeVerCursor);
    }
    QLineEdit::mousePressEvent(event);
}

void NumberEdit::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_mouseHeld) {
        QLineEdit::mouseMoveEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    if (!m_dragging) {
        if (point.y() >= 0 && point.y() < height()) {
            QLineEdit::mouseMoveEvent(event); // selecting text
            return;
        }
        m_dragging = true;
        Q_EMIT changeStarted();
    }
    const int up = m_lastPoint.y() - point.y();
    if (up >= 2) {
        stepUp(1);
        m_lastPoint = point;
    } else if (up <= -2) {
        stepDown(1);
        m_lastPoint = point;
    }
    event->accept();
}

void NumberEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_mouseHeld) {
        const bool dragged = m_dragging;
        endDrag();
        if (dragged && (m_notifyFlags & NotifyOnDragEnd)) {
            Q_EMIT changeFinished(m_value);
            setModified(false);
        }
        if (dragged) {
            event->accept();
            return;
        }
    }
    QLineEdit::mouseReleaseEvent(event);
}

void NumberEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_mouseHeld = true;
        m_lastPoint = event->position().toPoint();
        setCursor(Qt::SizeVerCursor);
    }
    QLineEdit::mouseDoubleClickEvent(event);
}

double NumberEdit::clamped(double value) const
{
    if (std::isnan(value))
        value = 0.0;
    return value < m_minimum ? m_minimum : (value > m_maximum ? m_maximum : value);
}

void NumberEdit::display(double value)
{
    setText(textFor(value));
}

void NumberEdit::commitText()
{
    m_value = clamped(readNumber(text()));
    display(m_value);
}

bool NumberEdit::acceptsCharacter(QChar c) const
{
    if (c.unicode() >= '0' && c.unicode() <= '9')
        return true;
    // The character replaces the selection, so only the text around it counts: a period is
    // refused while another one stays, a minus anywhere but in front.
    const qsizetype at = hasSelectedText() ? selectionStart() : cursorPosition();
    if (c == QLatin1Char('.')) {
        QString remaining = text();
        if (hasSelectedText())
            remaining.remove(selectionStart(), selectionLength());
        return !remaining.contains(QLatin1Char('.'));
    }
    if (c == QLatin1Char('-'))
        return at == 0;
    return false;
}

void NumberEdit::typeSlash()
{
    m_value = clamped(m_minimum > 0.0 ? m_minimum : 0.0);
    display(m_value);
    Q_EMIT changeFinished(m_value);
}

void NumberEdit::textEditedByUser(const QString &text)
{
    m_value = clamped(readNumber(text));
    Q_EMIT valueChanged(m_value);
}

void NumberEdit::endDrag()
{
    m_mouseHeld = false;
    m_dragging = false;
    setCursor(Qt::IBeamCursor);
}

} // namespace sonavell
