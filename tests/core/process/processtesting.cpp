#include "processtesting.h"

#include "encode/mp3encoder.h"
#include "testsupport.h"

#include <mutex>

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

bool makeToneMp3(const QString &path, double seconds, int rate, int channels, int kbps, int amplitude)
{
    return makeMp3(path, sinePcm(rate, channels, seconds, 440.0, amplitude), rate, channels, kbps);
}

void runOnWorker(BatchJob &job, ProgressSink &sink)
{
    job.setSink(&sink);
    JobWorker worker(job);
    worker.start();
    worker.wait();
}

namespace {

std::mutex logMutex;
QStringList capturedLines;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    std::lock_guard lock(logMutex);
    capturedLines.append(message);
}

} // namespace

LogCapture::LogCapture()
{
    std::lock_guard lock(logMutex);
    capturedLines.clear();
    previousHandler = qInstallMessageHandler(captureMessage);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previousHandler);
}

QStringList LogCapture::lines() const
{
    std::lock_guard lock(logMutex);
    return capturedLines;
}

} // namespace sonavell::test
