#pragma once

#include <cstdint>

namespace sonavell {

// Header bits 20-19. The numbering is the system's own: 3 is MPEG-1, 0 the reserved code.
enum class MpegVersion : int {
    Reserved = 0,
    Mpeg25 = 1,
    Mpeg2 = 2,
    Mpeg1 = 3,
};

// Field access for a frame header: the four bytes at a frame start read as one big-endian word.
// Nothing here validates a header; callers decide what a zero or negative value means.
namespace mpeg {

// Eleven set bits. Nothing else is checked: a header is parsed as soon as these match.
constexpr bool isFrameSync(std::uint32_t word) { return (word & 0xFFE00000u) == 0xFFE00000u; }

constexpr std::uint32_t readBigEndian32(const unsigned char *bytes)
{
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) | (std::uint32_t(bytes[2]) << 8)
        | std::uint32_t(bytes[3]);
}

MpegVersion version(std::uint32_t header);
// 1, 2 or 3 for Layer I, II, III; 0 for the reserved code.
int layer(std::uint32_t header);
constexpr int protectionBit(std::uint32_t header) { return int((header >> 16) & 1u); }
constexpr int bitrateIndex(std::uint32_t header) { return int((header >> 12) & 0xFu); }
constexpr int sampleRateIndex(std::uint32_t header) { return int((header >> 10) & 3u); }
constexpr int padding(std::uint32_t header) { return int((header >> 9) & 1u); }
constexpr int channelMode(std::uint32_t header) { return int((header >> 6) & 3u); }
constexpr int copyright(std::uint32_t header) { return int((header >> 3) & 1u); }
constexpr int original(std::uint32_t header) { return int((header >> 2) & 1u); }
constexpr int emphasis(std::uint32_t header) { return int(header & 3u); }

constexpr int kChannelModeSingle = 3;

// kbit/s from the tables of ISO/IEC 11172-3 (MPEG-1) and 13818-3 (MPEG-2, also used for
// MPEG-2.5). Index 0 (free format) gives 0, index 15 gives -1; layer 0 or a reserved version
// gives 0.
int bitrateKbps(MpegVersion version, int layer, int index);
// Hz, or 0 for index 3 and for the reserved version.
int sampleRate(MpegVersion version, int index);
// Bytes, integer arithmetic as the standards define it. Zero or negative for free-format
// and index-15 bitrates and for a zero sample rate: such a header is not a usable frame.
int frameLength(MpegVersion version, int layer, int bitrateKbps, int sampleRate, int padding);
// PCM samples per channel that one frame carries: 384 (Layer I), 1152 (Layer II and MPEG-1
// Layer III), 576 (Layer III of MPEG-2 and MPEG-2.5); 0 for the reserved layer.
int samplesPerFrame(MpegVersion version, int layer);
// Where a Xing/Info tag starts in a frame: after the header and the side information.
int sideInfoEnd(MpegVersion version, int channelMode);

// Layer III bit reservoir (ISO/IEC 11172-3 2.4.3.4.2, ISO/IEC 13818-3 2.5.3.1): a frame's main
// data may begin up to main_data_begin bytes before its own main data area, in the areas of
// the frames before it.
// Where the main data area begins: after the header, the CRC word (when protected) and the
// side information.
int mainDataOffset(std::uint32_t header);
// main_data_begin of a whole Layer III frame (length bytes, header first); 0 for other layers
// and for frames too short to hold their side information.
int mainDataBegin(const unsigned char *frame, int length);
// The largest main_data_begin: 9 bits for MPEG-1, 8 bits for MPEG-2 and MPEG-2.5.
constexpr int maxMainDataBegin(MpegVersion version) { return version == MpegVersion::Mpeg1 ? 511 : 255; }
// Granules in one Layer III frame: two for MPEG-1, one for MPEG-2 and MPEG-2.5.
constexpr int granulesPerFrame(MpegVersion version) { return version == MpegVersion::Mpeg1 ? 2 : 1; }

} // namespace mpeg
} // namespace sonavell
