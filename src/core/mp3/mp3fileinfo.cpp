#include "core/mp3/mp3fileinfo.h"

#include "core/io/regularfile.h"
#include "core/mp3/framereader.h"
#include "core/mp3/framesync.h"
#include "core/mp3/framewalker.h"
#include "core/mp3/id3v1tag.h"
#include "core/mp3/lametag.h"
#include "core/mp3/medialength.h"
#include "core/mp3/reservoirhistory.h"

#include <QFile>

#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace sonavell {

namespace {

// Copied frames are gathered here and written in blocks of up to this size; the buffer grows
// only as far as a cut needs.
constexpr qint64 kCopyBufferSize = 4096000;

class FrameSink
{
public:
    explicit FrameSink(QFile &file)
        : m_file(file)
    {
    }

    bool append(const unsigned char *bytes, int count)
    {
        if (qint64(m_buffer.size()) + count > kCopyBufferSize && !flush())
            return false;
        m_buffer.insert(m_buffer.end(), bytes, bytes + count);
        return true;
    }

    bool flush()
    {
        const qint64 count = qint64(m_buffer.size());
        const bool written = count == 0 || m_file.write(reinterpret_cast<const char *>(m_buffer.data()), count) == count;
        m_buffer.clear();
        return written;
    }

private:
    QFile &m_file;
    std::vector<unsigned char> m_buffer;
};

// The copy as its Info frame describes it. The Info frame is written as a placeholder before
// the frames and filled in once they are all known.
class CopiedStream
{
public:
    explicit CopiedStream(FrameSink &sink)
        : m_sink(sink)
    {
    }

    // Starts the copy with the frames before the first kept one that its decoding needs, behind
    // an Info frame whose encoder delay hides them from gapless decoders.
    bool startWith(const std::vector<ReservoirHistory::Frame> &before)
    {
        if (before.empty())
            return true;
        m_template = mpeg::readBigEndian32(before.front().bytes.data());
        m_infoLength = infoFrameLength(m_template);
        if (m_infoLength <= 0)
            return true;
        const std::vector<unsigned char> placeholder(std::size_t(m_infoLength), 0);
        if (!m_sink.append(placeholder.data(), m_infoLength))
            return false;
        int hidden = 0;
        for (const ReservoirHistory::Frame &frame : before) {
            hidden += frame.samples;
            if (!append(frame.bytes.data(), int(frame.bytes.size())))
                return false;
        }
        m_delay = hidden - lametag::kDecoderDelay;
        return true;
    }

    bool append(const unsigned char *bytes, int count)
    {
        if (m_infoLength > 0) {
            m_lengths.push_back(count);
            m_musicCrc = lametag::crc16(bytes, std::size_t(count), m_musicCrc);
            const std::uint32_t header = mpeg::readBigEndian32(bytes);
            const int kbps = mpeg::bitrateKbps(mpeg::version(header), mpeg::layer(header), mpeg::bitrateIndex(header));
            if (m_lengths.size() == 1)
                m_kbps = kbps;
            else if (kbps != m_kbps)
                m_kbps = 0;
        }
        return m_sink.append(bytes, count);
    }

    // After the sink's last flush: fills in the Info frame, when there is one.
    bool finish(QFile &file) const
    {
        if (m_infoLength <= 0)
            return true;
        InfoTag tag;
        tag.frameCount = std::uint32_t(m_lengths.size());
        qint64 bytes = m_infoLength;
        for (const int length : m_lengths)
            bytes += length;
        tag.streamBytes = std::uint32_t(std::min<qint64>(bytes, 0xFFFFFFFFu));
        tag.toc = buildToc(m_infoLength, m_lengths);
        tag.encoderDelay = m_delay;
        tag.constantBitrateKbps = m_kbps;
        tag.musicCrc = m_musicCrc;
        const std::vector<unsigned char> frame = buildInfoFrame(m_template, tag);
        return int(frame.size()) == m_infoLength && file.seek(0)
            && file.write(reinterpret_cast<const char *>(frame.data()), m_infoLength) == m_infoLength;
    }

private:
    FrameSink &m_sink;
    std::uint32_t m_template = 0;
    int m_infoLength = 0;
    int m_delay = 0;
    int m_kbps = 0;
    std::uint16_t m_musicCrc = 0;
    std::vector<int> m_lengths;
};

bool isSameFile(const QFile &open, const QString &otherPath)
{
    struct stat openStat = {};
    struct stat otherStat = {};
    return ::fstat(open.handle(), &openStat) == 0 && ::stat(QFile::encodeName(otherPath).constData(), &otherStat) == 0
        && openStat.st_dev == otherStat.st_dev && openStat.st_ino == otherStat.st_ino;
}

} // namespace

Mp3FileInfo::Mp3FileInfo(const QString &path)
{
    if (!path.isEmpty())
        scanFile(path, true);
}

