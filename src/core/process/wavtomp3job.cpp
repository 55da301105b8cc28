#include "core/process/wavtomp3job.h"

#include "core/encode/mp3encoder.h"
#include "core/io/filemove.h"
#include "core/process/outputfailure.h"
#include "core/process/replacementfile.h"
#include "core/process/wavefile.h"

#include <QByteArray>

#include <cstring>

namespace sonavell {

namespace {

// The encoder takes 8- or 16-bit PCM of one or two channels at a sane rate; other WAV data
// (A-law, mu-law, ADPCM, float) would be fed to it as noise. Says what is wrong, empty when
// the file can be encoded.
QString encodingProblem(const WaveFormat &format, std::uint32_t dataBytes)
{
    constexpr std::uint16_t kPcm = 1;
    constexpr std::uint16_t kFloat = 3;
    constexpr std::uint16_t kExtensible = 0xFFFE;
    if (format.formatTag == kFloat)
        return QStringLiteral("%1-bit float WAV is not supported").arg(format.bitsPerSample);
    if (format.formatTag != kPcm && format.formatTag != kExtensible)
        return QStringLiteral("its samples are not PCM (format %1)").arg(format.formatTag);
    if (format.channels != 1 && format.channels != 2)
        return QStringLiteral("%1 channels cannot be encoded (1 or 2)").arg(format.channels);
    if (format.bitsPerSample != 8 && format.bitsPerSample != 16)
        return QStringLiteral("%1 bits per sample cannot be encoded (8 or 16)").arg(format.bitsPerSample);
    if (format.samplesPerSec < 1000 || format.samplesPerSec > 192000)
        return QStringLiteral("its sample rate of %1 Hz is outside 1000 to 192000 Hz").arg(format.samplesPerSec);
    if (dataBytes < std::uint32_t(format.channels * format.bitsPerSample / 8))
        return QStringLiteral("it holds no audio (%1 data bytes)").arg(dataBytes);
    return QString();
}

} // namespace

void WavToMp3Job::processFile(const QString &path)
{
    // Linux file names are case-sensitive: the path is used as given.
    WaveFile wave;
    if (wave.open(path, nullptr, WaveFile::ReadMode) != WaveFile::Result::Success) {
        reportOpenError(path);
        return;
    }
    if (const QString problem = encodingProblem(*wave.format(), wave.dataSize()); !problem.isEmpty()) {
        sink().showError(QStringLiteral("Open File %1 Error\n%1: %2.").arg(path, problem));
        return;
    }
    // Writing over the input would destroy the WAV before it is read.
    if (isSameFile(path, m_outputPath)) {
        reportOpenError(m_outputPath);
        return;
    }
    // A range that starts past the data holds no audio: no empty MP3 is written for it.
    if (m_startOffset != m_endOffset && m_startOffset >= wave.dataSize()) {
        reportOpenError(path);
        return;
    }
    const WaveFormat input = *wave.format();
    const bool eightBit = input.bitsPerSample == 8;
    WaveFormat format = input;
    format.formatTag = 1;
    format.bitsPerSample = 16;
    format.extraSize = 0;
    format = format.normalizedPcm();

    // Times are whole seconds of the WAV data.
    const std::uint64_t inputBytesPerSec = std::uint64_t(input.samplesPerSec) * input.channels * input.bitsPerSample / 8;
    const std::uint32_t inputBlock = input.channels * input.bitsPerSample / 8u;
    sink().timeRange(static_cast<int>(wave.dataSize() / inputBytesPerSec));

    // Written beside the output and renamed over it only when complete.
    ReplacementFile replacement(m_outputPath);
    if (!replacement.isValid()) {
        sink().showError(outputFailureText(m_outputPath));
        return;
    }
    Mp3Encoder encoder;
    encoder.setFormat(format);
    encoder.setPath(replacement.path());
    encoder.setFileDescriptor(replacement.descriptor());
    encoder.setBitRate(m_bitrateKbps);
    if (!encoder.start(0)) {
        sink().showError(encoder.error() == Mp3Encoder::Error::FileNotCreated ? outputFailureText(m_outputPath)
                                                                               : Mp3Encoder::errorText(encoder.error()));
        return;
    }
    if (const QString notice = encoder.substitutionNotice(); !notice.isEmpty())
        sink().showNotice(notice);
    const std::uint32_t chunkBytes = encoder.bytesPerChunk();
    const std::uint32_t readBytes = eightBit ? chunkBytes / 2 : chunkBytes;

    const bool ranged = m_startOffset != m_endOffset;
    // A range that starts inside a sample frame would swap bytes and channels.
    const std::uint32_t start = ranged ? m_startOffset - m_startOffset % inputBlock : 0;
    std::uint32_t skipped = 0;
    if (start > 0)
        wave.read(nullptr, start, &skipped);

    QByteArray raw(static_cast<qsizetype>(readBytes), '\0');
    QByteArray chunk(static_cast<qsizetype>(chunkBytes), '\0');
    std::uint64_t position = skipped;
    std::uint64_t consumed = 0;
    for (;;) {
        std::uint32_t got = 0;
        char *target = eightBit ? raw.data() : chunk.data();
        if (wave.read(target, readBytes, &got) != WaveFile::Result::Success || got == 0)
            break;
        if (eightBit) {
            for (std::uint32_t i = 0; i < got; ++i) {
                const std::int16_t value = widenSample(static_cast<std::uint8_t>(raw[i]));
                chunk[2 * i] = static_cast<char>(value & 0xFF);
                chunk[2 * i + 1] = static_cast<char>((value >> 8) & 0xFF);
            }
        }
        const std::uint32_t filled = eightBit ? got * 2 : got;
        if (filled < chunkBytes)
            std::memset(chunk.data() + filled, 0, chunkBytes - filled);
        encoder.encodeChunk(chunk.constData());
        if (encoder.hasFailed())
            break;
        position += got;
        consumed += got;
        if (ranged && position >= m_endOffset)
            break;
        sink().timeReached(static_cast<int>(consumed / inputBytesPerSec));
        if (isCancelled())
            break;
    }
    const bool finished = encoder.finish();
    wave.close();
    if (!finished) {
        const Mp3Encoder::Error error = encoder.error();
        sink().showError(error == Mp3Encoder::Error::WriteFailed ? outputFailureText(m_outputPath)
                                                                 : Mp3Encoder::errorText(error));
    } else if (!replacement.commit()) {
        sink().showError(outputFailureText(m_outputPath));
    }
}

} // namespace sonavell
