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
    // Samples per channel the frame decoded to before the encoder's delay or padding was cut
    // off it: the size of a whole frame, for buffers and encoder chunks.
    int nominalLength = 0; // 0: length
};

enum class DecodeFlow { Continue, Stop };

// Called once per decoded frame on the decoding thread.
using OutputHandler = std::function<DecodeFlow(const DecodedFrame &)>;

// What one decoder run met, for callers that check the result against the file.
struct DecodeStats
{
    qint64 framesPresent = 0; // audio frames the frame walk found
    qint64 framesDecoded = 0; // frames libmad decoded, before any delay or padding was cut
    int errors = 0;           // frames libmad could not decode
    bool stopped = false;     // the handler stopped the run
    bool holdsAudio = false;  // the walk found an MP3 stream (AudioScan::holdsAudio)

    // Nearly every frame present was decoded (or, for a run the handler stopped, nearly every
    // frame tried): what was decoded is the file's audio.
    bool decodedAll() const;
};

// Decodes an in-memory MP3 image (the audio part, without tags) in one pass on the calling
// thread. Only the frames the frame walk finds reach libmad: leading junk and damaged
// stretches are skipped and logged once each with their offset and length. A leading
// Xing/Info/VBRI frame carries no audio; when it holds LAME's encoder delay and padding, the
// samples the encoder added are cut off, so the handler gets the first real sample first and
// the last one last. Returns libmad's result: 0 when the image ran out or the handler
// stopped, -1 on a fatal error.
int runDecoder(QByteArray image, const OutputHandler &output, DecodeStats *stats = nullptr);

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

// Where the audio of an MP3 image lies between a leading ID3v2 block and the trailing tags
// (ID3v1, APEv2, Lyrics3, in the order they stand); both are kept so that a rewrite can carry
// them over byte for byte.
struct Mp3Layout
{
    QByteArray id3v2;
    QByteArray trailer;
    qsizetype audioBegin = 0;
    qsizetype audioEnd = 0;

    static Mp3Layout of(const QByteArray &image);
    QByteArray audio(const QByteArray &image) const { return image.mid(audioBegin, audioEnd - audioBegin); }
};

} // namespace sonavell