void Mp3FileInfo::reset()
{
    *this = Mp3FileInfo();
}

bool Mp3FileInfo::scanFile(const QString &scanPath, bool useMediaLength)
{
    reset();
    QFile file(scanPath);
    if (!openRegularFile(file, QIODevice::Unbuffered))
        return false;

    FrameReader reader(file);
    {
        // The first frame of the first consistent run: leading junk and chance sync words in
        // it are not taken for the audio.
        FrameWalker walker(reader);
        MpegFrame first;
        if (walker.next(first)) {
            const std::uint32_t header = first.header;
            version = first.version;
            layer = first.layer;
            protectionBit = mpeg::protectionBit(header);
            sampleRate = first.sampleRate;
            channelMode = mpeg::channelMode(header);
            copyright = mpeg::copyright(header);
            original = mpeg::original(header);
            emphasis = mpeg::emphasis(header);
            frameCount = 1;
            flags |= HasHeader;
            bitrateKbps = std::max(first.bitrateKbps, 0);
        }
    }
    reader.setEnd(file.size());

    if (useMediaLength)
        durationSeconds = mediaLengthMs(file) / 1000;

    const qint64 size = file.size();
    if (size >= kId3v1TagSize) {
        reader.seek(size - kId3v1TagSize);
        qint64 available = 0;
        const unsigned char *bytes = reader.peek(kId3v1TagSize, available);
        readId3v1Tag(bytes, available, *this);
    }

    path = scanPath;
    return true;
}

bool Mp3FileInfo::copyFramesByTime(const QString &sourcePath, const QString &targetPath, float startSeconds,
                                   float endSeconds)
{
    QFile source(sourcePath);
    if (!openRegularFile(source, QIODevice::Unbuffered))
        return false;
    // Truncating the target would wipe a source that is the same file under another name.
    if (isSameFile(source, targetPath))
        return false;
    QFile target(targetPath);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    // Also false for NaN: no window, no frames.
    if (!(startSeconds <= endSeconds))
        return true;

    FrameReader reader(source);
    FrameWalker walker(reader);
    FrameSink sink(target);
    CopiedStream copy(sink);
    ReservoirHistory history;
    PlayingTime time;
    MpegFrame frame;
    bool started = false;
    while (walker.next(frame)) {
        if (frame.isVbrHeader)
            continue;
        if (frameCount == 0) {
            version = frame.version;
            layer = frame.layer;
            protectionBit = mpeg::protectionBit(frame.header);
        }
        ++frameCount;
        // Each frame is timed by its end, so a frame straddling a limit is kept.
        time.add(frame.samples, frame.sampleRate);
        const double t = time.seconds();
        if (startSeconds <= t) {
            if (!started && !copy.startWith(history.takeFramesBefore(frame)))
                return false;
            started = true;
            if (!copy.append(frame.bytes, frame.length))
                return false;
        } else {
            history.add(frame);
        }
        if (endSeconds <= t)
            break;
    }
    return sink.flush() && copy.finish(target);
}

bool Mp3FileInfo::writeTag(const QString &tagPath, bool remove)
{
    QFile file(tagPath.isEmpty() ? path : tagPath);
    if (file.fileName().isEmpty())
        return false;
    // Removing a tag from a file that is not there must not leave an empty file behind.
    const QIODevice::OpenMode mode = remove ? QIODevice::ReadWrite | QIODevice::ExistingOnly : QIODevice::ReadWrite;
    if (!file.open(mode | QIODevice::Unbuffered))
        return false;
    // Another writer of ours on the same file fails rather than interleaving with this one.
    if (::flock(file.handle(), LOCK_EX | LOCK_NB) != 0)
        return false;

    const qint64 size = file.size();
    qint64 tagAt = size;
    QByteArray oldTag;
    if (size >= kId3v1TagSize && file.seek(size - kId3v1TagSize)) {
        oldTag = file.read(kId3v1TagSize);
        if (oldTag.size() == kId3v1TagSize && oldTag.startsWith("TAG"))
            tagAt = size - kId3v1TagSize;
        else
            oldTag.clear();
    }

    if (remove)
        return tagAt == size || file.resize(tagAt);

    const Id3v1Tag tag = buildId3v1Tag(*this);
    if (file.seek(tagAt) && file.write(reinterpret_cast<const char *>(tag.data()), kId3v1TagSize) == kId3v1TagSize)
        return true;
    // Leave the file as it was: the old tag back in place, or nothing appended.
    if (!oldTag.isEmpty() && file.seek(tagAt))
        file.write(oldTag);
    else
        file.resize(size);
    return false;
}

QString formatMinutesSeconds(int seconds)
{
    seconds = std::max(seconds, 0);
    return QString::asprintf("%d:%02d", seconds / 60, seconds % 60);
}

} // namespace sonavell
