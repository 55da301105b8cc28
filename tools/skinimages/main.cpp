// Draws every picture of the program at build time: the round button faces and slider parts in
// the raw Btn_Dat format, the window's band bitmap, the icons, the check mark, the editor's toolbar
// and the folder browser's strip, each at 1x and 2x, plus the resource list that compiles them in.
#include "canvas.h"
#include "faces.h"
#include "pictures.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <vector>

namespace sonavell::skinimages {
namespace {

// Btn_Dat: a 16-byte rectangle (left, top, right, bottom as little-endian int32), then
// width × height little-endian 32-bit pixels, blue in the low byte, alpha in the high one,
// not premultiplied.
QByteArray btnDat(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QByteArray data;
    const auto put = [&data](quint32 value) {
        for (int i = 0; i < 4; ++i)
            data.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    put(0);
    put(0);
    put(static_cast<quint32>(image.width()));
    put(static_cast<quint32>(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const quint32 *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            put(row[x]);
    }
    return data;
}

// Bitmaps whose transparent colour is white: opaque over white, every pixel at most half
// covered left pure white so the mask cuts clean edges.
QImage onWhite(const QImage &picture)
{
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QImage result(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int a = qAlpha(p);
            if (a < 128) {
                result.setPixel(x, y, qRgb(255, 255, 255));
                continue;
            }
            const auto over = [a](int c) { return std::min(254, (c * a + 255 * (255 - a)) / 255); };
            result.setPixel(x, y, qRgb(over(qRed(p)), over(qGreen(p)), over(qBlue(p))));
        }
    }
    return result;
}

class Writer
{
public:
    explicit Writer(const QString &folder) : m_folder(folder) {}

    bool file(const QString &name, const QByteArray &data)
    {
        QFile out(m_folder + QLatin1Char('/') + name);
        if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
            return false;
        }
        m_names << name;
        return true;
    }

    bool png(const QString &name, const QImage &image)
    {
        const QString path = m_folder + QLatin1Char('/') + name;
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return false;
        }
        m_names << name;
        return true;
    }

    // Both scales of one Btn_Dat image.
    bool button(int id, QSize size, const Drawing &drawing)
    {
        return file(QStringLiteral("%1.dat").arg(id), btnDat(render(size, 1, drawing))) &&
               file(QStringLiteral("%1@2x.dat").arg(id), btnDat(render(size, 2, drawing)));
    }

    bool bitmap(const QString &name, QSize size, const Drawing &drawing)
    {
        return png(name + QStringLiteral(".png"), render(size, 1, drawing)) &&
               png(name + QStringLiteral("@2x.png"), render(size, 2, drawing));
    }

    bool resourceList()
    {
        QByteArray qrc = "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n <qresource prefix=\"/skin\">\n";
        for (const QString &name : m_names)
            qrc += "  <file>" + name.toUtf8() + "</file>\n";
        qrc += " </qresource>\n</RCC>\n";
        m_names.clear();
        return file(QStringLiteral("skin.qrc"), qrc);
    }

private:
    QString m_folder;
    QStringList m_names;
};

struct FaceEntry
{
    int id;
    QSize size;
    FaceLook look;
};

const QColor kRed(214, 40, 34);
const QColor kAmber(222, 150, 20);
const QColor kSlate(52, 104, 178);
const QColor kTeal(24, 138, 140);
const QColor kGreen(36, 156, 64);
const QColor kViolet(118, 80, 196);

bool writeAll(Writer &out)
{
    const QSize wide(124, 44), small(36, 35), medium(84, 38), tag(48, 45);
    const std::vector<FaceEntry> faces{
        {138, wide, {Glyph::Record, kRed, false}},   {137, wide, {Glyph::Record, kRed, true}},
        {139, wide, {Glyph::Pause, kAmber, false}},  {140, wide, {Glyph::Pause, kAmber, true}},
        {141, wide, {Glyph::Stop, kSlate, false}},   {142, wide, {Glyph::Stop, kSlate, true}},
        {152, wide, {Glyph::Option, kTeal, false}},  {155, wide, {Glyph::Option, kTeal, true}},
        {154, wide, {Glyph::Play, kGreen, false}},   {153, wide, {Glyph::Play, kGreen, true}},
        {178, tag, {Glyph::Tag, kViolet, false}},    {179, tag, {Glyph::Tag, kViolet, true}},
        {143, small, {Glyph::Stop, kSlate, false}},  {156, small, {Glyph::Stop, kSlate, true}},
        {145, small, {Glyph::End, kSlate, false}},   {144, small, {Glyph::End, kSlate, true}},
        {147, small, {Glyph::Pause, kAmber, false}}, {146, small, {Glyph::Pause, kAmber, true}},
        {149, small, {Glyph::Play, kGreen, false}},  {148, small, {Glyph::Play, kGreen, true}},
        {151, small, {Glyph::Start, kSlate, false}}, {150, small, {Glyph::Start, kSlate, true}},
        {157, medium, {Glyph::Save, kSlate, false}}, {160, medium, {Glyph::Save, kSlate, true}},
        {159, medium, {Glyph::Remove, kRed, false}}, {158, medium, {Glyph::Remove, kRed, true}},
    };
    for (const FaceEntry &face : faces) {
        if (!out.button(face.id, face.size, faceDrawing(face.size, face.look)))
            return false;
    }
    bool ok = out.button(165, {140, 21}, horizontalGrooveDrawing()) &&
              out.button(166, {16, 21}, horizontalThumbDrawing(true)) &&
              out.button(167, {16, 21}, horizontalThumbDrawing(false)) &&
              out.button(174, {24, 80}, verticalGrooveDrawing()) &&
              out.button(175, {20, 16}, verticalThumbDrawing(true)) &&
              out.button(176, {20, 16}, verticalThumbDrawing(false));

    ok = ok && out.bitmap(QStringLiteral("177"), {185, 31}, bandLogoDrawing());
    ok = ok && out.bitmap(QStringLiteral("185"), {8, 8}, checkMarkDrawing(8));
    ok = ok && out.bitmap(QStringLiteral("129"), {16, 16}, appIconDrawing(16));
    const std::pair<int, ToolImage> tools[] = {
        {3119, ToolImage::Play},   {3120, ToolImage::Stop},   {3121, ToolImage::Open},
        {3122, ToolImage::Save},   {3123, ToolImage::ZoomIn}, {3124, ToolImage::ZoomOut},
        {3125, ToolImage::Repeat},
    };
    for (const auto &[id, image] : tools)
        ok = ok && out.bitmap(QString::number(id), {18, 18}, toolImageDrawing(image));
    const QSize strip(17 * kFolderStripCount, 16);
    ok = ok && out.png(QStringLiteral("131.png"), onWhite(render(strip, 1, folderStripDrawing()))) &&
         out.png(QStringLiteral("131@2x.png"), onWhite(render(strip, 2, folderStripDrawing())));
    // Icon 128 at every size the desktop asks for; the same files go into the icon theme.
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        ok = ok &&
             out.png(QStringLiteral("128-%1.png").arg(size), render({size, size}, 1, appIconDrawing(size)));
    return ok && out.resourceList();
}

} // namespace
} // namespace sonavell::skinimages

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    sonavell::skinimages::Writer writer(folder);
    return sonavell::skinimages::writeAll(writer) ? 0 : 1;
}
