#include "core/decode/mp3streamdecoder.h"

#include "core/decode/decoder.h"
#include "core/io/regularfile.h"

#include <mad.h>

#include <algorithm>
#include <cstring>

namespace sonavell {
namespace {

constexpr qint64 kInputBlock = 64 * 1024;
// After a seek these frames decode before the wanted one: the IMDCT overlap and the synthesis
// filter need one good frame (two for the one-granule frames of MPEG-2), and the frames before
// those must carry the bit reservoir, at most 511 bytes back (ISO/IEC 11172-3, main_data_begin).
constexpr int kSettleFrames = 3;
constexpr qint64 kReservoirBytes = 1024; // frame bytes, headers and side information included

// Errors from libmad's header decoding are below 0x0200; from there on the header was read
// and only the frame's audio data was damaged.
bool isFrameBodyError(mad_error error)
{
    return error >= 0x0200;
}

} // namespace

struct Mp3StreamDecoder::Mad
{
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;

    Mad() { init(); }
    ~Mad() { finish(); }
    void init()
    {
        mad_stream_init(&stream);
        mad_frame_init(&frame);
        mad_synth_init(&synth);
    }
    void finish()
    {
        mad_synth_finish(&synth);
        mad_frame_finish(&frame);
        mad_stream_finish(&stream);
    }
    // Forgets the reservoir, the overlap and the filter state.
    void restart()
    {
        finish();
        init();
    }
};

Mp3StreamDecoder::Mp3StreamDecoder(const Mp3FrameTable &table)
    : m_table(table)
{
}

Mp3StreamDecoder::~Mp3StreamDecoder() = default;

bool Mp3StreamDecoder::open(const QString &path)
{
    close();
    if (m_table.isEmpty())
        return false;
    m_file.setFileName(path);
    if (!openRegularFile(m_file, QIODevice::Unbuffered))
        return false;
    m_mad = std::make_unique<Mad>();
    seek(0);
    return true;
}

void Mp3StreamDecoder::close()
{
    m_file.close();
    m_mad.reset();
    m_input.clear();
    m_pcm.clear();
    m_pcmUsed = 0;
    m_position = m_decodedTo = 0;
    m_finished = true;
}

void Mp3StreamDecoder::seek(qint64 sample)
{
    sample = std::clamp<qint64>(sample, 0, m_table.totalSamples());
    m_position = m_decodedTo = sample;
    m_pcm.clear();
    m_pcmUsed = 0;
    m_finished = !m_mad || sample >= m_table.totalSamples();
    if (m_finished)
        return;
    int start = m_table.frameOfSample(sample);
    int settle = kSettleFrames;
    qint64 reservoir = 0;
    while (start > 0 && (settle > 0 || reservoir < kReservoirBytes)) {
        --start;
        if (settle > 0)
            --settle;
        else
            reservoir += m_table.frameBytes(start);
    }
    restartAt(start);
}

void Mp3StreamDecoder::restartAt(int frameIndex)
{
    m_mad->restart();
    m_input.clear();
    m_inputFileOffset = m_nextRead = m_table.frame(frameIndex).offset;
    m_atEnd = false;
    m_frameHint = frameIndex;
}

bool Mp3StreamDecoder::refillInput()
{
    if (m_atEnd)
        return false;
    mad_stream &stream = m_mad->stream;
    std::size_t keepFrom = 0;
    if (stream.buffer && stream.next_frame)
        keepFrom = static_cast<std::size_t>(stream.next_frame - m_input.data());
    keepFrom = std::min(keepFrom, m_input.size());
    m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(keepFrom));
    m_inputFileOffset += static_cast<qint64>(keepFrom);

    const qint64 want = std::min(kInputBlock, m_table.audioEnd() - m_nextRead);
    qint64 got = 0;
    if (want > 0 && m_file.seek(m_nextRead)) {
        const std::size_t kept = m_input.size();
        m_input.resize(kept + static_cast<std::size_t>(want));
        got = std::max<qint64>(0, m_file.read(reinterpret_cast<char *>(m_input.data() + kept), want));
        m_input.resize(kept + static_cast<std::size_t>(got));
        m_nextRead += got;
    }
    if (got < want || m_nextRead >= m_table.audioEnd()) {
        // libmad needs MAD_BUFFER_GUARD bytes behind the last frame to decode it.
        m_input.insert(m_input.end(), MAD_BUFFER_GUARD, 0);
        m_atEnd = true;
    }
    mad_stream_buffer(&stream, m_input.data(), m_input.size());
    stream.error = MAD_ERROR_NONE;
    return true;
}

