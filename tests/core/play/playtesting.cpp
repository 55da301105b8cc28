#include "playtesting.h"

#include "process/wavefile.h"

namespace sonavell::test {

WaveFormat playFormat(int rate, int channels, int bits)
{
    return WaveFormat{1, static_cast<std::uint16_t>(channels), static_cast<std::uint32_t>(rate), 0, 0,
                      static_cast<std::uint16_t>(bits), 0}
        .normalizedPcm();
}

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
