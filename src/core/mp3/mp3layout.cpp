#include "core/mp3/mp3layout.h"

#include "core/io/regularfile.h"
#include "core/mp3/framereader.h"
#include "core/mp3/framesync.h"
#include "core/mp3/framewalker.h"
#include "core/mp3/trailingtags.h"

#include <QBuffer>
#include <QFile>

#include <algorithm>

namespace sonavell {

namespace {

// firstFrameBitrate looks no further than this into the audio.
constexpr qint64 kProbeBytes = 64 * 1024;
constexpr qint64 kId3v2HeaderSize = 10;

} // namespace

qint64 leadingTagsSize(QIODevice &file, qint64 size)
{
    qint64 tagSize = 0;
    for (int i = 0; i < kMaxLeadingId3v2Tags && tagSize < size; ++i) {
        if (!file.seek(tagSize))
            return -1;
        const QByteArray head = file.read(kId3v2HeaderSize);
        const qint64 next = id3v2TagSize(reinterpret_cast<const unsigned char *>(head.constData()), head.size());
        if (next == 0)
            break;
        tagSize = std::min(size, tagSize + next);
    }
    return tagSize;
}

int firstFrameBitrate(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !openRegularFile(file))
        return 0;
    const qint64 begin = leadingTagsSize(file, file.size());
    if (begin < 0 || !file.seek(begin))
        return 0;
    QByteArray head = file.read(kProbeBytes);
    QBuffer probe(&head);
    probe.open(QIODevice::ReadOnly);
    FrameReader reader(probe);
    FrameWalker walker(reader);
    MpegFrame frame;
    while (walker.next(frame)) {
        if (!frame.isVbrHeader)
            return frame.bitrateKbps * 1000;
    }
    return 0;
}

Mp3Layout Mp3Layout::of(const QByteArray &image)
{
    Mp3Layout layout;
    layout.audioEnd = image.size();
    const char *p = image.constData();
    // The leading ID3v2 tags, read as the frame search steps over them (stacked ones included).
    qsizetype begin = 0;
    for (int i = 0; i < kMaxLeadingId3v2Tags && begin < image.size(); ++i) {
        const qint64 size = id3v2TagSize(reinterpret_cast<const unsigned char *>(p + begin), image.size() - begin);
        if (size == 0)
            break;
        begin = std::min<qsizetype>(begin + size, image.size());
    }
    layout.id3v2 = image.left(begin);
    layout.audioBegin = begin;
    QBuffer buffer;
    buffer.setData(image);
    if (buffer.open(QIODevice::ReadOnly))
        layout.audioEnd = std::max<qsizetype>(begin, trailingTagsBegin(buffer, begin));
    layout.trailer = image.mid(layout.audioEnd);
    return layout;
}

bool Mp3Layout::read(QIODevice &file, Mp3Layout *layout)
{
    *layout = Mp3Layout{};
    const qint64 size = file.size();
    const qint64 tagSize = leadingTagsSize(file, size);
    if (tagSize < 0)
        return false;
    if (tagSize > 0 && (!file.seek(0) || (layout->id3v2 = file.read(tagSize)).size() != tagSize))
        return false;
    layout->audioBegin = tagSize;
    layout->audioEnd = std::max(tagSize, trailingTagsBegin(file, tagSize));
    if (layout->audioEnd < size
        && (!file.seek(layout->audioEnd) || (layout->trailer = file.readAll()).size() != size - layout->audioEnd))
        return false;
    return true;
}

} // namespace sonavell
