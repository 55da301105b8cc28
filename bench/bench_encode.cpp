// Encodes ten minutes of generated 44.1 kHz stereo PCM at 128 kbit/s through Mp3Encoder, then
// the same PCM through the lame command-line encoder, and prints both times side by side.
#include "benchsupport.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>

using namespace sonavell;
using namespace sonavell::bench;

namespace {

constexpr int kSeconds = 600;

bool encodeWithMp3Encoder(const QByteArray &pcm, const QString &path)
{
    Mp3Encoder encoder;
    encoder.setFormat(stereoCdFormat());
    encoder.setBitRate(128);
    encoder.setPath(path);
    if (!encoder.start(0))
        return false;
    const qsizetype chunk = encoder.bytesPerChunk();
    QByteArray last(chunk, '\0');
    for (qsizetype at = 0; at < pcm.size(); at += chunk) {
        if (at + chunk <= pcm.size()) {
            encoder.encodeChunk(pcm.constData() + at);
        } else {
            std::memcpy(last.data(), pcm.constData() + at, static_cast<std::size_t>(pcm.size() - at));
            encoder.encodeChunk(last.constData());
        }
    }
    return encoder.finish();
}

} // namespace

int main()
{
    QTemporaryDir folder;
    const QByteArray pcm = musicLikePcm(kSeconds);
    const QString rawPath = folder.filePath(QStringLiteral("input.raw"));
    {
        QFile raw(rawPath);
        if (!raw.open(QIODevice::WriteOnly) || raw.write(pcm) != pcm.size())
            return 1;
    }

    const double ours = measure("Mp3Encoder, 128 kbit/s", kSeconds,
                                [&] { return encodeWithMp3Encoder(pcm, folder.filePath(QStringLiteral("ours.mp3"))); });

    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
    if (lame.isEmpty()) {
        std::printf("lame command-line encoder not available\n");
        return 0;
    }
    const double theirs = measure("lame command line, 128 kbit/s", kSeconds, [&] {
        return runTool(lame, {QStringLiteral("--quiet"), QStringLiteral("-r"), QStringLiteral("-s"),
                              QStringLiteral("44.1"), QStringLiteral("--bitwidth"), QStringLiteral("16"),
                              QStringLiteral("--signed"), QStringLiteral("--little-endian"), QStringLiteral("-m"),
                              QStringLiteral("s"), QStringLiteral("-b"), QStringLiteral("128"), QStringLiteral("-t"),
                              rawPath, folder.filePath(QStringLiteral("lame.mp3"))});
    });
    std::printf("ratio ours/lame: %.3f (target <= 1.05)\n", ours / theirs);
    return 0;
}
