#include "core/mp3/reservoirhistory.h"

#include "core/mp3/framewalker.h"
#include "core/mp3/mpegheader.h"

#include <algorithm>

namespace sonavell {

namespace {

// The fields that must stay the same for one frame's main data to continue into the next.
constexpr std::uint32_t kStreamFields = 0xFFFE0CC0u; // sync, version, layer, sample rate, channel mode

// ISO/IEC 11172-3 2.4.3.1: CRC-16 with polynomial 0x8005 from all ones, over the last two header
// bytes and the side information.
std::uint16_t frameCrc(const unsigned char *bytes, int count, std::uint16_t crc)
{
    for (int i = 0; i < count; ++i) {
        crc ^= std::uint16_t(bytes[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000u) ? std::uint16_t((crc << 1) ^ 0x8005u) : std::uint16_t(crc << 1);
    }
    return crc;
}

} // namespace

void silenceFrame(std::vector<unsigned char> &frame, int mainDataBegin)
{
    if (frame.size() < 4)
        return;
    const std::uint32_t header = mpeg::readBigEndian32(frame.data());
    const bool protectedFrame = mpeg::protectionBit(header) == 0;
    const int sideStart = 4 + (protectedFrame ? 2 : 0);
    const int dataStart = mpeg::mainDataOffset(header);
    if (mpeg::layer(header) != 3 || dataStart > int(frame.size()))
        return;
    std::fill(frame.begin() + sideStart, frame.begin() + dataStart, 0);
    unsigned char *side = frame.data() + sideStart;
    if (mpeg::version(header) == MpegVersion::Mpeg1) {
        mainDataBegin = std::clamp(mainDataBegin, 0, 511);
        side[0] = static_cast<unsigned char>(mainDataBegin >> 1);
        side[1] = static_cast<unsigned char>((mainDataBegin & 1) << 7);
    } else {
        side[0] = static_cast<unsigned char>(std::clamp(mainDataBegin, 0, 255));
    }
    if (protectedFrame) {
        std::uint16_t crc = frameCrc(frame.data() + 2, 2, 0xFFFF);
        crc = frameCrc(frame.data() + sideStart, dataStart - sideStart, crc);
        frame[4] = static_cast<unsigned char>(crc >> 8);
        frame[5] = static_cast<unsigned char>(crc & 0xFFu);
    }
}

void ReservoirHistory::add(const MpegFrame &frame)
{
    if (frame.layer != 3) {
        m_frames.clear();
        return;
    }
    if (!m_frames.empty() && (m_frames.back().header & kStreamFields) != (frame.header & kStreamFields))
        m_frames.clear();
    Kept kept;
    kept.frame.bytes.assign(frame.bytes, frame.bytes + frame.length);
    kept.frame.samples = frame.samples;
    kept.header = frame.header;
    kept.dataSize = std::max(0, frame.length - mpeg::mainDataOffset(frame.header));
    kept.mainDataBegin = mpeg::mainDataBegin(frame.bytes, frame.length);
    m_frames.push_back(std::move(kept));

    // The oldest frame goes once the others before the two newest cover the largest reservoir
    // that the newest ones, or the frame after them, can reach back over.
    const int reach = mpeg::maxMainDataBegin(frame.version);
    for (;;) {
        const std::size_t count = m_frames.size();
        if (count <= 3)
            break;
        int covered = 0;
        for (std::size_t i = 1; i + 2 < count; ++i)
            covered += m_frames[i].dataSize;
        if (covered < reach)
            break;
        m_frames.pop_front();
    }
}

std::vector<ReservoirHistory::Frame> ReservoirHistory::takeFramesBefore(const MpegFrame &first)
{
    std::vector<Frame> taken;
    const int firstBegin = mpeg::mainDataBegin(first.bytes, first.length);
    if (first.layer != 3 || firstBegin == 0 || m_frames.empty()
        || (m_frames.back().header & kStreamFields) != (first.header & kStreamFields)) {
        m_frames.clear();
        return taken;
    }

    // Positions in the concatenated main data areas, counted from the oldest kept frame.
    const int count = int(m_frames.size());
    std::vector<int> dataStart(std::size_t(count) + 1, 0);
    for (int i = 0; i < count; ++i)
        dataStart[std::size_t(i) + 1] = dataStart[std::size_t(i)] + m_frames[std::size_t(i)].dataSize;
    // The two granules before the first kept one: one frame of MPEG-1, two of MPEG-2 and 2.5.
    const int warmUp = std::min(count, 2 / mpeg::granulesPerFrame(first.version));
    int needed = dataStart[std::size_t(count)] - firstBegin;
    for (int i = count - warmUp; i < count; ++i)
        needed = std::min(needed, dataStart[std::size_t(i)] - m_frames[std::size_t(i)].mainDataBegin);
    // The frame whose area holds the earliest byte needed; the oldest when history runs short.
    int from = 0;
    for (int i = 0; i <= count - warmUp; ++i) {
        if (dataStart[std::size_t(i)] <= needed)
            from = i;
    }

    for (int i = from; i < count; ++i) {
        Kept &kept = m_frames[std::size_t(i)];
        // Pointing at the copy's first main data byte keeps the decoder's reservoir
        // bookkeeping whole: it holds on to the bytes that the frames after need.
        const int reach = dataStart[std::size_t(i)] - dataStart[std::size_t(from)];
        if (kept.mainDataBegin > reach)
            silenceFrame(kept.frame.bytes, reach);
        taken.push_back(std::move(kept.frame));
    }
    m_frames.clear();
    return taken;
}

} // namespace sonavell
