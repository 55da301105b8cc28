#include "core/mp3/mp3frametable.h"

#include "core/io/regularfile.h"
#include "core/mp3/framereader.h"
#include "core/mp3/framewalker.h"
#include "core/mp3/mpegheader.h"

#include <QFile>

#include <algorithm>

namespace sonavell {

bool Mp3FrameTable::build(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file, QIODevice::Unbuffered)) {
        *this = Mp3FrameTable();
        return false;
    }
    return build(file);
}

bool Mp3FrameTable::build(QIODevice &file)
{
    *this = Mp3FrameTable();
    if (!file.seek(0))
        return false;
    FrameReader reader(file);
    FrameWalker walker(reader);
    MpegFrame frame;
    while (walker.next(frame)) {
        if (frame.isVbrHeader)
            continue;
        if (m_frames.empty()) {
            m_sampleRate = frame.sampleRate;
            m_channels = mpeg::channelMode(frame.header) == mpeg::kChannelModeSingle ? 1 : 2;
        }
        m_frames.push_back(Frame{frame.offset, m_totalSamples});
        m_totalSamples += frame.samples;
        m_audioEnd = frame.offset + frame.length;
    }
    return !m_frames.empty();
}

qint64 Mp3FrameTable::frameBytes(int index) const
{
    const std::size_t next = static_cast<std::size_t>(index) + 1;
    const qint64 end = next < m_frames.size() ? m_frames[next].offset : m_audioEnd;
    return end - m_frames[static_cast<std::size_t>(index)].offset;
}

qint64 Mp3FrameTable::samplesIn(int index) const
{
    const std::size_t next = static_cast<std::size_t>(index) + 1;
    const qint64 end = next < m_frames.size() ? m_frames[next].firstSample : m_totalSamples;
    return end - m_frames[static_cast<std::size_t>(index)].firstSample;
}

qint64 Mp3FrameTable::lengthMs() const
{
    return sampleToMs(m_totalSamples);
}

qint64 Mp3FrameTable::msToSample(qint64 ms) const
{
    return m_sampleRate > 0 ? ms * m_sampleRate / 1000 : 0;
}

qint64 Mp3FrameTable::sampleToMs(qint64 sample) const
{
    return m_sampleRate > 0 ? (sample * 1000 + m_sampleRate / 2) / m_sampleRate : 0;
}

int Mp3FrameTable::frameOfSample(qint64 sample) const
{
    if (m_frames.empty())
        return -1;
    const auto after = std::upper_bound(m_frames.begin(), m_frames.end(), sample,
                                        [](qint64 s, const Frame &frame) { return s < frame.firstSample; });
    return std::max(0, static_cast<int>(after - m_frames.begin()) - 1);
}

int Mp3FrameTable::frameAtOffset(qint64 offset, int hint) const
{
    if (hint >= 0 && hint < frameCount() && m_frames[static_cast<std::size_t>(hint)].offset == offset)
        return hint;
    const auto at = std::lower_bound(m_frames.begin(), m_frames.end(), offset,
                                     [](const Frame &frame, qint64 o) { return frame.offset < o; });
    return at != m_frames.end() && at->offset == offset ? static_cast<int>(at - m_frames.begin()) : -1;
}

} // namespace sonavell
