#include "testsupport.h"

#include "core/settings/recordersettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

namespace sonavell::test {

namespace {

// Every test process keeps its settings and value files in a folder of its own, so a test
// never touches the user's Data folder. Built before main(), so before any use of settings().
struct TestDataFolder
{
    TestDataFolder() { overrideDataFolder(folder.path() + QStringLiteral("/Data")); }
    QTemporaryDir folder;
};
TestDataFolder testDataFolder;

} // namespace

const RecorderSettings &defaultSettings()
{
    static const RecorderSettings defaults;
    return defaults;
}

TempFolder::TempFolder()
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/sonavell-test-XXXXXX"));
    dir.setAutoRemove(false);
    m_path = dir.path();
}

TempFolder::~TempFolder()
{
    QDir(m_path).removeRecursively();
}

QByteArray sinePcm(int sampleRate, int channels, double seconds, double frequency, int amplitude)
{
    const auto frames = static_cast<qsizetype>(std::llround(sampleRate * seconds));
    QByteArray pcm(frames * channels * 2, '\0');
    auto *out = reinterpret_cast<unsigned char *>(pcm.data());
    for (qsizetype i = 0; i < frames; ++i) {
        const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(i) / sampleRate;
        const auto sample = static_cast<std::int16_t>(std::lround(amplitude * std::sin(phase)));
        for (int c = 0; c < channels; ++c)
            std::memcpy(out + (i * channels + c) * 2, &sample, 2);
    }
    return pcm;
}

QByteArray constantPcm(int sampleRate, int channels, double seconds, std::int16_t value)
{
    const auto frames = static_cast<qsizetype>(std::llround(sampleRate * seconds));
    QByteArray pcm(frames * channels * 2, '\0');
    for (qsizetype i = 0; i < frames * channels; ++i)
        std::memcpy(pcm.data() + i * 2, &value, 2);
    return pcm;
}

QByteArray noisePcm(int sampleRate, int channels, double seconds, int amplitude, unsigned seed)
{
    const auto values = static_cast<qsizetype>(std::llround(sampleRate * seconds)) * channels;
    QByteArray pcm(values * 2, '\0');
    std::minstd_rand random(seed);
    std::uniform_int_distribution<int> sample(-amplitude, amplitude);
    for (qsizetype i = 0; i < values; ++i) {
        const auto value = static_cast<std::int16_t>(sample(random));
        std::memcpy(pcm.data() + i * 2, &value, 2);
    }
    return pcm;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace sonavell::test
