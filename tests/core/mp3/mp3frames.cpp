#include "mp3frames.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sonavell::test {

namespace {

void putBigEndian32(QByteArray &bytes, int at, std::uint32_t value)
{
    bytes[at] = char(value >> 24);
    bytes[at + 1] = char(value >> 16);
    bytes[at + 2] = char(value >> 8);
    bytes[at + 3] = char(value);
}

} // namespace

std::uint32_t makeHeader(const FrameSpec &spec)
{
    static constexpr std::uint32_t kVersionCode[4] = {1, 0, 2, 3}; // indexed by MpegVersion
    const std::uint32_t layerCode = spec.layer == 0 ? 0 : std::uint32_t(4 - spec.layer);
    return 0xFFE00000u | (kVersionCode[int(spec.version)] << 19) | (layerCode << 17) | (spec.crc ? 0u : 1u) << 16
        | std::uint32_t(spec.bitrateIndex) << 12 | std::uint32_t(spec.sampleRateIndex) << 10
        | std::uint32_t(spec.padding) << 9 | std::uint32_t(spec.channelMode) << 6 | std::uint32_t(spec.copyright) << 3
        | std::uint32_t(spec.original) << 2 | std::uint32_t(spec.emphasis);
}

int frameLengthOf(const FrameSpec &spec)
{
    const int bitrate = mpeg::bitrateKbps(spec.version, spec.layer, spec.bitrateIndex);
    const int rate = mpeg::sampleRate(spec.version, spec.sampleRateIndex);
    return mpeg::frameLength(spec.version, spec.layer, bitrate, rate, spec.padding);
}

QByteArray makeFrame(const FrameSpec &spec, unsigned char marker)
{
    QByteArray frame(frameLengthOf(spec), char(marker));
    putBigEndian32(frame, 0, makeHeader(spec));
    // Layer III side information of zeros: no main data before the frame, so a copy takes no
    // earlier frames along.
    if (spec.layer == 3)
        std::memset(frame.data() + 4, 0, std::size_t(std::min<qsizetype>(frame.size() - 4, mpeg::mainDataOffset(makeHeader(spec)) - 4)));
    return frame;
}

QByteArray makeStream(FrameSpec spec, int count, const std::vector<int> &bitrateIndexes)
{
    QByteArray stream;
    for (int i = 0; i < count; ++i) {
        if (!bitrateIndexes.empty())
            spec.bitrateIndex = bitrateIndexes[size_t(i) % bitrateIndexes.size()];
        stream += makeFrame(spec, static_cast<unsigned char>(i % 256));
    }
    return stream;
}

QByteArray makeXingFrame(const FrameSpec &spec, std::uint32_t frameCount, const char *magic, std::uint32_t streamBytes)
{
    QByteArray frame = makeFrame(spec);
    const int at = mpeg::sideInfoEnd(spec.version, spec.channelMode) + (spec.crc ? 2 : 0);
    std::memcpy(frame.data() + at, magic, 4);
    putBigEndian32(frame, at + 4, streamBytes ? 0x3 : 0x1);
    putBigEndian32(frame, at + 8, frameCount);
    if (streamBytes)
        putBigEndian32(frame, at + 12, streamBytes);
    return frame;
}

QByteArray makeVbriFrame(const FrameSpec &spec, std::uint32_t frameCount, std::uint32_t streamBytes)
{
    QByteArray frame = makeFrame(spec);
    std::memcpy(frame.data() + 36, "VBRI", 4);
    putBigEndian32(frame, 36 + 10, streamBytes);
    putBigEndian32(frame, 36 + 14, frameCount);
    return frame;
}

QByteArray makeId3v2Tag(int bodySize, int majorVersion, bool footer)
{
    QByteArray tag(10, '\0');
    std::memcpy(tag.data(), "ID3", 3);
    tag[3] = char(majorVersion);
    tag[5] = footer ? char(0x10) : char(0);
    for (int i = 0; i < 4; ++i)
        tag[9 - i] = char((bodySize >> (7 * i)) & 0x7F);
    // A body that is not all zeros, with bytes a careless search could take for sync words.
    QByteArray body(bodySize, '\0');
    for (int i = 0; i + 1 < bodySize; i += 97) {
        body[i] = char(0xFF);
        body[i + 1] = char(0xFB);
    }
    tag += body;
    if (footer) {
        QByteArray foot = tag.left(10);
        std::memcpy(foot.data(), "3DI", 3);
        tag += foot;
    }
    return tag;
}

qint64 expectedMilliseconds(const FrameSpec &spec, qint64 count)
{
    const int rate = mpeg::sampleRate(spec.version, spec.sampleRateIndex);
    return std::llround(double(count) * mpeg::samplesPerFrame(spec.version, spec.layer) * 1000.0 / rate);
}

} // namespace sonavell::test
