#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

namespace sonavell {

// One decoded frame as libmad hands it over: fixed-point samples with 28 fraction bits
// (1.0 is 0x10000000), one array per channel.
struct DecodedFrame
{
    int bitRate = 0; // bit/s, from the frame header
    int sampleRate = 0;
    int channels = 0; // 1 or 2
    int length = 0;   // samples per channel
    const std::int32_t *left = nullptr;
    const std::int32_t *right = nullptr; // null for mono
};

enum class DecodeFlow { Continue, Stop };

// Called once per decoded frame on the decoding thread.
using OutputHandler = std::function<DecodeFlow(const DecodedFrame &)>;

// Decodes an in-memory MP3 image from one buffer, in one pass, on the calling thread.
// Damaged frames are logged and skipped; a leading Xing/Info/VBRI frame is skipped, since it
// carries no audio. Returns libmad's result: 0 when the image ran out or the handler
// stopped, -1 on a fatal error.
int runDecoder(QByteArray image, const OutputHandler &output);

// Rounds a 28-bit fixed-point sample to 16 bits after scaling by volume, clipping at ±1.0.
std::int16_t scaleSample(std::int32_t sample, float volumeScale);

// Writes frame.length samples per channel as interleaved signed 16-bit little-endian PCM with
// outputChannels channels (a mono frame fills both channels of stereo output; a stereo
// frame gives its left channel to mono output). out holds length × outputChannels × 2 bytes.
void convertFrame(const DecodedFrame &frame, float volumeScale, int outputChannels, char *out);

// Bit/s of the first decodable audio frame of the file; 0 when it cannot be read or has none.
int firstFrameBitrate(const QString &path);

// The whole file, with room reserved for the decoder's guard bytes; false when it cannot be read.
bool readWholeFile(const QString &path, QByteArray *image);

// Where the audio of an MP3 image lies between a leading ID3v2 block and a trailing
// 128-byte ID3v1 tag; both tags are kept so that a rewrite can carry them over.
struct Mp3Layout
{
    QByteArray id3v2;
    QByteArray id3v1;
    qsizetype audioBegin = 0;
    qsizetype audioEnd = 0;

    static Mp3Layout of(const QByteArray &image);
    QByteArray audio(const QByteArray &image) const { return image.mid(audioBegin, audioEnd - audioBegin); }
};

} // namespace sonavell
