#pragma once

#include "core/settings/waveformat.h"

#include <QByteArray>
#include <QString>

namespace sonavell::test {

// A PCM format record for the given rate, channel count and sample size.
WaveFormat pcmFormat(int rate, int channels, int bits = 16);

// Encodes interleaved 16-bit pcm with our Mp3Encoder, chunk by chunk with the last chunk
// zero-padded, as the file operations do.
bool makeMp3(const QString &path, const QByteArray &pcm, int rate, int channels, int kbps);
// The same through the encoder library directly, with the bit reservoir on, as other encoders
// write: main data of a frame then begins in the frames before it. No Info frame; with crc,
// every frame carries a CRC word.
bool makeReservoirMp3(const QString &path, const QByteArray &pcm, int rate, int channels, int kbps,
                      bool crc = false);
// A sine tone of the given length as an MP3 file.
bool makeToneMp3(const QString &path, double seconds, int rate = 44100, int channels = 2, int kbps = 128,
                 int amplitude = 8000);

// The real audio of an MP3 file in seconds: its frames without the encoder's delay and padding
// that its LAME tag records.
double gaplessSeconds(const QByteArray &mp3);

// The whole file's PCM as the players' streaming decoder gives it.
QByteArray decodeForPlayback(const QString &path);

// One 72-byte frame of 8 kHz mono at 8 kbit/s (576 samples, 72 ms) from our encoder: enough for
// the file list to accept a file.
QByteArray tinyMp3Frame();
// An MP3 file of whole 72 ms frames lasting at least `seconds`.
bool writeTinyMp3(const QString &path, double seconds = 0.5);

} // namespace sonavell::test
