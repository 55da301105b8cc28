#include "core/record/recordingrecovery.h"

#include "core/files/filelist.h"
#include "core/mp3/framesync.h"
#include "core/mp3/framewalker.h"
#include "core/mp3/mp3fileinfo.h"
#include "core/mp3/mpegheader.h"
#include "core/mp3/vbrheader.h"
#include "core/record/recordingmarker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonavell {

namespace recordnames {

bool isTimeStampName(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}-\\d{2}-\\d{2}(\\d{3})?$"));
    return pattern.match(fileName).hasMatch();
}

QString nextFreeName(const QString &path)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return path;
    const bool mp3 = path.right(4).toLower() == QStringLiteral(".mp3");
    const QString stem = mp3 ? path.chopped(4) : path;
    const QString ending = mp3 ? path.right(4) : QString();
    for (int n = 1; n <= 999; ++n) {
        const QString candidate = stem + QString::asprintf("%03d", n) + ending;
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
    return {};
}

} // namespace recordnames

namespace {

using Header = MpegFrame;

bool sameStream(const Header &a, const Header &b)
{
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

bool readHeader(const unsigned char *bytes, qint64 available, Header &header)
{
    if (available < 4)
        return false;
    header.header = mpeg::readBigEndian32(bytes);
    if (!mpeg::isFrameSync(header.header))
        return false;
    header.version = mpeg::version(header.header);
    header.layer = mpeg::layer(header.header);
    header.sampleRate = mpeg::sampleRate(header.version, mpeg::sampleRateIndex(header.header));
    header.bitrateKbps = mpeg::bitrateKbps(header.version, header.layer, mpeg::bitrateIndex(header.header));
    if (header.version == MpegVersion::Reserved || header.layer == 0 || header.sampleRate == 0 || header.bitrateKbps <= 0)
        return false;
    header.length = mpeg::frameLength(header.version, header.layer, header.bitrateKbps, header.sampleRate,
                                      mpeg::padding(header.header));
    header.samples = mpeg::samplesPerFrame(header.version, header.layer);
    return header.length > 4;
}

// Where the tag starts in the first frame: after the header, a CRC word and the side information.
int tagOffset(const Header &header)
{
    return mpeg::sideInfoEnd(header.version, mpeg::channelMode(header.header))
        + (mpeg::protectionBit(header.header) == 0 ? 2 : 0);
}

// LAME reserves the first frame for the Info tag and writes it blank (header only) until the
// stream is finished.
bool isBlankFrame(const unsigned char *frame, const Header &header)
{
    return std::all_of(frame + 4, frame + header.length, [](unsigned char b) { return b == 0; });
}

// The first frame: after any ID3v2 tags, the first header whose successor (if the file goes on
// that far) is a header of the same stream, so a stray sync pattern in junk is not taken.
qint64 findFirstFrame(const unsigned char *data, qint64 size)
{
    qint64 start = 0;
    for (int i = 0; i < kMaxLeadingId3v2Tags; ++i) {
        const qint64 tag = id3v2TagSize(data + start, size - start);
        if (tag <= 0)
            break;
        start += tag;
    }
    const qint64 searchEnd = std::min(size, start + kFrameSyncPositions);
    for (qint64 pos = start; pos < searchEnd; ++pos) {
        Header first;
        if (!readHeader(data + pos, size - pos, first))
            continue;
        const qint64 next = pos + first.length;
        Header second;
        if (next >= size || (readHeader(data + next, size - next, second) && sameStream(second, first)))
            return pos;
    }
    return -1;
}

Mp3Frames scanBytes(const unsigned char *data, qint64 size)
{
    Mp3Frames result;
    result.fileSize = size;
    result.firstFrame = findFirstFrame(data, size);
    if (result.firstFrame < 0)
        return result;
    Header first;
    readHeader(data + result.firstFrame, size - result.firstFrame, first);
    PlayingTime time;
    qint64 pos = result.firstFrame;
    std::uint32_t tagCount = 0;
    bool tagHasCount = false;
    for (int index = 0;; ++index) {
        Header header;
        if (!readHeader(data + pos, size - pos, header) || !sameStream(header, first) || pos + header.length > size)
            break;
        if (index == 0 && pos + header.length <= size) {
            VbrHeader vbr;
            if (parseVbrHeader(data + pos, header.length, vbr)) {
                result.tagFrame = true;
                tagCount = vbr.frameCount;
                tagHasCount = vbr.isValid();
            } else if (isBlankFrame(data + pos, header)) {
                result.tagFrame = true;
            }
        }
        if (index > 0 || !result.tagFrame) {
            ++result.audioFrames;
            time.add(header.samples, header.sampleRate);
        }
        pos += header.length;
    }
    result.audioEnd = pos;
    result.tagCountRight = result.tagFrame && tagHasCount && tagCount == static_cast<std::uint32_t>(result.audioFrames);
    result.lengthMs = time.milliseconds();
    return result;
}

// A read-only view of a whole open file.
class MappedFile
{
public:
    MappedFile(int fd, qint64 size) : m_size(size)
    {
        if (size > 0) {
            void *data = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
            m_data = data == MAP_FAILED ? nullptr : static_cast<const unsigned char *>(data);
        }
    }
    ~MappedFile()
    {
        if (m_data)
            ::munmap(const_cast<unsigned char *>(m_data), static_cast<size_t>(m_size));
    }
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;
    const unsigned char *data() const { return m_data; }

private:
    const unsigned char *m_data = nullptr;
    qint64 m_size;
};

class OpenFile
{
public:
    explicit OpenFile(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC))
    {
    }
    ~OpenFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

bool writeAt(int fd, const QByteArray &bytes, qint64 offset)
{
    return ::pwrite(fd, bytes.constData(), static_cast<size_t>(bytes.size()), offset) == bytes.size();
}

// An Info tag for a constant-bit-rate stream written into the first frame: the frame count,
// the stream's bytes and a straight-line seek table. A frame too short for all of it keeps what fits.
QByteArray infoTagFrame(const unsigned char *frame, const Header &header, int audioFrames, qint64 streamBytes)
{
    QByteArray out(header.length, '\0');
    std::memcpy(out.data(), frame, 4);
    auto put32 = [&](int at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    };
    const int at = tagOffset(header);
    if (at + 16 > header.length)
        return out; // no room: a blank frame, which decodes as silence
    const bool toc = at + 16 + 100 <= header.length;
    std::memcpy(out.data() + at, "Info", 4);
    put32(at + 4, toc ? 0x7u : 0x3u);
    put32(at + 8, static_cast<std::uint32_t>(audioFrames));
    put32(at + 12, static_cast<std::uint32_t>(std::min<qint64>(streamBytes, UINT32_MAX)));
    if (toc) {
        for (int i = 0; i < 100; ++i)
            out[at + 16 + i] = static_cast<char>(i * 256 / 100);
    }
    return out;
}

bool onlyPartialFrameOrZeros(const unsigned char *tail, qint64 count)
{
    Header header;
    if (readHeader(tail, count, header) && header.length > count)
        return true;
    return std::all_of(tail, tail + count, [](unsigned char b) { return b == 0; });
}

RecoveredFile failed(RecoveredFile file, const QString &why)
{
    file.outcome = RecoveredFile::Outcome::Failed;
    file.why = why;
    return file;
}

} // namespace

std::optional<RecoveredFile> recoverRecording(const QString &path, const QString &wantedTarget)
{
    RecoveredFile file;
    file.original = path;
    file.path = path;
    const OpenFile open(path);
    if (open.fd() < 0)
        return errno == ENOENT ? std::nullopt : std::optional(failed(file, QString::fromLocal8Bit(std::strerror(errno))));
    if (::flock(open.fd(), LOCK_EX | LOCK_NB) != 0)
        return std::nullopt;
    struct stat info{};
    if (::fstat(open.fd(), &info) != 0 || !S_ISREG(info.st_mode))
        return failed(file, QStringLiteral("not a regular file"));

    Mp3Frames frames;
    if (info.st_size > 0) {
        const MappedFile map(open.fd(), info.st_size);
        if (!map.data())
            return failed(file, QString::fromLocal8Bit(std::strerror(errno)));
        frames = scanBytes(map.data(), info.st_size);
        if (frames.firstFrame < 0) {
            file.outcome = RecoveredFile::Outcome::NotAudio;
            return file;
        }
        if (frames.audioFrames > 0 && frames.tagFrame && !frames.tagCountRight) {
            Header first;
            readHeader(map.data() + frames.firstFrame, info.st_size - frames.firstFrame, first);
            const QByteArray tag = infoTagFrame(map.data() + frames.firstFrame, first, frames.audioFrames,
                                                frames.audioEnd - frames.firstFrame);
            if (!writeAt(open.fd(), tag, frames.firstFrame))
                return failed(file, QString::fromLocal8Bit(std::strerror(errno)));
        }
        if (frames.audioEnd < info.st_size
            && onlyPartialFrameOrZeros(map.data() + frames.audioEnd, info.st_size - frames.audioEnd)
            && ::ftruncate(open.fd(), frames.audioEnd) != 0)
            return failed(file, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (frames.audioFrames == 0) {
        // A take stopped before any sound reached it: nothing to keep.
        if (!QFile::remove(path))
            return failed(file, QStringLiteral("holds no audio but could not be removed"));
        file.outcome = RecoveredFile::Outcome::Empty;
        return file;
    }
    ::fdatasync(open.fd());
    file.lengthMs = frames.lengthMs;

    const QString target = forceMp3Extension(wantedTarget.isEmpty() ? path : wantedTarget);
    if (target != path) {
        const QString free = recordnames::nextFreeName(target);
        if (free.isEmpty() || !QFile::rename(path, free))
            return failed(file, QStringLiteral("could not be renamed to %1").arg(target));
        file.path = free;
    }
    return file;
}

namespace {

QString lengthText(qint64 ms)
{
    return formatMinutesSeconds(static_cast<int>((ms + 500) / 1000));
}

} // namespace

Mp3Frames scanMp3Frames(const QString &path)
{
    const OpenFile open(path);
    struct stat info{};
    if (open.fd() < 0 || ::fstat(open.fd(), &info) != 0 || info.st_size <= 0)
        return {};
    const MappedFile map(open.fd(), info.st_size);
    return map.data() ? scanBytes(map.data(), info.st_size) : Mp3Frames{};
}

RecoveryReport recoverRecordings(const QString &saveFolder, const QString &markerFolder)
{
    RecoveryReport report;
    QSet<QString> done;
    for (const RecordingMarker::Entry &marker : RecordingMarker::list(markerFolder)) {
        const QString path = QFileInfo(marker.recordPath).absoluteFilePath();
        if (!QFileInfo::exists(path)) {
            // Finished after all (the marker outlived its file), or taken away by the user.
            QFile::remove(marker.markerPath);
            continue;
        }
        std::optional<RecoveredFile> file = recoverRecording(path, marker.target);
        if (!file)
            continue; // still recording
        done << path;
        if (file->outcome != RecoveredFile::Outcome::Failed)
            QFile::remove(marker.markerPath);
        report.files << *file;
    }
    if (!saveFolder.isEmpty()) {
        const QDir dir(saveFolder);
        for (const QFileInfo &entry : dir.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name)) {
            if (!recordnames::isTimeStampName(entry.fileName()) || done.contains(entry.absoluteFilePath()))
                continue;
            if (std::optional<RecoveredFile> file = recoverRecording(entry.absoluteFilePath(), QString()))
                report.files << *file;
        }
    }
    return report;
}

QStringList RecoveryReport::recoveredPaths() const
{
    QStringList paths;
    for (const RecoveredFile &file : files) {
        if (file.outcome == RecoveredFile::Outcome::Recovered)
            paths << file.path;
    }
    return paths;
}

QString RecoveryReport::message() const
{
    QStringList recovered;
    QStringList left;
    QStringList removed;
    for (const RecoveredFile &file : files) {
        switch (file.outcome) {
        case RecoveredFile::Outcome::Recovered:
            recovered << QStringLiteral("%1 (%2)").arg(file.path, lengthText(file.lengthMs));
            break;
        case RecoveredFile::Outcome::NotAudio:
            left << QStringLiteral("%1: holds no MP3 audio; left as it is").arg(file.original);
            break;
        case RecoveredFile::Outcome::Failed:
            left << QStringLiteral("%1: %2; left as it is").arg(file.original, file.why);
            break;
        case RecoveredFile::Outcome::Empty:
            removed << file.original;
            break;
        }
    }
    QStringList parts;
    if (!recovered.isEmpty())
        parts << QStringLiteral("Recordings that were interrupted have been recovered and added to the list:\n")
                     + recovered.join(QLatin1Char('\n'));
    if (!removed.isEmpty())
        parts << QStringLiteral("Interrupted recordings that held no audio were removed:\n")
                     + removed.join(QLatin1Char('\n'));
    if (!left.isEmpty())
        parts << QStringLiteral("Not recovered:\n") + left.join(QLatin1Char('\n'));
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace sonavell
