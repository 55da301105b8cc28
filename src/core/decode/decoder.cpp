#include "core/decode/decoder.h"

#include "core/io/regularfile.h"
#include "core/mp3/audioscan.h"
#include "core/mp3/framesync.h"
#include "core/mp3/vbrheader.h"

#include <QBuffer>
#include <QFile>
#include <QtGlobal>

#include <mad.h>

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

namespace sonavell {

static_assert(std::is_same_v<mad_fixed_t, std::int32_t>, "DecodedFrame hands libmad's samples over as they are");

namespace {

// libmad is fed this much at a time; a frame is at most a few KB, so a block holds many.
constexpr std::size_t kInputBlock = 64 * 1024;

// The frames the walk found, end to end: libmad reads this stream, not the device, so that a
// block of junk costs one scan instead of one failed decode (and one log line) per byte.
struct PlacedRun
{
    qint64 at = 0; // in the stream
    qint64 deviceOffset = 0;
    qint64 length = 0;
};

struct DecoderRun
{
    QIODevice *input = nullptr;
    std::vector<PlacedRun> placed;
    qint64 streamLength = 0;
    qint64 next = 0; // stream position of the next read
    std::vector<unsigned char> buffer;
    qint64 bufferAt = 0;    // stream position of buffer[0]
    std::size_t filled = 0; // bytes of buffer from the stream, without guard bytes
    bool atEnd = false;
    qint64 origin = 0; // logged offsets count from here
    const OutputHandler *output = nullptr;
    DecodeOptions options;
    qint64 frameOffset = 0; // device offset of the frame being decoded
    // Samples per channel still to drop at the start (encoder and decoder delay), and still to
    // hand over before the encoder's padding (-1: all).
    qint64 skip = 0;
    qint64 keep = -1;
    DecodeStats stats;
};

// Where a stream position lies on the device.
qint64 deviceOffset(const DecoderRun &run, qint64 at)
{
    auto it = std::upper_bound(run.placed.begin(), run.placed.end(), at,
                               [](qint64 value, const PlacedRun &placed) { return value < placed.at; });
    if (it == run.placed.begin())
        return at;
    --it;
    return it->deviceOffset + (at - it->at);
}

// The runs from feedFrom on, placed end to end.
void placeRuns(const AudioScan &scan, qint64 feedFrom, DecoderRun *run)
{
    run->placed.clear();
    qint64 at = 0;
    for (const ByteStretch &stretch : scan.runs) {
        const qint64 begin = std::max(stretch.offset, feedFrom);
        const qint64 end = stretch.offset + stretch.length;
        if (begin >= end)
            continue;
        run->placed.push_back({at, begin, end - begin});
        at += end - begin;
    }
    run->streamLength = at;
}

// Reads stream bytes [at, at + count) from the device into out; the bytes read.
qint64 readStream(DecoderRun &run, qint64 at, qint64 count, unsigned char *out)
{
    qint64 done = 0;
    auto it = std::upper_bound(run.placed.begin(), run.placed.end(), at,
                               [](qint64 value, const PlacedRun &placed) { return value < placed.at; });
    if (it != run.placed.begin())
        --it;
    for (; it != run.placed.end() && done < count; ++it) {
        const qint64 from = std::max(at + done, it->at);
        const qint64 take = std::min(it->at + it->length, at + count) - from;
        if (take <= 0)
            continue;
        const qint64 device = it->deviceOffset + (from - it->at);
        if (run.input->pos() != device && !run.input->seek(device))
            break;
        const qint64 got = run.input->read(reinterpret_cast<char *>(out + done), take);
        if (got <= 0)
            break;
        done += got;
        if (got < take)
            break;
    }
    return done;
}

// One line per stretch that is not frames, however long, within the part of the file this run
// reports on.
void reportDamage(const AudioScan &scan, const DecoderRun &run)
{
    const DecodeOptions &options = run.options;
    if (!options.synthesize)
        return;
    if (scan.leadingJunk > 0 && options.handFrom <= scan.firstFrame)
        qWarning("skipped %lld bytes before the first frame", static_cast<long long>(scan.leadingJunk));
    for (const ByteStretch &stretch : scan.damaged) {
        if (stretch.offset < options.handFrom || (options.handTo >= 0 && stretch.offset >= options.handTo))
            continue;
        qWarning("damaged data at byte offset %lld: %lld bytes skipped",
                 static_cast<long long>(stretch.offset - run.origin), static_cast<long long>(stretch.length));
    }
}

// The LAME tag's delay and padding, with libmad's own delay added to the delay. The padding is
// cut only when the frames the tag counted are all there. A run that hands over from the
// middle takes the cut where a run from the start would have it there.
void takeGapless(const AudioScan &scan, DecoderRun *run)
{
    if (!scan.hasVbrHeader || !scan.vbr.hasGapless() || scan.samplesPerFrame == 0)
        return;
    const DecodeOptions &options = run->options;
    run->skip = std::max<qint64>(0, scan.vbr.encoderDelay + lametag::kDecoderDelay - options.decodedBefore);
    if (scan.tagCountAgrees()) {
        const qint64 real = scan.samples - scan.vbr.encoderDelay - scan.vbr.encoderPadding;
        if (real > 0)
            run->keep = std::max<qint64>(0, real - options.handedBefore);
    }
}

// Moves the bytes libmad has not used yet (a frame cut by the block's end) to the front and
// reads the next block behind them. The zero guard bytes after the last block let libmad
// decode the last frame without reading past the buffer.
mad_flow inputHandler(void *data, mad_stream *stream)
{
    auto *run = static_cast<DecoderRun *>(data);
    if (run->atEnd)
        return MAD_FLOW_STOP;
    std::size_t keep = 0;
    if (stream->buffer && stream->next_frame) {
        const auto used = static_cast<std::size_t>(stream->next_frame - run->buffer.data());
        keep = used < run->filled ? run->filled - used : 0;
        if (keep >= kInputBlock)
            keep = 0; // cannot happen for frames libmad accepts; never loop on one block
        std::memmove(run->buffer.data(), run->buffer.data() + (run->filled - keep), keep);
        run->bufferAt += static_cast<qint64>(run->filled - keep);
    }
    const qint64 want = std::min<qint64>(static_cast<qint64>(kInputBlock - keep), run->streamLength - run->next);
    const qint64 got = want > 0 ? readStream(*run, run->next, want, run->buffer.data() + keep) : 0;
    run->next += got;
    run->filled = keep + static_cast<std::size_t>(got);
    std::size_t length = run->filled;
    if (got < want || run->next >= run->streamLength) {
        std::memset(run->buffer.data() + length, 0, MAD_BUFFER_GUARD);
        length += MAD_BUFFER_GUARD;
        run->atEnd = true;
    }
    if (run->filled == 0)
        return MAD_FLOW_STOP;
    mad_stream_buffer(stream, run->buffer.data(), length);
    return MAD_FLOW_CONTINUE;
}

// The frame libmad just decoded, whole (next_frame is set once its header is read).
bool isTagFrame(const mad_stream *stream, const mad_header &header)
{
    if (header.layer != MAD_LAYER_III || stream->this_frame == nullptr || stream->next_frame <= stream->this_frame)
        return false;
    VbrHeader vbr;
    return parseVbrHeader(stream->this_frame, static_cast<int>(stream->next_frame - stream->this_frame), vbr);
}

// Cuts the encoder's delay and padding off a frame of length samples: the samples dropped at
// its start, and what is left.
std::pair<qint64, qint64> cutGapless(DecoderRun &run, qint64 length)
{
    const qint64 cut = std::min<qint64>(run.skip, length);
    run.skip -= cut;
    qint64 left = length - cut;
    if (run.keep >= 0) {
        left = std::min(left, run.keep);
        run.keep -= left;
    }
    return {cut, left};
}

DecodeFlow handOver(DecoderRun &run, const DecodedFrame &frame)
{
    if ((*run.output)(frame) == DecodeFlow::Continue)
        return DecodeFlow::Continue;
    run.stats.stopped = true;
    return DecodeFlow::Stop;
}

// A tag frame carries no audio wherever it stands: files put end to end (cat a.mp3 b.mp3) have
// one at every joint, and decoding it would add a gap of silence there. Frames before handFrom
// only fill the decoder's state.
mad_flow filterHandler(void *data, const mad_stream *stream, mad_frame *frame)
{
    if (isTagFrame(stream, frame->header))
        return MAD_FLOW_IGNORE;
    auto *run = static_cast<DecoderRun *>(data);
    run->frameOffset = deviceOffset(*run, run->bufferAt + (stream->this_frame - run->buffer.data()));
    if (run->options.synthesize)
        return MAD_FLOW_CONTINUE;
    if (run->frameOffset < run->options.handFrom)
        return MAD_FLOW_IGNORE;
    ++run->stats.framesDecoded;
    const int nominal = 32 * static_cast<int>(MAD_NSBSAMPLES(&frame->header));
    DecodedFrame decoded;
    decoded.bitRate = static_cast<int>(frame->header.bitrate);
    decoded.sampleRate = static_cast<int>(frame->header.samplerate);
    decoded.channels = MAD_NCHANNELS(&frame->header);
    decoded.length = static_cast<int>(cutGapless(*run, nominal).second);
    decoded.nominalLength = nominal;
    decoded.offset = run->frameOffset;
    return handOver(*run, decoded) == DecodeFlow::Continue ? MAD_FLOW_IGNORE : MAD_FLOW_STOP;
}

mad_flow outputHandler(void *data, const mad_header *header, mad_pcm *pcm)
{
    auto *run = static_cast<DecoderRun *>(data);
    if (run->frameOffset < run->options.handFrom)
        return MAD_FLOW_CONTINUE;
    ++run->stats.framesDecoded;
    const auto [cut, length] = cutGapless(*run, pcm->length);
    if (length == 0)
        return MAD_FLOW_CONTINUE;
    DecodedFrame frame;
    frame.bitRate = static_cast<int>(header->bitrate);
    frame.sampleRate = static_cast<int>(pcm->samplerate);
    frame.channels = pcm->channels;
    frame.length = static_cast<int>(length);
    frame.nominalLength = pcm->length;
    frame.left = pcm->samples[0] + cut;
    frame.right = pcm->channels > 1 ? pcm->samples[1] + cut : nullptr;
    frame.offset = run->frameOffset;
    return handOver(*run, frame) == DecodeFlow::Continue ? MAD_FLOW_CONTINUE : MAD_FLOW_STOP;
}

mad_flow errorHandler(void *data, mad_stream *stream, mad_frame *)
{
    auto *run = static_cast<DecoderRun *>(data);
    const qint64 at = run->bufferAt + (stream->this_frame - run->buffer.data());
    // Running into the guard bytes at the end is how every input ends, not damage.
    if (at >= run->streamLength)
        return MAD_FLOW_CONTINUE;
    const qint64 offset = deviceOffset(*run, at);
    const DecodeOptions &options = run->options;
    if (offset < options.handFrom || (options.handTo >= 0 && offset >= options.handTo))
        return MAD_FLOW_CONTINUE;
    ++run->stats.errors;
    if (options.synthesize)
        qWarning("decoding error 0x%04x (%s) at byte offset %lld", static_cast<unsigned>(stream->error),
                 mad_stream_errorstr(stream), static_cast<long long>(offset - run->origin));
    return MAD_FLOW_CONTINUE;
}

} // namespace

bool DecodeStats::decodedAll() const
{
    if (!holdsAudio || framesDecoded == 0)
        return false;
    // A few frames may not decode: the first ones after a cut lack their bit reservoir.
    const qint64 tried = framesDecoded + errors;
    if (errors > tried / 20 + 2)
        return false;
    return stopped || framesDecoded + framesPresent / 20 + 2 >= framesPresent;
}

int runDecoder(QIODevice &input, const AudioScan &scan, const OutputHandler &output, DecodeStats *stats,
               const DecodeOptions &options)
{
    DecoderRun run;
    run.input = &input;
    run.options = options;
    run.origin = scan.audioBegin;
    run.output = &output;
    placeRuns(scan, options.feedFrom, &run);
    reportDamage(scan, run);
    takeGapless(scan, &run);
    run.stats.framesPresent = scan.frames;
    run.stats.holdsAudio = scan.holdsAudio();
    run.buffer.resize(kInputBlock + MAD_BUFFER_GUARD);
    int result = 0;
    if (run.streamLength > 0) {
        mad_decoder decoder;
        mad_decoder_init(&decoder, &run, inputHandler, nullptr, filterHandler, outputHandler, errorHandler, nullptr);
        result = mad_decoder_run(&decoder, MAD_DECODER_MODE_SYNC);
        mad_decoder_finish(&decoder);
    }
    if (stats)
        *stats = run.stats;
    return result;
}

int runDecoder(QByteArray image, const OutputHandler &output, DecodeStats *stats)
{
    QBuffer buffer(&image);
    if (!buffer.open(QIODevice::ReadOnly))
        return -1;
    const AudioScan scan = scanAudio(buffer);
    return runDecoder(buffer, scan, output, stats);
}

std::int16_t scaleSample(std::int32_t sample, float volumeScale)
{
    constexpr std::int64_t kOne = 0x10000000; // 1.0 in libmad's 28 fraction bits
    const std::int64_t rounded = static_cast<std::int64_t>(sample) + 4096; // round at bit 12
    // Both factors are exact in a double, and so is their product: truncation is the only rounding.
    const auto scaled = static_cast<std::int64_t>(static_cast<double>(rounded) * static_cast<double>(volumeScale));
    if (scaled >= kOne)
        return 32767;
    if (scaled < -kOne)
        return -32768;
    return static_cast<std::int16_t>(scaled >> 13);
}

void convertFrame(const DecodedFrame &frame, float volumeScale, int outputChannels, char *out)
{
    const std::int32_t *right = frame.right ? frame.right : frame.left;
    for (int i = 0; i < frame.length; ++i) {
        const std::int16_t l = scaleSample(frame.left[i], volumeScale);
        *out++ = static_cast<char>(l & 0xFF);
        *out++ = static_cast<char>((l >> 8) & 0xFF);
        if (outputChannels == 2) {
            const std::int16_t r = scaleSample(right[i], volumeScale);
            *out++ = static_cast<char>(r & 0xFF);
            *out++ = static_cast<char>((r >> 8) & 0xFF);
        }
    }
}

Mp3Source::Mp3Source() : m_scan(std::make_unique<AudioScan>()) {}

Mp3Source::~Mp3Source() = default;

bool Mp3Source::open(const QString &path)
{
    m_file.close();
    m_file.setFileName(path);
    if (path.isEmpty() || !openRegularFile(m_file) || !Mp3Layout::read(m_file, &m_layout))
        return false;
    *m_scan = scanAudio(m_file);
    return true;
}

int Mp3Source::decode(const OutputHandler &output, DecodeStats *stats, const DecodeOptions &options)
{
    return runDecoder(m_file, *m_scan, output, stats, options);
}

} // namespace sonavell
