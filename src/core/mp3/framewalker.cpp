#include "core/mp3/framewalker.h"

#include "core/mp3/framereader.h"
#include "core/mp3/framesync.h"
#include "core/mp3/id3v1tag.h"

#include <cmath>
#include <cstring>

namespace sonavell {

FrameWalker::FrameWalker(FrameReader &reader)
    : m_reader(reader)
{
    const qint64 start = reader.pos();
    const qint64 tagAt = reader.end() - kId3v1TagSize;
    if (tagAt >= start) {
        reader.seek(tagAt);
        qint64 available = 0;
        const unsigned char *bytes = reader.peek(3, available);
        if (available == 3 && std::memcmp(bytes, "TAG", 3) == 0)
            reader.setEnd(tagAt);
        reader.seek(start);
    }
}

bool FrameWalker::next(MpegFrame &frame)
{
    std::uint32_t header = 0;
    while (findFrameSync(m_reader, header, 0)) {
        const qint64 at = m_reader.pos() - 4;
        const MpegVersion version = mpeg::version(header);
        const int layer = mpeg::layer(header);
        const int bitrate = mpeg::bitrateKbps(version, layer, mpeg::bitrateIndex(header));
        const int rate = mpeg::sampleRate(version, mpeg::sampleRateIndex(header));
        const int length = bitrate > 0 ? mpeg::frameLength(version, layer, bitrate, rate, mpeg::padding(header)) : 0;
        if (rate > 0 && length >= 4 && length <= FrameReader::kMaxWindow) {
            m_reader.seek(at);
            qint64 available = 0;
            const unsigned char *bytes = m_reader.peek(length, available);
            if (available == length) {
                frame.offset = at;
                frame.header = header;
                frame.version = version;
                frame.layer = layer;
                frame.bitrateKbps = bitrate;
                frame.sampleRate = rate;
                frame.length = length;
                frame.samples = mpeg::samplesPerFrame(version, layer);
                frame.bytes = bytes;
                frame.isVbrHeader = m_first && parseVbrHeader(bytes, length, frame.vbr);
                m_first = false;
                m_reader.seek(at + length);
                return true;
            }
        }
        m_reader.seek(at + 1);
    }
    return false;
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
