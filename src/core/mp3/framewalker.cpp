#include "core/mp3/framewalker.h"

#include "core/mp3/framereader.h"
#include "core/mp3/framesync.h"
#include "core/mp3/trailingtags.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sonavell {

namespace {

// Frames in a row that make a run: more at the start, where any chance sync word in leading
// junk would otherwise start the audio, than after damage inside a stream already found.
constexpr int kLeadingRun = 4;
constexpr int kResyncRun = 3;
// The longest free-format frame looked for: Layer III at 640 kbit/s and 8000 Hz is 5760 bytes.
constexpr int kMaxFreeFrame = 8192;
constexpr int kMinFreeFrame = 24;
// Sync, version, layer, protection, bitrate index and rate index: what the next free-format
// header must repeat.
constexpr std::uint32_t kFreeFormatMask = 0xFFFFFC00u;
// The search reads this much at a time.
constexpr qint64 kSearchWindow = 64 * 1024;

bool sameStream(const MpegFrame &a, const MpegFrame &b)
{
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate && a.freeFormat == b.freeFormat;
}

} // namespace

FrameWalker::FrameWalker(FrameReader &reader) : m_reader(reader)
{
    if (reader.pos() == 0)
        skipId3v2Tags(reader);
    m_audioBegin = std::min(reader.pos(), reader.end());
    m_audioEnd = std::min(reader.end(), trailingTagsBegin(reader.device(), m_audioBegin));
    reader.setEnd(m_audioEnd);
    m_pos = m_audioBegin;
}

FrameWalker::Parse FrameWalker::parseAt(qint64 at, MpegFrame &frame)
{
    frame = MpegFrame{};
    if (at >= m_audioEnd)
        return Parse::Invalid;
    m_reader.seek(at);
    qint64 available = 0;
    const unsigned char *bytes = m_reader.peek(4, available);
    if (available < 4)
        return Parse::Truncated;
    const std::uint32_t header = mpeg::readBigEndian32(bytes);
    if (!mpeg::isFrameSync(header))
        return Parse::Invalid;
    frame.offset = at;
    frame.header = header;
    frame.version = mpeg::version(header);
    frame.layer = mpeg::layer(header);
    frame.sampleRate = mpeg::sampleRate(frame.version, mpeg::sampleRateIndex(header));
    frame.samples = mpeg::samplesPerFrame(frame.version, frame.layer);
    const int index = mpeg::bitrateIndex(header);
    if (frame.version == MpegVersion::Reserved || frame.layer == 0 || frame.sampleRate == 0 || index == 15)
        return Parse::Invalid;

    if (index == 0) {
        frame.freeFormat = true;
        const qint64 rest = m_audioEnd - at;
        bytes = m_reader.peek(std::min<qint64>(rest, kMaxFreeFrame + 4), available);
        qint64 length = 0;
        for (qint64 i = kMinFreeFrame; i + 4 <= available; ++i) {
            if (bytes[i] == 0xFF && (mpeg::readBigEndian32(bytes + i) & kFreeFormatMask) == (header & kFreeFormatMask)) {
                length = i;
                break;
            }
        }
        // The last frame of the stream has no header after it.
        if (length == 0 && rest <= kMaxFreeFrame && available == rest)
            length = rest;
        if (length == 0)
            return rest <= kMaxFreeFrame ? Parse::Truncated : Parse::Invalid;
        frame.length = int(length);
        frame.bitrateKbps = int(std::llround(double(length) * 8 * frame.sampleRate / frame.samples / 1000.0));
    } else {
        frame.bitrateKbps = mpeg::bitrateKbps(frame.version, frame.layer, index);
        frame.length = mpeg::frameLength(frame.version, frame.layer, frame.bitrateKbps, frame.sampleRate,
                                         mpeg::padding(header));
        if (frame.length < 4 || frame.length > FrameReader::kMaxWindow)
            return Parse::Invalid;
    }
    if (at + frame.length > m_audioEnd)
        return Parse::Truncated;
    bytes = m_reader.peek(frame.length, available);
    if (available < frame.length)
        return Parse::Truncated;
    frame.bytes = bytes;
    return Parse::Ok;
}

