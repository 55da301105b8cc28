#include "gui/skin/skinimage.h"

#include <QFile>
#include <QHash>
#include <QPaintEngine>
#include <QPainter>
#include <QPair>
#include <QWidget>

#include <QtEndian>

// Resources compiled into static libraries are left out by the linker unless something names
// their initialisers: the skin images, and the program's other built-in files (the help pages).
static void initSkinResources()
{
    Q_INIT_RESOURCE(skin);
    Q_INIT_RESOURCE(sonavell);
}

namespace sonavell {

namespace {

void ensureResources()
{
    static const bool done = [] {
        initSkinResources();
        return true;
    }();
    (void)done;
}

// No picture of the program comes near this; a larger rectangle is taken as damage.
constexpr qint64 kMaxPixels = 4096 * 4096;

} // namespace

QImage SkinImage::toImage() const
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = pixel(x, y);
    }
    return image;
}

SkinImage SkinImage::fromImage(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    SkinImage result;
    result.width = image.width();
    result.height = image.height();
    result.pixels.reserve(static_cast<std::size_t>(result.width) * static_cast<std::size_t>(result.height));
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        result.pixels.insert(result.pixels.end(), row, row + image.width());
    }
    return result;
}

SkinImage parseSkinImage(const QByteArray &data)
{
    constexpr qsizetype kHeader = 16;
    if (data.size() < kHeader)
        return {};
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    const qint64 left = qFromLittleEndian<qint32>(bytes);
    const qint64 top = qFromLittleEndian<qint32>(bytes + 4);
    const qint64 right = qFromLittleEndian<qint32>(bytes + 8);
    const qint64 bottom = qFromLittleEndian<qint32>(bytes + 12);
    const qint64 width = right - left;
    const qint64 height = bottom - top;
    if (width <= 0 || height <= 0 || width * height > kMaxPixels)
        return {};
    if (data.size() - kHeader < width * height * 4)
        return {};
    SkinImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.pixels.resize(static_cast<std::size_t>(width * height));
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = qFromLittleEndian<quint32>(bytes + kHeader + 4 * i);
    return image;
}

SkinImage loadSkinImage(int id, int scale)
{
    // Read once; skinned controls ask on every paint. Only the user-interface thread draws.
    static QHash<QPair<int, int>, SkinImage> loaded;
    const QPair<int, int> key(id, scale);
    if (const auto found = loaded.constFind(key); found != loaded.constEnd())
        return *found;
    ensureResources();
    const QString name =
        scale == 2 ? QStringLiteral(":/skin/%1@2x.dat").arg(id) : QStringLiteral(":/skin/%1.dat").arg(id);
    QFile file(name);
    SkinImage image;
    if (file.open(QIODevice::ReadOnly))
        image = parseSkinImage(file.readAll());
    loaded.insert(key, image);
    return image;
}

SkinImage loadSkinImage(int id, qreal devicePixelRatio, QSize logicalSize)
{
    const int scale = devicePixelRatio > 1 ? 2 : 1;
    SkinImage image = loadSkinImage(id, scale);
    const QSize device(qRound(logicalSize.width() * devicePixelRatio),
                       qRound(logicalSize.height() * devicePixelRatio));
    if (image.isNull() || (image.width == device.width() && image.height == device.height()))
        return image;
    return SkinImage::fromImage(
        image.toImage().scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QImage loadSkinBitmap(int id, qreal devicePixelRatio)
{
    ensureResources();
    if (devicePixelRatio > 1) {
        QImage image(QStringLiteral(":/skin/%1@2x.png").arg(id));
        if (!image.isNull()) {
            image.setDevicePixelRatio(2);
            return image;
        }
    }
    return QImage(QStringLiteral(":/skin/%1.png").arg(id));
}

void drawSunkenFrame(QPainter &painter, const QRect &rect)
{
    const auto edge = [&painter](const QRect &r, const QColor &topLeft, const QColor &bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    };
    edge(rect, QColor(128, 128, 128), QColor(255, 255, 255));
    edge(rect.adjusted(1, 1, -1, -1), QColor(64, 64, 64), QColor(212, 208, 200));
}

void blendOnto(QImage &target, const SkinImage &image, QPoint at)
{
    const int bytesPerPixel = target.format() == QImage::Format_RGB888 ? 3 : 4;
    if (bytesPerPixel == 4 && target.format() != QImage::Format_RGB32 &&
        target.format() != QImage::Format_ARGB32)
        target = target.convertToFormat(QImage::Format_ARGB32);
    const int x0 = std::max(0, at.x());
    const int y0 = std::max(0, at.y());
    const int x1 = std::min(target.width(), at.x() + image.width);
    const int y1 = std::min(target.height(), at.y() + image.height);
    for (int y = y0; y < y1; ++y) {
        uchar *row = target.scanLine(y);
        for (int x = x0; x < x1; ++x) {
            const std::uint32_t p = image.pixel(x - at.x(), y - at.y());
            const int alpha = static_cast<int>(p >> 24);
            if (bytesPerPixel == 3) {
                uchar *rgb = row + 3 * x;
                rgb[0] = static_cast<uchar>(blendChannel(rgb[0], qRed(p), alpha));
                rgb[1] = static_cast<uchar>(blendChannel(rgb[1], qGreen(p), alpha));
                rgb[2] = static_cast<uchar>(blendChannel(rgb[2], qBlue(p), alpha));
                continue;
            }
            auto *pixel = reinterpret_cast<QRgb *>(row) + x;
            const QRgb b = *pixel;
            *pixel = qRgba(blendChannel(qRed(b), qRed(p), alpha), blendChannel(qGreen(b), qGreen(p), alpha),
                           blendChannel(qBlue(b), qBlue(p), alpha), 255);
        }
    }
}

QImage backgroundUnder(const QWidget *widget, qreal devicePixelRatio)
{
    const QSize device(qRound(widget->width() * devicePixelRatio),
                       qRound(widget->height() * devicePixelRatio));
    QImage image(device, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    QWidget *parent = widget->parentWidget();
    image.fill((parent ? parent : widget)->palette().window().color());
    if (parent && !widget->isWindow())
        parent->render(&image, QPoint(), QRegion(widget->geometry()), QWidget::DrawWindowBackground);
    return image;
}

qreal paintingRatio(const QPainter &painter)
{
    if (const QPaintEngine *engine = painter.paintEngine(); engine && engine->paintDevice())
        return engine->paintDevice()->devicePixelRatioF();
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}

} // namespace sonavell
