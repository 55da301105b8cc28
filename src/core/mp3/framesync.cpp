#include "core/mp3/framesync.h"

#include "core/mp3/framereader.h"
#include "core/mp3/mpegheader.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace sonavell {

namespace {

// A tag that says it is followed by another tag is unusual; a few in a row are still stepped
// over, an endless chain of tiny ones is not.

} // namespace

qint64 id3v2TagSize(const unsigned char *bytes, qint64 count)
{
    // "ID3", major and minor version (never 0xFF), flags, and a size of four 7-bit bytes.
    if (count < 10 || std::memcmp(bytes, "ID3", 3) != 0 || bytes[3] == 0xFF || bytes[4] == 0xFF)
        return 0;
    qint64 size = 0;
    for (int i = 6; i < 10; ++i) {
        if (bytes[i] & 0x80)
            return 0;
        size = (size << 7) | bytes[i];
    }
    const bool hasFooter = bytes[3] >= 4 && (bytes[5] & 0x10);
    return 10 + size + (hasFooter ? 10 : 0);
}

void skipId3v2Tags(FrameReader &reader)
{
    for (int i = 0; i < kMaxLeadingId3v2Tags; ++i) {
        qint64 available = 0;
        const unsigned char *bytes = reader.peek(10, available);
        const qint64 size = id3v2TagSize(bytes, available);
        if (size == 0)
            return;
        reader.skip(size);
    }
}

bool findFrameSync(FrameReader &reader, std::uint32_t &header, qint64 skipBytes)
{
    header = 0;
    if (skipBytes > 0)
        reader.skip(skipBytes);
    if (reader.pos() == 0)
        skipId3v2Tags(reader);

    // The common case, straight after a frame, needs only four bytes.
    qint64 available = 0;
    const unsigned char *bytes = reader.peek(4, available);
    if (available == 4 && mpeg::isFrameSync(mpeg::readBigEndian32(bytes))) {
        header = mpeg::readBigEndian32(bytes);
        reader.skip(4);
        return true;
    }

    bytes = reader.peek(kFrameSyncPositions + 3, available);
    const qint64 positions = std::min(kFrameSyncPositions, available - 3);
    qint64 i = 0;
    while (i < positions) {
        const void *ff = std::memchr(bytes + i, 0xFF, size_t(positions - i));
        if (!ff)
            break;
        i = static_cast<const unsigned char *>(ff) - bytes;
        if ((bytes[i + 1] & 0xE0) == 0xE0) {
            header = mpeg::readBigEndian32(bytes + i);
            reader.skip(i + 4);
            return true;
        }
        ++i;
    }
    reader.skip(std::max<qint64>(positions, 0));
    return false;
}

bool findFrameSync(QIODevice &file, std::uint32_t &header, qint64 skipBytes)
{
    FrameReader reader(file);
    const bool found = findFrameSync(reader, header, skipBytes);
    // Past the end means at the end; some devices refuse to seek further.
    file.seek(std::min(reader.pos(), file.size()));
    return found;
}

} // namespace sonavell
