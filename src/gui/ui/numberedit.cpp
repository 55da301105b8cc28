#include "ui/numberedit.h"

namespace sonavell {

NumberEdit::NumberEdit(QWidget *parent) : QLineEdit(parent)
{
    setText(textFor(m_value));
}

NumberEdit::~NumberEdit() = default;

void NumberEdit::setRange(double minimum, double maximum)
{
    if (minimum > maximum)
        std::swap(minimum, maximum);
    m_minimum = minimum;
    m_maximum = maximum;
    setValue(m_value);
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

void NumberEdit::stepUp(int) {}
void NumberEdit::stepDown(int) {}

QString NumberEdit::textFor(double value) const
{
    return QString::asprintf("%-*.*f", m_width, m_decimals, value).trimmed();
}

double NumberEdit::readNumber(const QString &text)
{
    return text.toDouble();
}

void NumberEdit::setValueFromSlider(double value, bool) { setValue(value); }

void NumberEdit::keyPressEvent(QKeyEvent *event) { QLineEdit::keyPressEvent(event); }
void NumberEdit::keyReleaseEvent(QKeyEvent *event) { QLineEdit::keyReleaseEvent(event); }
void NumberEdit::focusOutEvent(QFocusEvent *event) { QLineEdit::focusOutEvent(event); }
void NumberEdit::mousePressEvent(QMouseEvent *event) { QLineEdit::mousePressEvent(event); }
void NumberEdit::mouseMoveEvent(QMouseEvent *event) { QLineEdit::mouseMoveEvent(event); }
void NumberEdit::mouseReleaseEvent(QMouseEvent *event) { QLineEdit::mouseReleaseEvent(event); }
void NumberEdit::mouseDoubleClickEvent(QMouseEvent *event) { QLineEdit::mouseDoubleClickEvent(event); }

double NumberEdit::clamped(double value) const
{
    return value < m_minimum ? m_minimum : (value > m_maximum ? m_maximum : value);
}

void NumberEdit::display(double value)
{
    setText(textFor(value));
}

void NumberEdit::commitText() {}
bool NumberEdit::acceptsCharacter(QChar) const { return true; }
void NumberEdit::typeSlash() {}
void NumberEdit::textEditedByUser(const QString &) {}
void NumberEdit::endDrag() {}

} // namespace sonavell
