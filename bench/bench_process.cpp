// Re-encodes a ten-minute 128 kbit/s MP3 to 64 kbit/s in place and decodes it to a WAV file, as
// the file operations do, beside `lame --mp3input -b 64` and `madplay -o wave:` on the same
// file, and prints the peak memory against the input's size.
#include "benchsupport.h"
#include "core/process/batchjob.h"
#include "core/process/decoder.h"
#include "core/process/mp3towavjob.h"
#include "core/process/reencode.h"
#include "core/settings/recordersettings.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace sonavell;
using namespace sonavell::bench;

namespace {

constexpr int kSeconds = 600;

class ReencodeJob : public BatchJob
{
public:
    using BatchJob::BatchJob;
    void processFile(const QString &path) override { ok = reencodeFile(*this, path, 64, 1.0f); }
    bool ok = false;
};

void printRatio(const char *what, double ours, double theirs, const char *target)
{
    if (theirs > 0)
        std::printf("  ratio ours/%s: %.3f (target %s)\n", what, ours / theirs, target);
}

} // namespace

int main()
{
    QTemporaryDir folder;
    overrideDataFolder(folder.filePath(QStringLiteral("Data")));
    auto at = [&folder](const char *name) { return folder.filePath(QString::fromLatin1(name)); };
    const QString mp3 = at("input.mp3");
    if (!writeMusicLikeMp3(mp3, kSeconds)) {
        std::fprintf(stderr, "encoder did not start\n");
        return 1;
    }
    QFile::copy(mp3, at("tools.mp3"));
    const qint64 inputBytes = QFile(mp3).size();
    std::printf("input: %d s, 44.1 kHz stereo, 128 kbit/s, %lld bytes\n", kSeconds, static_cast<long long>(inputBytes));
    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
    const QString madplay = QStandardPaths::findExecutable(QStringLiteral("madplay"));

    measure("decode only (runDecoder)", kSeconds, [&] {
        Mp3Source input;
        if (!input.open(mp3))
            return false;
        int frames = 0;
        input.decode([&frames](const DecodedFrame &) {
            ++frames;
            return DecodeFlow::Continue;
        });
        return frames > 0;
    });

    ReencodeJob reencode({mp3});
    const double ours = measure("re-encode 128 -> 64 kbit/s in place", kSeconds, [&] {
        reencode.run();
        return reencode.ok;
    });
    if (!lame.isEmpty())
        printRatio("lame", ours, measure("  lame --mp3input -b 64", kSeconds, [&] {
                       return runTool(lame, {QStringLiteral("--quiet"), QStringLiteral("--mp3input"), QStringLiteral("-b"),
                                             QStringLiteral("64"), at("tools.mp3"), at("lame.mp3")});
                   }), "<= 1.05");

    // Both decoders read the same 128 kbit/s source.
    Mp3ToWavJob toWav({at("tools.mp3")});
    toWav.setOutputFolder(folder.path());
    const double decode = measure("decode 128 kbit/s MP3 to WAV", kSeconds, [&] {
        toWav.run();
        return QFile::exists(at("tools.Wav"));
    });
    if (!madplay.isEmpty())
        printRatio("madplay", decode, measure("  madplay -o wave:", kSeconds, [&] {
                       return runTool(madplay, {QStringLiteral("-Q"), QStringLiteral("-o"),
                                                QStringLiteral("wave:") + at("madplay.wav"), at("tools.mp3")});
                   }), "<= 1.0");
    if (lame.isEmpty() || madplay.isEmpty())
        std::printf("(lame or madplay not installed: their rows are left out)\n");

    const qint64 peak = peakResidentBytes();
    std::printf("peak memory: %.1f MB; input + 32 MB = %.1f MB (target: not above)\n", peak / 1e6,
                (inputBytes + 32 * 1024 * 1024) / 1e6);
    return 0;
}
