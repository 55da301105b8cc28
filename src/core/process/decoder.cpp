#include "core/process/decoder.h"

#include "core/files/regularfile.h"
#include "core/mp3/audioscan.h"
#include "core/mp3/framesync.h"
#include "core/mp3/trailingtags.h"
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

// A run of frames placed in the decoder's buffer: where it is there and where in the image.
struct PlacedRun
{
    std::size_t at = 0;
    qint64 imageOffset = 0;
    qint64 length = 0;
};

struct DecoderRun
{
    const unsigned char *data = nullptr;
    std::size_t length = 0; // without the guard bytes
    bool fed = false;
    const OutputHandler *output = nullptr;
    std::vector<PlacedRun> placed;
    // Samples per channel still to drop at the start (encoder and decoder delay), and still to
    // hand over before the encoder's padding (-1: all).
    qint64 skip = 0;
    qint64 keep = -1;
    DecodeStats stats;
};

// libmad is given the frames the walk found and nothing else, so that a block of junk costs
// one scan instead of one failed decode (and one log line) per byte. A file of one run is
// decoded in place.
QByteArray framesOnly(QByteArray image, const AudioScan &scan, std::vector<PlacedRun> *placed)
{
    placed->clear();
    if (scan.runs.size() == 1 && scan.runs.front().offset + scan.runs.front().length == image.size()) {
        placed->push_back({0, scan.runs.front().offset, scan.runs.front().length});
        image.remove(0, scan.runs.front().offset);
        return image;
    }
    QByteArray frames;
    qint64 total = 0;
    for (const ByteStretch &run : scan.runs)
        total += run.length;
    frames.reserve(total + MAD_BUFFER_GUARD);
    for (const ByteStretch &run : scan.runs) {
        placed->push_back({static_cast<std::size_t>(frames.size()), run.offset, run.length});
        frames.append(image.constData() + run.offset, run.length);
    }
    return frames;
}

// Where a position in the decoder's buffer lies in the image.
qint64 imageOffset(const DecoderRun &run, std::size_t at)
{
    auto it = std::upper_bound(run.placed.begin(), run.placed.end(), at,
                               [](std::size_t value, const PlacedRun &placed) { return value < placed.at; });
    if (it == run.placed.begin())
        return qint64(at);
    --it;
    return it->imageOffset + qint64(at - it->at);
}

// One line per stretch that is not frames, however long.
void reportDamage(const AudioScan &scan)
{
    if (scan.leadingJunk > 0)
        qWarning("skipped %lld bytes before the first frame", static_cast<long long>(scan.leadingJunk));
    for (const ByteStretch &stretch : scan.damaged)
        qWarning("damaged data at byte offset %lld: %lld bytes skipped", static_cast<long long>(stretch.offset),
                 static_cast<long long>(stretch.length));
}

// The LAME tag's delay and padding, with libmad's own delay added to the delay. The padding is
// cut only when the frames the tag counted are all there.
void takeGapless(const AudioScan &scan, DecoderRun *run)
{
    if (!scan.hasVbrHeader || !scan.vbr.hasGapless() || scan.samplesPerFrame == 0)
        return;
    run->skip = scan.vbr.encoderDelay + lametag::kDecoderDelay;
    if (scan.tagCountAgrees()) {
        const qint64 real = scan.samples - scan.vbr.encoderDelay - scan.vbr.encoderPadding;
        if (real > 0)
            run->keep = real;
    }
}

