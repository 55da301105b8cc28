#include "core/process/decoder.h"

#include "core/files/regularfile.h"
#include "core/mp3/framesync.h"

#include <QFile>
#include <QtGlobal>

#include <mad.h>

#include <cstring>
#include <type_traits>

namespace sonavell {

static_assert(std::is_same_v<mad_fixed_t, std::int32_t>, "DecodedFrame hands libmad's samples over as they are");

namespace {

constexpr int kId3v1Size = 128;

struct DecoderRun
{
    const unsigned char *data = nullptr;
    std::size_t length = 0; // without the guard bytes
    bool fed = false;
    const OutputHandler *output = nullptr;
};

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

// The Xing/Info tag sits after the side information of the first frame, the VBRI tag at a
// fixed 32 bytes after the header.
bool isTagFrame(const mad_stream *stream, const mad_header &header)
{
    if (header.layer != MAD_LAYER_III || stream->this_frame == nullptr)
        return false;
    const unsigned char *frame = stream->this_frame;
    const std::size_t available = static_cast<std::size_t>(stream->bufend - frame);
    const bool mono = header.mode == MAD_MODE_SINGLE_CHANNEL;
    const bool lsf = (header.flags & MAD_FLAG_LSF_EXT) != 0;
    const std::size_t sideInfo = lsf ? (mono ? 9 : 17) : (mono ? 17 : 32);
    const std::size_t xing = 4 + ((header.flags & MAD_FLAG_PROTECTION) ? 2 : 0) + sideInfo;
    if (available >= xing + 4 && (std::memcmp(frame + xing, "Xing", 4) == 0 || std::memcmp(frame + xing, "Info", 4) == 0))
        return true;
    constexpr std::size_t vbri = 4 + 32;
    return available >= vbri + 4 && std::memcmp(frame + vbri, "VBRI", 4) == 0;
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
    DecodedFrame frame;
    frame.bitRate = static_cast<int>(header->bitrate);
    frame.sampleRate = static_cast<int>(pcm->samplerate);
    frame.channels = pcm->channels;
    frame.length = pcm->length;
    frame.left = pcm->samples[0];
    frame.right = pcm->channels > 1 ? pcm->samples[1] : nullptr;
    return (*run->output)(frame) == DecodeFlow::Continue ? MAD_FLOW_CONTINUE : MAD_FLOW_STOP;
}

mad_flow errorHandler(void *data, mad_stream *stream, mad_frame *)
{
    auto *run = static_cast<DecoderRun *>(data);
    const std::size_t offset = static_cast<std::size_t>(stream->this_frame - run->data);
    // Running into the guard bytes at the end is how every image ends, not damage.
    if (offset < run->length)
        qWarning("decoding error 0x%04x (%s) at byte offset %u", static_cast<unsigned>(stream->error),
                 mad_stream_errorstr(stream), static_cast<unsigned>(offset));
    return MAD_FLOW_CONTINUE;
}

} // namespace

int runDecoder(QByteArray image, const OutputHandler &output)
{
    DecoderRun run;
    run.length = static_cast<std::size_t>(image.size());
    image.append(QByteArray(MAD_BUFFER_GUARD, '\0'));
    run.data = reinterpret_cast<const unsigned char *>(image.constData());
    run.output = &output;

    mad_decoder decoder;
    mad_decoder_init(&decoder, &run, inputHandler, nullptr, filterHandler, outputHandler, errorHandler, nullptr);
    const int result = mad_decoder_run(&decoder, MAD_DECODER_MODE_SYNC);
    mad_decoder_finish(&decoder);
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
    if (image.size() - layout.audioBegin >= kId3v1Size && std::memcmp(p + image.size() - kId3v1Size, "TAG", 3) == 0) {
        layout.id3v1 = image.right(kId3v1Size);
        layout.audioEnd = image.size() - kId3v1Size;
    }
    return layout;
}

} // namespace sonavell
