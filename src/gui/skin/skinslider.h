#pragma once

#include "gui/skin/skinimage.h"

#include <QObject>
#include <QRect>

class QSlider;
class QStyleOptionSlider;

namespace sonavell {

// A slider drawn from the program's images: a thumb (one face while it is dragged, another at
// rest) and, in groove style 1, a groove image whose part on the travelled side of the thumb (left
// of it, or below it on a vertical slider) darkens what lies under it. Groove style 0 shows the
// parent's background with a sunken channel. Attached to an existing QSlider, which keeps its
// values, signals and keyboard handling; the slider owns the skin.
class SkinSlider : public QObject
{
    Q_OBJECT

public:
    static SkinSlider *attach(QSlider *slider);
    static SkinSlider *of(const QObject *slider);

    void setGrooveStyle(int style);
    int grooveStyle() const { return m_grooveStyle; }
    QSlider *slider() const { return m_slider; }

    // Logical sizes of the thumb and groove images for this slider's orientation.
    QSize thumbSize() const;
    QSize grooveSize() const;

    struct Parts
    {
        QRect thumb;   // where the thumb image is centred; also where the mouse grabs it
        QRect channel; // the thumb centre's travel, across the slider's thickness
    };
    Parts parts(const QStyleOptionSlider &option) const;

    // The picture the slider shows now, at the given device pixel ratio.
    QImage composed(qreal devicePixelRatio = 1) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit SkinSlider(QSlider *slider);
    QStyleOptionSlider option() const;
    void drawGroove(QImage &picture, const Parts &parts, qreal ratio) const;
    void updateSizeLimits();

    QSlider *m_slider;
    int m_grooveStyle = 1;
};

} // namespace sonavell
