#pragma once

#include "core/mp3/mp3layout.h"

#include <QByteArray>
#include <QFile>
#include <QString>

class QIODevice;

#include <cstdint>
#include <functional>
#include <memory>

namespace sonavell {

// One decoded frame as libmad hands it over: fixed-point samples with 28 fraction bits
// (1.0 is 0x10000000), one array per channel.
struct DecodedFrame
{
    int bitRate = 0; // bit/s, from the frame header
    int sampleRate = 0;
    int channels = 0; // 1 or 2
    int length = 0;   // samples per channel
    const std::int32_t *left = nullptr;  // null when the run does not synthesise
    const std::int32_t *right = nullptr; // null for mono
    // Samples per channel the frame decoded to before the encoder's delay or padding was cut
    // off it: the size of a whole frame, for buffers and encoder chunks.
    int nominalLength = 0; // 0: length
    qint64 offset = 0;     // where the frame starts on the decoder's input device
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

struct AudioScan;

// For a run that is one of several over a file (the parts of a split decoded side by side).
struct DecodeOptions
{
    // Without synthesis every audio frame is still decoded and handed over with its header
    // fields, its lengths and offset but no samples, also frames the encoder's delay or padding
    // cut away whole (length 0): how a run would go, at a fraction of its cost. Nothing is logged.
    bool synthesize = true;
    // libmad starts at the first frame at or after feedFrom (a device offset). Frames before
    // handFrom are decoded, to fill the bit reservoir and the filters, but neither handed over
    // nor logged; damage is logged only before handTo.
    qint64 feedFrom = 0;
    qint64 handFrom = 0;
    qint64 handTo = -1; // -1: the end
    // Samples per channel libmad decoded, and handed over, before handFrom in a run from the
    // start: where the encoder's delay and padding cut stands there.
    qint64 decodedBefore = 0;
    qint64 handedBefore = 0;
};

// Decodes the audio of an MP3 file on a device in one pass on the calling thread, read a block
// at a time, so that memory does not grow with the input; scan is the device's frame walk.
// Only the frames the walk found reach libmad: leading junk and damaged stretches are skipped
// and logged once each with their offset (from the audio's start) and length. A leading
// Xing/Info/VBRI frame carries no audio; when it holds LAME's encoder delay and padding, the
// samples the encoder added are cut off, so the handler gets the first real sample first and
// the last one last. Returns libmad's result: 0 when the input ran out or the handler
// stopped, -1 on a fatal error.
int runDecoder(QIODevice &input, const AudioScan &scan, const OutputHandler &output, DecodeStats *stats = nullptr,
               const DecodeOptions &options = {});

// The same for an in-memory MP3 image (the audio part, without tags) in one pass on the calling
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

// An MP3 file opened for decoder runs: its tags are read and its frames walked once; the audio
// is decoded from the file a block at a time. One thread at a time.
class Mp3Source
{
public:
    Mp3Source();
    ~Mp3Source();
    Mp3Source(const Mp3Source &) = delete;
    Mp3Source &operator=(const Mp3Source &) = delete;

    // False when the file is not a regular file, cannot be opened or its tags read.
    bool open(const QString &path);
    const Mp3Layout &layout() const { return m_layout; }
    const AudioScan &scan() const { return *m_scan; }
    // runDecoder over the audio between the tags.
    int decode(const OutputHandler &output, DecodeStats *stats = nullptr, const DecodeOptions &options = {});

private:
    QFile m_file;
    Mp3Layout m_layout;
    std::unique_ptr<AudioScan> m_scan;
};

} // namespace sonavell