bool Mp3StreamDecoder::decodeFrame()
{
    mad_stream &stream = m_mad->stream;
    for (;;) {
        if (!stream.buffer || stream.error == MAD_ERROR_BUFLEN) {
            if (!refillInput())
                return false;
        }
        const bool decoded = mad_frame_decode(&m_mad->frame, &stream) == 0;
        if (!decoded && (stream.error == MAD_ERROR_BUFLEN || !MAD_RECOVERABLE(stream.error))) {
            if (stream.error != MAD_ERROR_BUFLEN)
                return false;
            continue;
        }
        if (!decoded && !isFrameBodyError(stream.error))
            continue; // lost sync: libmad searches on
        const qint64 offset = m_inputFileOffset + (stream.this_frame - m_input.data());
        const int index = m_table.frameAtOffset(offset, m_frameHint);
        if (index < 0)
            continue; // not a frame the table knows (a false sync): its samples are not counted
        m_frameHint = index + 1;
        const qint64 first = m_table.frame(index).firstSample;
        if (!decoded) {
            // A damaged frame still takes its time, so that later samples stay where they belong.
            emitSilence(m_table.samplesIn(index), first);
            return true;
        }
        mad_synth_frame(&m_mad->synth, &m_mad->frame);
        const mad_pcm &pcm = m_mad->synth.pcm;
        if (first > m_decodedTo)
            emitSilence(first - m_decodedTo, m_decodedTo);
        const qint64 skip = m_decodedTo - first;
        if (skip >= pcm.length)
            return true;
        const DecodedFrame frame{0, static_cast<int>(pcm.samplerate), pcm.channels, pcm.length, pcm.samples[0],
                                 pcm.channels > 1 ? pcm.samples[1] : nullptr};
        const std::size_t frameBytesOut = static_cast<std::size_t>(this->frameBytes());
        const std::size_t at = m_pcm.size();
        m_pcm.resize(at + static_cast<std::size_t>(pcm.length) * frameBytesOut);
        convertFrame(frame, 1.0f, channels(), reinterpret_cast<char *>(m_pcm.data() + at));
        if (skip > 0)
            m_pcm.erase(m_pcm.begin() + static_cast<std::ptrdiff_t>(at),
                        m_pcm.begin() + static_cast<std::ptrdiff_t>(at + static_cast<std::size_t>(skip) * frameBytesOut));
        m_decodedTo = first + pcm.length;
        return true;
    }
}

void Mp3StreamDecoder::emitSilence(qint64 samples, qint64 firstSample)
{
    const qint64 from = std::max(firstSample, m_decodedTo);
    const qint64 to = firstSample + samples;
    if (to <= from)
        return;
    m_pcm.insert(m_pcm.end(), static_cast<std::size_t>((to - from) * frameBytes()), 0);
    m_decodedTo = to;
}

std::uint32_t Mp3StreamDecoder::read(std::uint8_t *out, std::uint32_t maxBytes)
{
    const auto frameSize = static_cast<std::uint32_t>(frameBytes());
    if (frameSize == 0)
        return 0;
    const std::uint32_t wanted = maxBytes - maxBytes % frameSize;
    std::uint32_t written = 0;
    while (written < wanted) {
        if (m_pcmUsed == m_pcm.size()) {
            m_pcm.clear();
            m_pcmUsed = 0;
            if (m_finished || !decodeFrame()) {
                m_finished = true;
                break;
            }
            continue;
        }
        const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(m_pcm.size() - m_pcmUsed, wanted - written));
        std::memcpy(out + written, m_pcm.data() + m_pcmUsed, count);
        m_pcmUsed += count;
        written += count;
    }
    m_position += written / frameSize;
    return written;
}

} // namespace sonavell
