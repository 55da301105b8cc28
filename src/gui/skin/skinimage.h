#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>

#include <cstdint>
#include <vector>

class QPainter;
class QWidget;

namespace sonavell {

// One Btn_Dat picture: width × height pixels, row by row from the top, each 0xAARRGGBB with the
// colour not premultiplied (the resource's little-endian layout read as 32-bit values).
struct SkinImage
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool isNull() const { return pixels.empty(); }
    std::uint32_t pixel(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    QImage toImage() const;
    static SkinImage fromImage(const QImage &image);
};

// Reads a Btn_Dat block: a 16-byte rectangle (left, top, right, bottom, little-endian signed 32-bit;
// only its size counts) and the pixels. A block too short for its rectangle, or with an empty or
// absurd rectangle, gives a null image.
SkinImage parseSkinImage(const QByteArray &data);

// The Btn_Dat resource `id` drawn for `scale` (1 or 2); null when there is none.
SkinImage loadSkinImage(int id, int scale = 1);
// The variant for a device pixel ratio, resampled when the ratio is neither 1 nor 2.
SkinImage loadSkinImage(int id, qreal devicePixelRatio, QSize logicalSize);

// The numbered bitmaps (band, check mark, icons, toolbars), with the 2x picture on high-density
// screens; its device pixel ratio is set.
QImage loadSkinBitmap(int id, qreal devicePixelRatio = 1);

// The two-pixel sunken frame of a pressed or carved-in part: shadow and white outside, dark
// shadow and light inside.
void drawSunkenFrame(QPainter &painter, const QRect &rect);

// Blending of one colour channel: alpha 0 keeps the background, 255 takes the image, anything
// else moves the background toward the image by alpha/256, rounding toward minus infinity.
constexpr int blendChannel(int background, int image, int alpha)
{
    if (alpha == 0)
        return background;
    if (alpha == 255)
        return image;
    return background + ((alpha * (image - background)) >> 8);
}

// Darkening toward black by alpha/256 (the travelled part of a skinned slider's groove).
constexpr int darkenChannel(int background, int alpha)
{
    return background + ((-(background * alpha)) >> 8);
}

// Blends `image` onto `target` with its top-left corner at `at`, clipped to the target. 32-bit
// targets become opaque where the image lies; 24-bit (RGB888) targets are handled as well.
void blendOnto(QImage &target, const SkinImage &image, QPoint at);

// What lies under `widget`: its parent's own drawing (without the parent's other children) over
// the widget's rectangle, at the given device pixel ratio; the palette's window colour without a parent.
QImage backgroundUnder(const QWidget *widget, qreal devicePixelRatio);

// The device pixel ratio a painter really draws at: a widget rendered into a picture of another
// density (a 2x screenshot) reports its screen's ratio, the picture its own.
qreal paintingRatio(const QPainter &painter);

} // namespace sonavell
