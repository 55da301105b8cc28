#pragma once

#include <QPointer>
#include <QWidget>

namespace sonavell {

class CEditSliderWnd;
class EditPopupButton;
class NumberEdit;

// The numeric edit control as dialogs place it: a NumberEdit inside a drawn frame, with an optional
// button on the right that opens the popup slider (CEditSliderWnd) over the control's range.
// The calls and signals are those of NumberEdit, passed through.
class EditCtrl : public QWidget
{
    Q_OBJECT

public:
    // Style bits. Sunken draws the two-line 3-D frame; otherwise Single draws a one-line frame.
    enum Style {
        PopupButton = 0x100,
        SunkenFrame = 0x400,
        SingleFrame = 0x800,
    };

    // The dialogs' style: sunken frame and popup button.
    static constexpr int DialogStyle = SunkenFrame | PopupButton;

    explicit EditCtrl(QWidget *parent = nullptr, int style = DialogStyle);
    ~EditCtrl() override;

    void setControlStyle(int style);
    int controlStyle() const { return m_style; }
    bool hasPopupButton() const { return (m_style & PopupButton) != 0; }
    void setPopupButtonShown(bool shown);

    void setRange(double minimum, double maximum);
    double minimum() const;
    double maximum() const;
    void setFormat(int width, int decimals);
    int fieldWidth() const;
    int decimals() const;
    void setStep(double step);
    double step() const;
    void setValue(double value);
    double value() const;
    void setNotifyFlags(int flags);
    int notifyFlags() const;

    NumberEdit *numberEdit() const { return m_edit; }
    // Null without the PopupButton style.
    EditPopupButton *popupButton() const { return m_button; }
    // The popup slider while it is open, else null.
    CEditSliderWnd *popup() const;

    // Opens the popup slider below the control, centred on the global x `globalX`.
    void openPopup(int globalX);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void changeStarted();
    void valueChanged(double value);
    void changeFinished(double value);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QMargins frameInsets() const;
    void layoutChildren();
    void popupClosed();

    int m_style;
    NumberEdit *m_edit;
    EditPopupButton *m_button = nullptr;
    QPointer<CEditSliderWnd> m_popup;
};

} // namespace sonavell
