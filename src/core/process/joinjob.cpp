#include "core/process/joinjob.h"

#include "core/encode/mp3encoder.h"
#include "core/mp3/medialength.h"
#include "core/process/decodecontext.h"
#include "core/process/joinconverter.h"
#include "core/process/replacementfile.h"

#include <algorithm>
#include <array>

namespace sonavell {

JoinJob::JoinJob(QStringList files, const WaveFormat &target) : BatchJob(std::move(files))
{
    setTargetFormat(target);
}

JoinJob::~JoinJob() = default;

void JoinJob::setTargetFormat(const WaveFormat &format)
{
    // Block alignment follows the target's channels, whatever an input has.
    m_targetFormat = WaveFormat{1, format.channels, format.samplesPerSec, 0, 0, 16, 0}.normalizedPcm();
}

void JoinJob::run()
{
    BatchJob::run();
    finishOutput();
    m_converter.reset();
    m_pcm = {};
}

void JoinJob::processFile(const QString &path)
{
    if (m_failed)
        return;
    // framesDecoded restarts with each file, so the time reports follow each file from 0.
    DecodeContext context(this);
    Mp3Source input;
    if (!context.openInput(path, &input))
        return;
    // The encoder stays open after the run: the next file goes on where this one ends.
    input.decode([&](const DecodedFrame &frame) { return joinFrame(context, frame); });
}

bool JoinJob::startEncoder(const DecodedFrame &frame)
{
    // The format comes from the settings (or a caller): checked here again, since a rate far
    // outside the MP3 rates would size the resampler's buffers from it.
    const int channels = m_targetFormat.channels;
    constexpr std::array<std::uint32_t, 9> kMpegRates{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    if ((channels != 1 && channels != 2)
        || std::find(kMpegRates.begin(), kMpegRates.end(), m_targetFormat.samplesPerSec) == kMpegRates.end()) {
        sink().showError(Mp3Encoder::errorText(Mp3Encoder::Error::StreamFailed));
        return false;
    }
    m_output = std::make_unique<ReplacementFile>(m_outputPath);
    if (!m_output->isValid()) {
        sink().showError(Mp3Encoder::errorText(Mp3Encoder::Error::FileNotCreated));
        return false;
    }
    m_encoder = std::make_unique<Mp3Encoder>();
    m_encoder->setFormat(m_targetFormat);
    m_encoder->setPath(m_output->path());
    m_encoder->setFileDescriptor(m_output->descriptor());
    m_encoder->setBitRate(m_bitrateKbps);
    // One chunk is one whole frame of the first input in the target's channels.
    const int frameLength = std::max(frame.length, frame.nominalLength);
    if (!m_encoder->start(static_cast<std::uint32_t>(frameLength) * channels * 2)) {
        sink().showError(Mp3Encoder::errorText(m_encoder->error()));
        return false;
    }
    if (const QString notice = m_encoder->substitutionNotice(); !notice.isEmpty())
        sink().showNotice(notice);
    m_converter = std::make_unique<JoinConverter>(static_cast<int>(m_targetFormat.samplesPerSec), channels);
    return true;
}

DecodeFlow JoinJob::joinFrame(DecodeContext &context, const DecodedFrame &frame)
{
    if (context.countFrame(frame) == DecodeFlow::Stop)
        return DecodeFlow::Stop;
    if (!m_encoder && !startEncoder(frame))
        m_failed = true;
    if (m_failed)
        return DecodeFlow::Stop;

    m_pcm.resize(static_cast<std::size_t>(frame.length) * frame.channels);
    for (int i = 0; i < frame.length; ++i) {
        m_pcm[static_cast<std::size_t>(i) * frame.channels] = scaleSample(frame.left[i], 1.0f);
        if (frame.channels == 2)
            m_pcm[static_cast<std::size_t>(i) * 2 + 1] = scaleSample(frame.right[i], 1.0f);
    }
    m_converter->append(m_pcm.data(), frame.length, frame.sampleRate, frame.channels);
    m_converter->takeChunks(m_encoder->bytesPerChunk(), [this](const char *chunk) { m_encoder->encodeChunk(chunk); });
    if (m_encoder->hasFailed()) {
        sink().showError(Mp3Encoder::errorText(m_encoder->error()));
        m_failed = true;
        return DecodeFlow::Stop;
    }
    return DecodeFlow::Continue;
}

void JoinJob::finishOutput()
{
    if (!m_encoder) {
        m_output.reset();
        return;
    }
    if (!m_failed) {
        // Only the samples there are: padding them to a chunk would add silence at the end.
        const auto waiting = static_cast<std::uint32_t>(m_converter->waitingBytes());
        const QByteArray rest = m_converter->takePaddedRest(m_encoder->bytesPerChunk());
        if (!rest.isEmpty())
            m_encoder->encodeBytes(rest.constData(), waiting);
    }
    const bool finished = m_encoder->finish();
    if (!m_failed && !finished)
        sink().showError(Mp3Encoder::errorText(m_encoder->error()));
    else if (!m_failed && !m_output->commit())
        sink().showError(Mp3Encoder::errorText(Mp3Encoder::Error::WriteFailed));
    m_encoder.reset();
    m_output.reset();
}

} // namespace sonavell
