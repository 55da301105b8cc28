#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace sonavell {
class RecorderSettings;
}

namespace sonavell::test {

// Settings at their defaults, for the engines a test builds without setting anything.
const RecorderSettings &defaultSettings();

// A fresh folder for one test, removed with the object.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    QString path() const { return m_path; }
    QString file(const QString &name) const { return m_path + QLatin1Char('/') + name; }

private:
    QString m_path;
};

// Interleaved signed 16-bit PCM of a sine tone; amplitude 0 gives silence.
QByteArray sinePcm(int sampleRate, int channels, double seconds, double frequency, int amplitude);
// White noise, the same for the same seed: the hardest signal for an encoder, so its frames
// lean on the bit reservoir the most.
QByteArray noisePcm(int sampleRate, int channels, double seconds, int amplitude, unsigned seed = 1);
// The same number of frames of a constant sample value.
QByteArray constantPcm(int sampleRate, int channels, double seconds, std::int16_t value);

QByteArray readAll(const QString &path);
bool writeAll(const QString &path, const QByteArray &bytes);

} // namespace sonavell::test
