#pragma once

#include "mp3files.h"
#include "core/settings/waveformat.h"
#include "platform/fakeaudiooutput.h"

#include <QByteArray>
#include <QString>

#include <atomic>

namespace sonavell::test {

// Writes `data` as the data chunk of a PCM WAV file with our WaveFile.
bool writeWave(const QString &path, const WaveFormat &format, const QByteArray &data);

// Bytes 0, 1, 2, ... 255, 0, 1, ...: every position of the data recognisable.
QByteArray countingBytes(qsizetype size);

// A tone that changes pitch every few milliseconds, so that samples from the wrong place differ.
QByteArray sweepPcm(int rate, int channels, double seconds);

// The in-memory device with scripted failures: the first `busyOpens` opens fail as a busy
// device would, prepare fails after `preparable` buffers, write after `writable` writes.
class ScriptedOutput : public FakeAudioOutput
{
public:
    int busyOpens = 0;
    int preparable = -1;
    int writable = -1;
    std::atomic<int> opens{0};
    std::atomic<int> writes{0};

    bool open(const WaveFormat &format, AudioOutputClient *client) override;
    bool prepare(AudioOutputBuffer &buffer) override;
    bool write(AudioOutputBuffer &buffer) override;

private:
    int m_prepared = 0;
};

} // namespace sonavell::test
