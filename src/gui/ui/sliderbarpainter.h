#pragma once

class QPainter;

namespace sonavell {

class CSliderCtrlBar;

// Draws a CSliderCtrlBar from its geometry (thumbRect(), leftBound(), rightBound(), scaleY());
// the bar itself only handles the mouse and the value. This one paints the plain look: a light
// yellow strip, a black scale and a triangular thumb. A skin replaces it with setPainter().
class SliderBarPainter
{
public:
    virtual ~SliderBarPainter();

    virtual void paint(QPainter &painter, const CSliderCtrlBar &bar) const;
};

} // namespace sonavell
