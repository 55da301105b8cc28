#include "decodedmp3.h"

#include "testsupport.h"

#include <mad.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sonavell::test {

namespace {

short toPcm(mad_fixed_t sample)
{
    sample += 1L << (MAD_F_FRACBITS - 16);
    sample = std::clamp<mad_fixed_t>(sample, -MAD_F_ONE, MAD_F_ONE - 1);
    return static_cast<short>(sample >> (MAD_F_FRACBITS + 1 - 16));
}

// Looks for a Xing/Info tag in the side-info area of a frame.
bool readInfoTag(const unsigned char *frame, std::size_t length, DecodedMp3 &out)
{
    for (std::size_t offset = 4; offset + 12 <= length && offset < 64; ++offset) {
        if (std::memcmp(frame + offset, "Xing", 4) == 0 || std::memcmp(frame + offset, "Info", 4) == 0) {
            out.infoTagName = QByteArray(reinterpret_cast<const char *>(frame + offset), 4);
            const unsigned char *p = frame + offset + 4;
            const unsigned flags = (p[0] << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
            if (flags & 1)
                out.infoFrameCount = static_cast<int>((p[4] << 24) | (p[5] << 16) | (p[6] << 8) | p[7]);
            return true;
        }
    }
    return false;
}

} // namespace

double DecodedMp3::level(double fromSecond, double toSecond) const
{
    const auto valuesPerSecond = static_cast<double>(sampleRate * channels);
    const auto from = std::min(pcm.size(), static_cast<std::size_t>(fromSecond * valuesPerSecond));
    const auto to = toSecond < 0 ? pcm.size() : std::min(pcm.size(), static_cast<std::size_t>(toSecond * valuesPerSecond));
    if (to <= from)
        return 0;
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += std::abs(static_cast<int>(pcm[i]));
    return sum / static_cast<double>(to - from);
}

DecodedMp3 decodeMp3(const QByteArray &bytes)
{
    DecodedMp3 out;
    QByteArray padded = bytes;
    padded.append(QByteArray(MAD_BUFFER_GUARD, '\0'));
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    mad_stream_buffer(&stream, reinterpret_cast<const unsigned char *>(padded.constData()),
                      static_cast<unsigned long>(padded.size()));
    bool first = true;
    for (;;) {
        if (mad_frame_decode(&frame, &stream) != 0) {
            if (stream.error == MAD_ERROR_BUFLEN)
                break;
            if (!MAD_RECOVERABLE(stream.error))
                break;
            if (stream.error != MAD_ERROR_LOSTSYNC)
                ++out.errors;
            continue;
        }
        if (first) {
            first = false;
            const auto length = static_cast<std::size_t>(stream.next_frame - stream.this_frame);
            if (readInfoTag(stream.this_frame, length, out)) {
                out.hasInfoFrame = true;
                continue;
            }
        }
        ++out.audioFrames;
        out.sampleRate = static_cast<int>(frame.header.samplerate);
        out.layer = frame.header.layer;
        out.channels = MAD_NCHANNELS(&frame.header);
        out.bitRates.insert(static_cast<int>(frame.header.bitrate / 1000));
        mad_synth_frame(&synth, &frame);
        for (unsigned i = 0; i < synth.pcm.length; ++i)
            for (unsigned c = 0; c < synth.pcm.channels; ++c)
                out.pcm.push_back(toPcm(synth.pcm.samples[c][i]));
    }
    mad_synth_finish(&synth);
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    return out;
}

DecodedMp3 decodeMp3File(const QString &path)
{
    return decodeMp3(readAll(path));
}

} // namespace sonavell::test
