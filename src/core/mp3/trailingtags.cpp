#include "core/mp3/trailingtags.h"

#include "core/mp3/id3v1tag.h"

#include <QByteArray>
#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace sonavell {

namespace {

// APEv2 footer (and header): "APETAGEX", version, tag size without the header, item count,
// flags (bit 31: a header is present), 8 reserved bytes; all numbers little-endian.
constexpr qint64 kApeFooterSize = 32;
constexpr quint32 kApeHasHeader = 0x80000000u;
// Lyrics3 v2: "LYRICSBEGIN" ... six decimal digits giving the size of everything before them,
// then "LYRICS200". v1: "LYRICSBEGIN" ... "LYRICSEND", at most 5100 bytes of lyrics.
constexpr qint64 kLyrics3v1Max = 5100 + 11 + 9;
// A few blocks are usual; a long chain of tiny ones is not followed.
constexpr int kMaxBlocks = 8;

QByteArray readAt(QIODevice &device, qint64 offset, qint64 count)
{
    if (offset < 0 || !device.seek(offset))
        return QByteArray();
    return device.read(count);
}

quint32 littleEndian32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

// The size of the APEv2 tag that ends at end, 0 when there is none.
qint64 apeTagSize(QIODevice &device, qint64 end, qint64 floor)
{
    if (end - floor < kApeFooterSize)
        return 0;
    const QByteArray footer = readAt(device, end - kApeFooterSize, kApeFooterSize);
    if (footer.size() != kApeFooterSize || !footer.startsWith("APETAGEX"))
        return 0;
    qint64 size = littleEndian32(footer.constData() + 12);
    if (littleEndian32(footer.constData() + 20) & kApeHasHeader)
        size += kApeFooterSize;
    return size >= kApeFooterSize && size <= end - floor ? size : 0;
}

qint64 lyrics3Size(QIODevice &device, qint64 end, qint64 floor)
{
    const QByteArray v2 = readAt(device, end - 15, 15);
    if (end - floor >= 15 + 11 && v2.size() == 15 && v2.endsWith("LYRICS200")) {
        bool ok = false;
        const qint64 size = v2.left(6).toLongLong(&ok);
        if (ok && size >= 11 && size + 15 <= end - floor && readAt(device, end - 15 - size, 11) == "LYRICSBEGIN")
            return size + 15;
    }
    if (end - floor >= 11 + 9 && readAt(device, end - 9, 9) == "LYRICSEND") {
        const qint64 from = std::max(floor, end - kLyrics3v1Max);
        const QByteArray block = readAt(device, from, end - from);
        const qsizetype begin = block.lastIndexOf("LYRICSBEGIN");
        if (begin >= 0)
            return block.size() - begin;
    }
    return 0;
}

} // namespace

qint64 trailingTagsBegin(QIODevice &device, qint64 audioBegin)
{
    const qint64 size = device.size();
    qint64 end = size;
    if (end - audioBegin >= kId3v1TagSize && readAt(device, end - kId3v1TagSize, 3) == "TAG")
        end -= kId3v1TagSize;
    for (int i = 0; i < kMaxBlocks; ++i) {
        qint64 block = apeTagSize(device, end, audioBegin);
        if (block == 0)
            block = lyrics3Size(device, end, audioBegin);
        if (block == 0)
            break;
        end -= block;
    }
    return end;
}

} // namespace sonavell