mad_flow inputHandler(void *data, mad_stream *stream)
{
    auto *run = static_cast<DecoderRun *>(data);
    if (run->fed || run->length == 0)
        return MAD_FLOW_STOP;
    // The zero guard bytes after the image let libmad decode the last frame without
    // reading past the buffer.
    mad_stream_buffer(stream, run->data, run->length + MAD_BUFFER_GUARD);
    run->fed = true;
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

// A tag frame carries no audio wherever it stands: files put end to end (cat a.mp3 b.mp3) have
// one at every joint, and decoding it would add a gap of silence there.
mad_flow filterHandler(void *, const mad_stream *stream, mad_frame *frame)
{
    return isTagFrame(stream, frame->header) ? MAD_FLOW_IGNORE : MAD_FLOW_CONTINUE;
}

mad_flow outputHandler(void *data, const mad_header *header, mad_pcm *pcm)
{
    auto *run = static_cast<DecoderRun *>(data);
    ++run->stats.framesDecoded;
    const qint64 cut = std::min<qint64>(run->skip, pcm->length);
    run->skip -= cut;
    qint64 length = pcm->length - cut;
    if (run->keep >= 0) {
        length = std::min(length, run->keep);
        run->keep -= length;
    }
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
    if ((*run->output)(frame) == DecodeFlow::Continue)
        return MAD_FLOW_CONTINUE;
    run->stats.stopped = true;
    return MAD_FLOW_STOP;
}

mad_flow errorHandler(void *data, mad_stream *stream, mad_frame *)
{
    auto *run = static_cast<DecoderRun *>(data);
    const std::size_t offset = static_cast<std::size_t>(stream->this_frame - run->data);
    // Running into the guard bytes at the end is how every image ends, not damage.
    if (offset < run->length) {
        ++run->stats.errors;
        qWarning("decoding error 0x%04x (%s) at byte offset %lld", static_cast<unsigned>(stream->error),
                 mad_stream_errorstr(stream), static_cast<long long>(imageOffset(*run, offset)));
    }
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

int runDecoder(QByteArray image, const OutputHandler &output, DecodeStats *stats)
{
    DecoderRun run;
    const AudioScan scan = scanAudio(image);
    reportDamage(scan);
    takeGapless(scan, &run);
    run.stats.framesPresent = scan.frames;
    run.stats.holdsAudio = scan.holdsAudio();
    image = framesOnly(std::move(image), scan, &run.placed);
    run.length = static_cast<std::size_t>(image.size());
    image.append(QByteArray(MAD_BUFFER_GUARD, '\0'));
    run.data = reinterpret_cast<const unsigned char *>(image.constData());
    run.output = &output;

    mad_decoder decoder;
    mad_decoder_init(&decoder, &run, inputHandler, nullptr, filterHandler, outputHandler, errorHandler, nullptr);
    const int result = mad_decoder_run(&decoder, MAD_DECODER_MODE_SYNC);
    mad_decoder_finish(&decoder);
    if (stats)
        *stats = run.stats;
    return result;
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

bool readWholeFile(const QString &path, QByteArray *image)
{
    QFile file(path);
    if (path.isEmpty() || !openRegularFile(file))
        return false;
    const qint64 size = file.size();
    image->clear();
    image->reserve(size + MAD_BUFFER_GUARD);
    image->resize(size);
    return file.read(image->data(), size) == size;
}

int firstFrameBitrate(const QString &path)
{
    QByteArray image;
    if (!readWholeFile(path, &image))
        return 0;
    const Mp3Layout layout = Mp3Layout::of(image);
    int bitRate = 0;
    runDecoder(layout.audio(image), [&bitRate](const DecodedFrame &frame) {
        bitRate = frame.bitRate;
        return DecodeFlow::Stop;
    });
    return bitRate;
}

Mp3Layout Mp3Layout::of(const QByteArray &image)
{
    Mp3Layout layout;
    layout.audioEnd = image.size();
    const char *p = image.constData();
    // The leading ID3v2 tags, read as the frame search steps over them (stacked ones included).
    qsizetype begin = 0;
    for (int i = 0; i < kMaxLeadingId3v2Tags && begin < image.size(); ++i) {
        const qint64 size = id3v2TagSize(reinterpret_cast<const unsigned char *>(p + begin), image.size() - begin);
        if (size == 0)
            break;
        begin = std::min<qsizetype>(begin + size, image.size());
    }
    layout.id3v2 = image.left(begin);
    layout.audioBegin = begin;
    QBuffer buffer;
    buffer.setData(image);
    if (buffer.open(QIODevice::ReadOnly))
        layout.audioEnd = std::max<qsizetype>(begin, trailingTagsBegin(buffer, begin));
    layout.trailer = image.mid(layout.audioEnd);
    return layout;
}

} // namespace sonavell
