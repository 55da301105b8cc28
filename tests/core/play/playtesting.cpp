#include "playtesting.h"

#include "core/encode/mp3encoder.h"
#include "core/process/wavefile.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace sonavell::test {

bool writeWave(const QString &path, const WaveFormat &format, const QByteArray &data)
{
    WaveFile file;
    if (file.open(path, &format, WaveFile::WriteMode) != WaveFile::Result::Success)
        return false;
    std::uint32_t written = 0;
    const bool ok = file.write(static_cast<std::uint32_t>(data.size()), data.constData(), &written)
            == WaveFile::Result::Success
        && written == data.size();
    return file.close() == WaveFile::Result::Success && ok;
}

QByteArray countingBytes(qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i & 0xFF);
    return bytes;
}

QByteArray sweepPcm(int rate, int channels, double seconds)
{
    const auto frames = static_cast<qsizetype>(std::llround(rate * seconds));
    QByteArray pcm(frames * channels * 2, '\0');
    double phase = 0;
    for (qsizetype i = 0; i < frames; ++i) {
        const double frequency = 200.0 + 50.0 * static_cast<double>((i * 100 / rate) % 30);
        phase += 2.0 * std::numbers::pi * frequency / rate;
        for (int c = 0; c < channels; ++c) {
            const auto sample = static_cast<std::int16_t>(std::lround((c == 0 ? 9000 : 6000) * std::sin(phase * (c + 1))));
            std::memcpy(pcm.data() + (i * channels + c) * 2, &sample, 2);
        }
    }
    return pcm;
}

bool ScriptedOutput::open(const WaveFormat &format, AudioOutputClient *client)
{
    if (opens++ < busyOpens)
        return false;
    m_prepared = 0;
    return FakeAudioOutput::open(format, client);
}

bool ScriptedOutput::prepare(AudioOutputBuffer &buffer)
{
    if (preparable >= 0 && m_prepared >= preparable)
        return false;
    ++m_prepared;
    return FakeAudioOutput::prepare(buffer);
}

bool ScriptedOutput::write(AudioOutputBuffer &buffer)
{
    if (writable >= 0 && writes >= writable)
        return false;
    ++writes;
    return FakeAudioOutput::write(buffer);
}

} // namespace sonavell::test
