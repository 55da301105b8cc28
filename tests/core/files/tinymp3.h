#pragma once

#include "core/encode/mp3encoder.h"
#include "testsupport.h"

#include <QByteArray>
#include <QString>

#include <cmath>

namespace sonavell::test {

// One 72-byte frame of 8 kHz mono at 8 kbit/s (576 samples, 72 ms) from our encoder, enough for
// the file list to accept a file.
inline QByteArray tinyMp3Frame()
{
    static const QByteArray frame = [] {
        TempFolder folder;
        Mp3Encoder encoder;
        encoder.setFormat(WaveFormat{1, 1, 8000, 0, 0, 16, 0}.normalizedPcm());
        encoder.setBitRate(8);
        encoder.setPath(folder.file(QStringLiteral("frame.mp3")));
        if (!encoder.start(0))
            return QByteArray();
        const QByteArray tone = sinePcm(8000, 1, 1.0, 300, 5000);
        for (qsizetype at = 0; at + encoder.bytesPerChunk() <= static_cast<std::uint32_t>(tone.size());
             at += encoder.bytesPerChunk())
            encoder.encodeChunk(tone.constData() + at);
        encoder.finish();
        return readAll(encoder.path()).mid(72 * 4, 72);
    }();
    return frame;
}

// An MP3 file of whole 72 ms frames lasting at least `seconds`.
inline bool writeTinyMp3(const QString &path, double seconds = 0.5)
{
    const QByteArray frame = tinyMp3Frame();
    if (frame.size() != 72 || static_cast<std::uint8_t>(frame.at(0)) != 0xFF)
        return false;
    return writeAll(path, frame.repeated(static_cast<qsizetype>(std::ceil(seconds / 0.072))));
}

} // namespace sonavell::test
