#include "process/reencode.h"

#include "mp3/medialength.h"
#include "process/batchjob.h"
#include "process/decodecontext.h"
#include "process/replacementfile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace sonavell {

namespace {

// The encoder writes bare frames; the original's tags go around them.
bool attachTags(const QString &path, const Mp3Layout &layout)
{
    if (layout.id3v2.isEmpty() && layout.id3v1.isEmpty())
        return true;
    QFile file(path);
    if (layout.id3v2.isEmpty()) {
        if (!file.open(QIODevice::Append))
            return false;
        return file.write(layout.id3v1) == layout.id3v1.size() && file.flush();
    }
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QByteArray body = file.readAll();
    const QByteArray whole = layout.id3v2 + body + layout.id3v1;
    return file.seek(0) && file.write(whole) == whole.size() && file.flush();
}

} // namespace

bool reencodeFile(BatchJob &job, const QString &path, int bitrateKbps, float volumeScale)
{
    DecodeContext context(&job);
    context.setBitrateKbps(bitrateKbps);
    context.setVolumeScale(volumeScale);
    context.setInputPath(path);
    context.setTotalSeconds(std::max(0, queryMediaLength(path)) / 1000);
    job.sink().timeRange(context.totalSeconds());

    // The whole input is in memory before the output exists.
    QByteArray image;
    if (!readWholeFile(path, &image)) {
        job.reportOpenError(path);
        return false;
    }
    const Mp3Layout layout = Mp3Layout::of(image);
    image.truncate(layout.audioEnd);
    image.remove(0, layout.audioBegin);

    // Replacing by rename would get past a write-protected file: it is refused as opening it would be.
    if (!QFileInfo(path).isWritable()) {
        job.sink().showError(Mp3Encoder::errorText(Mp3Encoder::Error::FileNotCreated));
        return false;
    }
    ReplacementFile output(path);
    if (!output.isValid()) {
        job.sink().showError(Mp3Encoder::errorText(Mp3Encoder::Error::FileNotCreated));
        return false;
    }
    context.setOutputPath(output.path());
    runDecoder(std::move(image), context.encodingHandler());
    if (!context.finishEncoder()) {
        job.sink().showError(Mp3Encoder::errorText(context.encoderError()));
        return false;
    }
    if (context.wasCancelled() || context.framesDecoded() == 0)
        return false;
    if (!attachTags(output.path(), layout) || !output.commit()) {
        job.sink().showError(Mp3Encoder::errorText(Mp3Encoder::Error::WriteFailed));
        return false;
    }
    return true;
}

} // namespace sonavell
