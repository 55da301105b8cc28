#include "core/process/decodecontext.h"

#include "core/mp3/audioscan.h"
#include "core/mp3/medialength.h"
#include "core/process/batchjob.h"

#include <algorithm>

namespace sonavell {

DecodeContext::DecodeContext(BatchJob *job) : m_job(job) {}

bool DecodeContext::openInput(const QString &path, Mp3Source *input)
{
    m_inputPath = path;
    m_totalSeconds = std::max(0, queryMediaLength(path)) / 1000;
    if (m_job)
        m_job->sink().timeRange(m_totalSeconds);
    if (!input->open(path)) {
        if (m_job)
            m_job->reportOpenError(path);
        return false;
    }
    // A few chance frames in another kind of file would decode to noise.
    if (!input->scan().holdsAudio()) {
        if (m_job)
            m_job->sink().showError(notAudioMessage(path));
        return false;
    }
    return true;
}

DecodeContext::~DecodeContext() = default;

QString DecodeContext::notAudioMessage(const QString &path)
{
    return QStringLiteral("%1: not an MP3 file (or damaged); nothing was written for it").arg(path);
}

DecodeFlow DecodeContext::countFrame(const DecodedFrame &frame)
{
    ++m_framesDecoded;
    // Frames cut by the encoder's delay or padding are shorter: the time is summed in samples.
    m_time.add(frame.length, frame.sampleRate);
    m_elapsedSeconds = static_cast<int>(m_time.seconds());
    if (m_job) {
        m_job->sink().timeReached(m_elapsedSeconds);
        if (m_job->isCancelled()) {
            m_cancelled = true;
            return DecodeFlow::Stop;
        }
    }
    return DecodeFlow::Continue;
}

void DecodeContext::takeFormat(const DecodedFrame &frame)
{
    m_format = WaveFormat{};
    m_format.formatTag = 1;
    m_format.channels = static_cast<std::uint16_t>(frame.channels);
    m_format.samplesPerSec = static_cast<std::uint32_t>(frame.sampleRate);
    m_format.bitsPerSample = 16;
    m_format.extraSize = 0;
    m_format = m_format.normalizedPcm();
}

bool DecodeContext::createEncoder(const DecodedFrame &frame)
{
    takeFormat(frame);
    m_encoder = std::make_unique<Mp3Encoder>();
    m_encoder->setFormat(m_format);
    m_encoder->setPath(m_outputPath);
    m_encoder->setFileDescriptor(m_outputDescriptor);
    m_encoder->setBitRate(m_bitrateKbps);
    // One chunk is one whole frame, also when the first one handed over was cut short.
    m_pcmBuffer.resize(static_cast<qsizetype>(frame.channels) * std::max(frame.length, frame.nominalLength) * 2);
    if (!m_encoder->start(static_cast<std::uint32_t>(m_pcmBuffer.size()))) {
        m_encoderError = m_encoder->error();
        return false;
    }
    // Once per input, not once per part of a split.
    const QString notice = m_encoder->substitutionNotice();
    if (m_job && !notice.isEmpty() && !m_noticeGiven) {
        m_job->sink().showNotice(notice);
        m_noticeGiven = true;
    }
    return true;
}

DecodeFlow DecodeContext::encodeFrame(const DecodedFrame &frame)
{
    if (countFrame(frame) == DecodeFlow::Stop)
        return DecodeFlow::Stop;
    return writeFrame(frame);
}

DecodeFlow DecodeContext::writeFrame(const DecodedFrame &frame)
{
    if (!m_encoder && !createEncoder(frame))
        return DecodeFlow::Stop;
    if (m_encoderError != Mp3Encoder::Error::None)
        return DecodeFlow::Stop;
    // The encoder's channel count was fixed by the first frame; a later frame is converted to it.
    const qsizetype bytes = static_cast<qsizetype>(m_format.channels) * frame.length * 2;
    if (m_pcmBuffer.size() < bytes)
        m_pcmBuffer.resize(bytes);
    convertFrame(frame, m_volumeScale, m_format.channels, m_pcmBuffer.data());
    ++m_framesEncoded;
    return pushPcm(m_pcmBuffer.constData(), bytes) ? DecodeFlow::Continue : DecodeFlow::Stop;
}

// Frames of the first frame's size are exactly one chunk and go straight to the encoder;
// frames of another size are cut into whole chunks and the rest waits for the next frame.
bool DecodeContext::pushPcm(const char *bytes, qsizetype count)
{
    const auto chunk = static_cast<qsizetype>(m_encoder->bytesPerChunk());
    if (!m_carry.isEmpty()) {
        const qsizetype take = std::min(count, chunk - m_carry.size());
        m_carry.append(bytes, take);
        bytes += take;
        count -= take;
        if (m_carry.size() == chunk) {
            m_encoder->encodeChunk(m_carry.constData());
            m_carry.clear();
        }
    }
    for (; count >= chunk; bytes += chunk, count -= chunk)
        m_encoder->encodeChunk(bytes);
    if (count > 0)
        m_carry.append(bytes, count);
    if (m_encoder->hasFailed()) {
        m_encoderError = m_encoder->error();
        return false;
    }
    return true;
}

OutputHandler DecodeContext::encodingHandler()
{
    return [this](const DecodedFrame &frame) { return encodeFrame(frame); };
}

bool DecodeContext::finishEncoder()
{
    if (!m_encoder)
        return m_encoderError == Mp3Encoder::Error::None;
    if (!m_carry.isEmpty() && m_encoderError == Mp3Encoder::Error::None)
        m_encoder->encodeBytes(m_carry.constData(), static_cast<std::uint32_t>(m_carry.size()));
    m_carry.clear();
    const bool finished = m_encoder->finish();
    if (!finished && m_encoderError == Mp3Encoder::Error::None)
        m_encoderError = m_encoder->error();
    m_encoder.reset();
    m_pcmBuffer.clear();
    return finished && m_encoderError == Mp3Encoder::Error::None;
}

} // namespace sonavell
