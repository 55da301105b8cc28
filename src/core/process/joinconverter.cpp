#include "core/process/joinconverter.h"

#include <algorithm>
#include <cstring>

namespace sonavell {

namespace {

// Samples are resampled as u = sample + 32767, 0 … 65534 for all but -32768.
constexpr std::int64_t kOffset = 32767;

} // namespace

JoinConverter::JoinConverter(int targetRate, int targetChannels)
    : m_targetRate(targetRate), m_targetChannels(targetChannels)
{
}

// An input of another rate or channel count than the last keeps the resampler's place: the
// covered part of the current output sample and its partial sums are rescaled to the new
// units, and the sums follow the channels.
void JoinConverter::adaptTo(int sourceRate, int sourceChannels)
{
    if (m_sourceRate != 0 && sourceRate != m_sourceRate) {
        m_phase = m_phase * sourceRate / m_sourceRate;
        for (std::int64_t &sum : m_sums)
            sum = sum * sourceRate / m_sourceRate;
    }
    if (m_sourceChannels == 1 && sourceChannels == 2)
        m_sums[1] = m_sums[0];
    else if (m_sourceChannels == 2 && sourceChannels == 1)
        m_sums[0] = (m_sums[0] + m_sums[1]) / 2;
    m_sourceRate = sourceRate;
    m_sourceChannels = sourceChannels;
}

// Each output sample is the average of the input over its own time span: upsampling repeats
// input values, downsampling averages them. A weighted sum reaches 65534 × sourceRate, beyond
// 32 bits for 44100 Hz, hence 64-bit sums.
void JoinConverter::resample(const std::int16_t *samples, int frames, int channels)
{
    const std::int64_t a = m_sourceRate;
    const std::int64_t b = m_targetRate;
    m_resampled.clear();
    m_resampled.reserve(static_cast<std::size_t>((m_phase + frames * b) / a + 1) * channels);
    for (int i = 0; i < frames; ++i) {
        const std::int16_t *frame = samples + static_cast<std::ptrdiff_t>(i) * channels;
        const std::int64_t c = m_phase;
        m_phase = c + b;
        if (m_phase < a) {
            for (int ch = 0; ch < channels; ++ch)
                m_sums[ch] += b * (frame[ch] + kOffset);
            continue;
        }
        for (int ch = 0; ch < channels; ++ch) {
            const std::int64_t u = frame[ch] + kOffset;
            m_resampled.push_back(static_cast<std::int16_t>((m_sums[ch] + u * (a - c)) / a - kOffset));
        }
        m_phase -= a;
        for (; m_phase >= a; m_phase -= a)
            m_resampled.insert(m_resampled.end(), frame, frame + channels);
        for (int ch = 0; ch < channels; ++ch)
            m_sums[ch] = m_phase * (frame[ch] + kOffset);
    }
}

void JoinConverter::append(const std::int16_t *samples, int frames, int sourceRate, int sourceChannels)
{
    if (frames <= 0 || sourceRate <= 0 || (sourceChannels != 1 && sourceChannels != 2))
        return;
    adaptTo(sourceRate, sourceChannels);
    const std::int16_t *converted = samples;
    std::size_t count = static_cast<std::size_t>(frames) * sourceChannels;
    // At the target rate with nothing carried over the resampler would give its input back.
    if (sourceRate != m_targetRate || m_phase != 0) {
        resample(samples, frames, sourceChannels);
        converted = m_resampled.data();
        count = m_resampled.size();
    }

    const qsizetype at = m_waiting.size();
    if (sourceChannels == m_targetChannels) {
        m_waiting.resize(at + static_cast<qsizetype>(count * 2));
        std::memcpy(m_waiting.data() + at, converted, count * 2);
        return;
    }
    const std::size_t outCount = sourceChannels == 1 ? count * 2 : count / 2;
    m_waiting.resize(at + static_cast<qsizetype>(outCount * 2));
    auto *out = reinterpret_cast<std::int16_t *>(m_waiting.data() + at);
    if (sourceChannels == 1) {
        for (std::size_t i = 0; i < count; ++i)
            out[2 * i] = out[2 * i + 1] = converted[i];
    } else {
        for (std::size_t i = 0; i < outCount; ++i)
            out[i] = downmix(converted[2 * i], converted[2 * i + 1]);
    }
}

void JoinConverter::takeChunks(qsizetype chunkBytes, const std::function<void(const char *chunk)> &encode)
{
    if (chunkBytes <= 0)
        return;
    qsizetype at = 0;
    for (; m_waiting.size() - at >= chunkBytes; at += chunkBytes)
        encode(m_waiting.constData() + at);
    m_waiting.remove(0, at);
}

QByteArray JoinConverter::takePaddedRest(qsizetype chunkBytes)
{
    if (m_waiting.isEmpty())
        return QByteArray();
    QByteArray chunk = m_waiting.left(chunkBytes);
    chunk.resize(std::max(chunkBytes, chunk.size()), '\0');
    m_waiting.remove(0, chunk.size());
    return chunk;
}

} // namespace sonavell
