#include "core/process/trimjob.h"

#include "core/encode/mp3encoder.h"
#include "core/mp3/audioscan.h"
#include "core/mp3/medialength.h"
#include "core/mp3/mp3fileinfo.h"
#include "core/process/decodecontext.h"
#include "core/process/inplacerewrite.h"

#include <QFile>
#include <QFileInfo>

namespace sonavell {

QString TrimJob::tooShortMessage(const QString &path)
{
    return QStringLiteral("File %1 is too short to trim; it was left unchanged").arg(path);
}

void TrimJob::processFile(const QString &path)
{
    if (m_recode)
        trimRecoded(path);
    else
        trimCopied(path);
}

bool TrimJob::trimRecoded(const QString &path)
{
    QFile file(path);
    // A file that cannot be read is not a short one: the start length stays as it is.
    if (!file.open(QIODevice::ReadOnly)) {
        reportOpenError(path);
        return false;
    }
    // The decoder hands over the real audio, without the encoder's delay and padding: the
    // window is measured on the same audio.
    const AudioScan scan = scanAudio(file);
    file.close();
    if (!scan.holdsAudio()) {
        sink().showError(InPlaceRewrite::notAudioMessage(path));
        return false;
    }
    const double total = scan.playingSeconds();
    const int lengthMs = static_cast<int>(total * 1000);
    if (total < m_startTrimSeconds)
        m_startTrimSeconds = total;
    const double windowStart = m_startTrimSeconds;
    const double windowEnd = total - m_endTrimSeconds;
    if (windowStart >= windowEnd) {
        sink().showError(tooShortMessage(path));
        return false;
    }

    DecodeContext context(this);
    context.setBitrateKbps(m_bitrateKbps);
    context.setVolumeScale(1.0f);
    context.setInputPath(path);
    context.setTotalSeconds(lengthMs / 1000);
    sink().timeRange(static_cast<int>(windowEnd));
    bool endReached = false;
    const bool rewritten = decodeInPlace(*this, path, context, [&](const DecodedFrame &frame) {
        if (endReached || context.countFrame(frame) == DecodeFlow::Stop)
            return DecodeFlow::Stop;
        // Timed by its end, as the copy is: the frame that reaches a limit is kept.
        const double end = context.elapsed();
        if (end < windowStart)
            return DecodeFlow::Continue;
        endReached = end >= windowEnd;
        return context.writeFrame(frame);
    });
    // Decoded frames, none of them in the window: the measured length was wrong.
    if (!rewritten && context.framesDecoded() > 0 && context.framesEncoded() == 0 && !context.wasCancelled())
        sink().showError(tooShortMessage(path));
    return rewritten;
}

bool TrimJob::trimCopied(const QString &path)
{
    InPlaceRewrite rewrite(*this, path);
    if (!rewrite.checkAudio())
        return false;
    const int lengthMs = queryMediaLength(path);
    if (lengthMs == kMediaLengthFailed) {
        reportOpenError(path);
        return false;
    }
    const double length = lengthMs / 1000.0;
    sink().timeRange(lengthMs / 1000);
    if (length < m_startTrimSeconds) {
        sink().showError(tooShortMessage(path));
        return false;
    }
    const float start = static_cast<float>(m_startTrimSeconds);
    float end = static_cast<float>(length - m_endTrimSeconds);
    // Lengths that overlap keep about one second from the start on.
    if (end < start)
        end = start + 1;

    if (!rewrite.readTags())
        return false;
    Mp3FileInfo copier;
    if (!copier.copyFramesByTime(path, rewrite.outputPath(), start, end)) {
        sink().showError(Mp3Encoder::errorText(Mp3Encoder::Error::WriteFailed));
        return false;
    }
    if (QFileInfo(rewrite.outputPath()).size() == 0) {
        sink().showError(tooShortMessage(path));
        return false;
    }
    sink().timeReached(lengthMs / 1000);
    return rewrite.commit();
}

} // namespace sonavell
