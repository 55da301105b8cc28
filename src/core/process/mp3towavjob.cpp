#include "core/process/mp3towavjob.h"

#include "core/io/filemove.h"
#include "core/mp3/medialength.h"
#include "core/process/decodecontext.h"
#include "core/process/outputfailure.h"
#include "core/process/replacementfile.h"
#include "core/process/wavefile.h"

#include <QFileInfo>

#include <algorithm>
#include <memory>

namespace sonavell {

QString Mp3ToWavJob::outputPathFor(const QString &input) const
{
    QString folder = m_outputFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QFileInfo(input).completeBaseName().toLower() + QStringLiteral(".Wav");
}

bool Mp3ToWavJob::filesAreIndependent() const
{
    QStringList names = files();
    for (const QString &input : files())
        names.append(outputPathFor(input));
    return namesDistinctFiles(names);
}

void Mp3ToWavJob::processFile(const QString &path)
{
    DecodeContext context(this);
    context.setVolumeScale(1.0f);
    // Nothing is created or overwritten before the input has been read: an existing WAV of
    // the same name survives an input that cannot be opened.
    Mp3Source input;
    if (!context.openInput(path, &input))
        return;
    context.setOutputPath(outputPathFor(path));
    // An input that already carries the output's name would be overwritten by its own WAV, and
    // two inputs of one title (Take.mp3, take.MP3) by each other's.
    bool taken = false;
    {
        const std::lock_guard lock(m_writtenMutex);
        taken = m_written.contains(context.outputPath());
    }
    if (isSameFile(path, context.outputPath()) || taken) {
        reportOpenError(context.outputPath());
        return;
    }

    // Written beside the output and renamed over it only when complete: a failure (a full
    // disk) leaves an existing WAV of that name as it was, and no half-written one.
    std::unique_ptr<ReplacementFile> replacement;
    std::unique_ptr<WaveFile> wave;
    QByteArray pcm;
    bool writeFailed = false;
    input.decode([&](const DecodedFrame &frame) {
        if (context.countFrame(frame) == DecodeFlow::Stop)
            return DecodeFlow::Stop;
        if (!wave) {
            context.takeFormat(frame);
            replacement = std::make_unique<ReplacementFile>(context.outputPath());
            wave = std::make_unique<WaveFile>();
            if (!replacement->isValid()
                || wave->open(replacement->path(), &context.format(), WaveFile::WriteMode) != WaveFile::Result::Success) {
                writeFailed = true;
                return DecodeFlow::Stop;
            }
        }
        // The WAV's format was fixed by the first frame; a later frame is converted to it.
        const int channels = context.format().channels;
        pcm.resize(static_cast<qsizetype>(channels) * frame.length * 2);
        convertFrame(frame, 1.0f, channels, pcm.data());
        std::uint32_t written = 0;
        if (wave->write(static_cast<std::uint32_t>(pcm.size()), pcm.constData(), &written) != WaveFile::Result::Success) {
            writeFailed = true;
            return DecodeFlow::Stop;
        }
        return DecodeFlow::Continue;
    });
    if (wave && wave->isOpen() && wave->close() != WaveFile::Result::Success)
        writeFailed = true;
    if (wave && !writeFailed && !replacement->commit())
        writeFailed = true;
    if (wave) {
        const std::lock_guard lock(m_writtenMutex);
        m_written.append(context.outputPath());
    }
    if (writeFailed)
        sink().showError(outputFailureText(context.outputPath()));
}

} // namespace sonavell
