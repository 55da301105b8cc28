#pragma once

#include "core/mp3/mpegheader.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace sonavell::test {

// Hand-built MPEG audio frames: a real header, zero Layer III side information and a payload of
// zeros (or of one marker byte, so a test can tell copied frames apart).
struct FrameSpec
{
    MpegVersion version = MpegVersion::Mpeg1;
    int layer = 3;
    int bitrateIndex = 9; // 128 kbit/s for MPEG-1 Layer III
    int sampleRateIndex = 0;
    int padding = 0;
    int channelMode = 0;
    bool crc = false;
    int copyright = 0;
    int original = 0;
    int emphasis = 0;
};

std::uint32_t makeHeader(const FrameSpec &spec);
int frameLengthOf(const FrameSpec &spec);
// One whole frame; every payload byte is marker.
QByteArray makeFrame(const FrameSpec &spec, unsigned char marker = 0);
// count frames; frame i has the marker i % 256 and, with several bitrate indexes given, the
// bitrate index bitrateIndexes[i % size].
QByteArray makeStream(FrameSpec spec, int count, const std::vector<int> &bitrateIndexes = {});
// A first frame holding a Xing ("Xing" or "Info") tag with a frame count, as encoders write it,
// and a byte count when streamBytes is not 0.
QByteArray makeXingFrame(const FrameSpec &spec, std::uint32_t frameCount, const char *magic = "Info",
                         std::uint32_t streamBytes = 0);
// A first frame holding a Fraunhofer VBRI tag.
QByteArray makeVbriFrame(const FrameSpec &spec, std::uint32_t frameCount, std::uint32_t streamBytes = 0);
// An ID3v2.3 tag whose body is bodySize bytes of padding (syncsafe size in the header).
QByteArray makeId3v2Tag(int bodySize, int majorVersion = 3, bool footer = false);
// The playing time of count frames of spec, in milliseconds, rounded.
qint64 expectedMilliseconds(const FrameSpec &spec, qint64 count);

} // namespace sonavell::test
