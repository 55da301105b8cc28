#include "mp3files.h"

#include "core/encode/encoderlibrary.h"
#include "core/mp3/audioscan.h"

#include "core/decode/mp3streamdecoder.h"
#include "core/encode/mp3encoder.h"
#include "core/mp3/mp3frametable.h"
#include "testsupport.h"

#include <cmath>

namespace sonavell::test {

WaveFormat pcmFormat(int rate, int channels, int bits)
{
    return WaveFormat{1, static_cast<std::uint16_t>(channels), static_cast<std::uint32_t>(rate), 0, 0,
                      static_cast<std::uint16_t>(bits), 0}
        .normalizedPcm();
}

bool makeMp3(const QString &path, const QByteArray &pcm, int rate, int channels, int kbps)
{
    Mp3Encoder encoder;
    encoder.setFormat(pcmFormat(rate, channels));
    encoder.setPath(path);
    encoder.setBitRate(kbps);
    if (!encoder.start())
        return false;
    const auto chunk = static_cast<qsizetype>(encoder.bytesPerChunk());
    for (qsizetype at = 0; at < pcm.size(); at += chunk) {
        QByteArray piece = pcm.mid(at, chunk);
        piece.resize(chunk, '\0');
        encoder.encodeChunk(piece.constData());
    }
    return encoder.finish();
}

bool makeReservoirMp3(const QString &path, const QByteArray &pcm, int rate, int channels, int kbps, bool crc)
{
    EncoderLibrary library;
    if (!library.load(Mp3Encoder::libraryName()))
        return false;
    EncoderConfig config;
    config.sampleRate = static_cast<std::uint32_t>(rate);
    config.mode = channels == 1 ? EncoderConfig::kModeMono : EncoderConfig::kModeStereo;
    config.bitRate = static_cast<std::uint32_t>(kbps);
    config.noBitReservoir = false;
    config.writeVbrHeader = false;
    config.crc = crc;
    std::uint32_t samplesPerChunk = 0;
    std::uint32_t outputSize = 0;
    EncoderStream *stream = nullptr;
    if (library.initStream(config, samplesPerChunk, outputSize, stream) != EncoderLibrary::kOk)
        return false;
    QByteArray mp3;
    std::vector<unsigned char> output(outputSize);
    const auto chunk = static_cast<qsizetype>(2 * samplesPerChunk);
    bool ok = true;
    for (qsizetype at = 0; ok && at < pcm.size(); at += chunk) {
        QByteArray piece = pcm.mid(at, chunk);
        piece.resize(chunk, '\0');
        std::uint32_t written = 0;
        ok = library.encodeChunk(stream, samplesPerChunk, reinterpret_cast<const std::int16_t *>(piece.constData()),
                                 output.data(), outputSize, written) == EncoderLibrary::kOk;
        mp3.append(reinterpret_cast<const char *>(output.data()), static_cast<qsizetype>(written));
    }
    std::uint32_t written = 0;
    ok = ok && library.deinitStream(stream, output.data(), outputSize, written) == EncoderLibrary::kOk;
    mp3.append(reinterpret_cast<const char *>(output.data()), static_cast<qsizetype>(written));
    library.closeStream(stream);
    return ok && writeAll(path, mp3);
}

bool makeToneMp3(const QString &path, double seconds, int rate, int channels, int kbps, int amplitude)
{
    return makeMp3(path, sinePcm(rate, channels, seconds, 440.0, amplitude), rate, channels, kbps);
}

double gaplessSeconds(const QByteArray &mp3)
{
    return scanAudio(mp3).playingSeconds();
}

QByteArray decodeForPlayback(const QString &path)
{
    Mp3FrameTable table;
    table.build(path);
    Mp3StreamDecoder decoder(table);
    decoder.open(path);
    QByteArray pcm;
    QByteArray block(8192, '\0');
    while (const std::uint32_t got = decoder.read(reinterpret_cast<std::uint8_t *>(block.data()), 8192))
        pcm += block.left(got);
    return pcm;
}

QByteArray tinyMp3Frame()
{
    static const QByteArray frame = [] {
        TempFolder folder;
        const QString path = folder.file(QStringLiteral("frame.mp3"));
        if (!makeMp3(path, sinePcm(8000, 1, 1.0, 300, 5000), 8000, 1, 8))
            return QByteArray();
        // Past the Info frame and the encoder's first frames.
        return readAll(path).mid(72 * 4, 72);
    }();
    return frame;
}

bool writeTinyMp3(const QString &path, double seconds)
{
    const QByteArray frame = tinyMp3Frame();
    if (frame.size() != 72 || static_cast<std::uint8_t>(frame.at(0)) != 0xFF)
        return false;
    return writeAll(path, frame.repeated(static_cast<qsizetype>(std::ceil(seconds / 0.072))));
}

} // namespace sonavell::test