// A run is need frames of one stream in a row, or fewer that end where the audio ends (a short
// file, or a last frame cut short).
bool FrameWalker::startsRun(qint64 at, int need)
{
    MpegFrame first;
    if (parseAt(at, first) != Parse::Ok)
        return false;
    qint64 next = at + first.length;
    for (int count = 1; count < need; ++count) {
        if (next >= m_audioEnd)
            return true;
        MpegFrame frame;
        const Parse parsed = parseAt(next, frame);
        if (parsed == Parse::Truncated && (frame.offset == 0 || sameStream(first, frame)))
            return true;
        if (parsed != Parse::Ok || !sameStream(first, frame))
            return false;
        next += frame.length;
    }
    return true;
}

// The first position in [from, limit) that starts a run, or -1. Each candidate costs a few
// header parses, so the scan is linear in the bytes it passes.
qint64 FrameWalker::findRun(qint64 from, qint64 limit, int need)
{
    limit = std::min(limit, m_audioEnd);
    qint64 p = from;
    while (p < limit) {
        m_reader.seek(p);
        qint64 available = 0;
        const unsigned char *bytes = m_reader.peek(std::min(kSearchWindow, m_audioEnd - p), available);
        if (available < 2)
            return -1;
        const qint64 span = std::min(available - 1, limit - p);
        qint64 candidate = -1;
        for (qint64 i = 0; i < span; ++i) {
            const void *ff = std::memchr(bytes + i, 0xFF, size_t(span - i));
            if (!ff)
                break;
            i = static_cast<const unsigned char *>(ff) - bytes;
            if ((bytes[i + 1] & 0xE0) == 0xE0) {
                candidate = p + i;
                break;
            }
        }
        if (candidate < 0) {
            p += span;
            continue;
        }
        if (startsRun(candidate, need))
            return candidate;
        p = candidate + 1;
    }
    return -1;
}

bool FrameWalker::next(MpegFrame &frame)
{
    if (m_pos >= m_audioEnd)
        return false;
    m_startedRun = false;
    if (m_synced) {
        if (parseAt(m_pos, frame) == Parse::Ok && sameStream(m_reference, frame)) {
            m_pos += frame.length;
            return true;
        }
        const qint64 damageStart = m_pos;
        const qint64 found = findRun(m_pos + 1, m_audioEnd, kResyncRun);
        m_pos = found < 0 ? m_audioEnd : found;
        m_damaged.push_back({damageStart, m_pos - damageStart});
        if (found < 0)
            return false;
    } else {
        const qint64 found = findRun(m_pos, m_audioBegin + kMaxLeadingJunk + 1, kLeadingRun);
        if (found < 0) {
            m_pos = m_audioEnd;
            return false;
        }
        m_leadingJunk = found - m_audioBegin;
        m_pos = found;
        m_synced = true;
    }
    parseAt(m_pos, frame);
    m_reference = frame;
    m_startedRun = true;
    frame.isVbrHeader = m_first && parseVbrHeader(frame.bytes, frame.length, frame.vbr);
    m_first = false;
    m_pos += frame.length;
    return true;
}

void PlayingTime::add(qint64 samples, int sampleRate)
{
    if (sampleRate <= 0)
        return;
    if (sampleRate != m_sampleRate) {
        m_closedSeconds = seconds();
        m_samples = 0;
        m_sampleRate = sampleRate;
    }
    m_samples += samples;
}

double PlayingTime::seconds() const
{
    return m_sampleRate > 0 ? m_closedSeconds + double(m_samples) / m_sampleRate : m_closedSeconds;
}

qint64 PlayingTime::milliseconds() const
{
    return std::llround(seconds() * 1000.0);
}

} // namespace sonavell
