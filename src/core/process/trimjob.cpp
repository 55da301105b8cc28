#include "core/process/trimjob.h"

#include "core/encode/mp3encoder.h"
#include "core/mp3/medialength.h"
#include "core/mp3/mp3fileinfo.h"
#include "core/process/decodecontext.h"
#include "core/process/inplacerewrite.h"

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
    const int lengthMs = queryMediaLength(path);
    // A file that cannot be read is not a short one: the start length stays as it is.
    if (lengthMs == kMediaLengthFailed) {
        reportOpenError(path);
        return false;
    }
    const int total = lengthMs / 1000;
    if (total < m_startTrimSeconds)
        m_startTrimSeconds = total;
    const int windowStart = m_startTrimSeconds;
    const int windowEnd = total - m_endTrimSeconds;
    if (windowStart >= windowEnd) {
        sink().showError(tooShortMessage(path));
        return false;
    }

    DecodeContext context(this);
    context.setBitrateKbps(m_bitrateKbps);
    context.setVolumeScale(1.0f);
    context.setInputPath(path);
    context.setTotalSeconds(total);
    sink().timeRange(windowEnd);
    const bool rewritten = decodeInPlace(*this, path, context, [&](const DecodedFrame &frame) {
        if (context.countFrame(frame) == DecodeFlow::Stop)
            return DecodeFlow::Stop;
        if (context.elapsedSeconds() < windowStart)
            return DecodeFlow::Continue;
        if (context.elapsedSeconds() >= windowEnd)
            return DecodeFlow::Stop;
        return context.writeFrame(frame);
    });
    // Decoded frames, none of them in the window: the measured length was wrong.
    if (!rewritten && context.framesDecoded() > 0 && context.framesEncoded() == 0 && !context.wasCancelled())
        sink().showError(tooShortMessage(path));
    return rewritten;
}

bool TrimJob::trimCopied(const QString &path)
{
    Mp3FileInfo scanned;
    if (!scanned.scanFile(path, true)) {
        reportOpenError(path);
        return false;
    }
    const int length = scanned.durationSeconds;
    sink().timeRange(length);
    if (length < m_startTrimSeconds) {
        sink().showError(tooShortMessage(path));
        return false;
    }
    const float start = static_cast<float>(m_startTrimSeconds);
    float end = static_cast<float>(length - m_endTrimSeconds);
    // Lengths that overlap keep about one second from the start on.
    if (end < start)
        end = start + 1;

    InPlaceRewrite rewrite(*this, path);
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
    sink().timeReached(length);
    return rewrite.commit();
}

} // namespace sonavell
