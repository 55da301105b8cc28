#pragma once

#include "core/play/wavedocument.h"

#include <QBasicTimer>
#include <QColor>
#include <QImage>
#include <QWidget>

namespace sonavell {

// The waveform view of the cut-and-play editor: a time ruler over one band per channel with
// the min/max trace of a PCM WAV file, a blinking caret, a mouse-dragged selection shown
// inverted and the play cursor. It draws from the document's point caches (built from the peak
// file beside the WAV), never from the WAV itself, so it paints at once at any zoom.
//
// The ruler and trace are drawn into an off-screen picture only when the document changes
// (load, zoom, scroll, resize); the selection, caret, play cursor and mouse marker are laid
// over that picture by inversion, so moving them repaints only the columns they touch.
//
// The control tells its parent nothing; the editor asks it. Only the left button, mouse
// movement, the blink timer and painting drive it. GUI thread only.
class MMWaveEditXCtrl : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kSmallTickLength = 5;
    static constexpr int kLabelGap = 10; // room kept under the ruler labels
    static constexpr int kSmallTickEvery = WaveDocument::kSmallTickEvery;
    static constexpr int kLabelEvery = WaveDocument::kLabelEvery;
    static constexpr int kRulerHeight = WaveDocument::kRulerHeight;
    static constexpr int kTopMargin = 4; // the strip above the ruler that carries the mouse marker
    static constexpr int kBlinkMs = 500;
    static constexpr int kCursorWidth = 2;

    const QColor waveColour{0, 200, 50};
    const QColor levelLineColour{150, 150, 150};
    const QColor separatorColour{255, 255, 255};
    const QColor rulerBackColour{0, 0, 0};
    const QColor rulerLineColour{255, 255, 255};
    const QColor rulerTextColour{255, 255, 255};
    const QColor backColour{0, 0, 0};
    const QColor mouseMarkColour{255, 255, 255};

    explicit MMWaveEditXCtrl(QWidget *parent = nullptr);
    ~MMWaveEditXCtrl() override;

    // Shows a WAV file, writing or reusing its peak file; an empty path shows nothing.
    // The caller makes sure the file exists. False when nothing is shown.
    bool load(const QString &path);
    void zoomIn();
    void zoomOut();
    // Makes `column` the leftmost visible column; negative becomes 0.
    void scrollTo(int column);
    // Scroll positions reach from min to range (60 columns past the last full view).
    void getScrollRange(int *min, int *range) const;
    // The selection in bytes, smaller end first; start < 0 without a selection, start == end
    // after a click. Offsets count from byte 40 of the file (see WaveDocument).
    void getSelectionBytes(qint64 *start, qint64 *end) const;
    int getFrameBytes() const { return m_document.frameBytes(); }
    qint64 getDataBytes() const { return m_document.dataBytes(); }
    // Moves the play cursor to a sample frame; -1 hides it.
    void setPlayCursor(qint64 frame);

    const WaveDocument &document() const { return m_document; }
    bool isCaretShown() const { return m_caretShown; }
    bool isPlayCursorShown() const { return m_playCursorShown; }
    QRect playCursorRect() const { return m_playCursorShown ? m_playCursorRect : QRect(); }
    bool isBlinking() const { return m_blinkTimer.isActive(); }
    // The whole client area as painted now.
    QImage render();

    QSize sizeHint() const override { return {610, 125}; }
    QSize minimumSizeHint() const override { return {120, kTopMargin + kRulerHeight + 20}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    // Makes sure the off-screen picture matches the document, redrawing it if not.
    void ensurePicture();
    void drawPicture();
    void drawRuler(QPainter &painter, int width) const;
    void drawWave(QPainter &painter, int width, int height) const;
    // Paints `area` (client coordinates) into `out`, an image of that size.
    void compose(QImage &out, const QRect &area);
    // Marks the picture stale and repaints everything; the play cursor goes with the old picture.
    void refresh();

    // Client rectangles of the overlays; empty when they are not on screen.
    QRect selectionRect() const;
    QRect cursorRectAt(qint64 frame) const;
    QRect caretRect() const { return cursorRectAt(m_document.caretFrame()); }
    QRect markerRect() const;

    void showCaret();
    void restartBlink();

    WaveDocument m_document;
    QImage m_picture; // client area below the top strip
    bool m_pictureValid = false;

    bool m_caretShown = false;
    QBasicTimer m_blinkTimer;
    bool m_playCursorShown = false;
    QRect m_playCursorRect;
    int m_mouseX = -1;
};

} // namespace sonavell
