#pragma once

#include "gui/skin/skinimage.h"

#include <QObject>

class QPushButton;

namespace sonavell {

// A push button drawn from two round faces (Btn_Dat images) blended onto what lies under it, with
// an elliptic outline and the caption as its tooltip. The skin is attached to an existing
// QPushButton, which keeps its object name, text, signals and keyboard handling; the button owns
// the skin.
//
// Faces: in toggle mode the active face shows while the button is checked (each completed click
// flips it; setChecked sets it from outside), otherwise while the left mouse button is held down on
// it, wherever the mouse is. A press released outside the button neither clicks nor flips it.
class SkinButton : public QObject
{
    Q_OBJECT

public:
    static SkinButton *attach(QPushButton *button);
    // The skin of a button, or null.
    static SkinButton *of(const QPushButton *button);

    // Loads both faces; the button takes the second one's size and an elliptic outline.
    // `background`, if given, is a picture of the parent's client area to blend onto (not owned,
    // must outlive the skin); otherwise the parent is drawn under the button at each paint.
    void setImages(int normalId, int activeId, const QImage *background = nullptr);
    void setToggleMode(bool on);
    bool toggleMode() const { return m_toggleMode; }
    void setChecked(bool checked);
    bool isPressed() const { return m_pressed; }
    QPushButton *button() const { return m_button; }

    // The picture the button shows now, at the given device pixel ratio.
    QImage composed(qreal devicePixelRatio = 1) const;
    bool showsActiveFace() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit SkinButton(QPushButton *button);
    void paint();

    QPushButton *m_button;
    bool m_toggleMode = false;
    bool m_pressed = false;
    int m_normalId = 0;
    int m_activeId = 0;
    QSize m_size;
    const QImage *m_background = nullptr;
    // The faces at the last device pixel ratio painted.
    mutable qreal m_cacheRatio = 0;
    mutable SkinImage m_normal;
    mutable SkinImage m_active;
};

} // namespace sonavell
