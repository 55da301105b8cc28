#include "core/mp3/medialength.h"

#include "core/io/regularfile.h"
#include "core/mp3/audioscan.h"
#include "core/mp3/framereader.h"
#include "core/mp3/framewalker.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace sonavell {

namespace {

// A tag's frame count is used only when its byte count matches the bytes that follow the tag
// frame: a file cut short by a tool that copied the tag along, or one with more appended,
// would otherwise be timed by frames it does not hold. A tag without a byte count is not
// trusted either; the frames are walked.
bool isTrustworthy(const MpegFrame &first, qint64 bytesFromTag)
{
    if (!first.vbr.isValid() || first.vbr.streamBytes == 0)
        return false;
    const qint64 tolerance = std::max<qint64>(2 * first.length, bytesFromTag / 200);
    return std::llabs(qint64(first.vbr.streamBytes) - bytesFromTag) <= tolerance;
}

int clampToInt(qint64 milliseconds)
{
    return int(std::min<qint64>(milliseconds, INT_MAX));
}

} // namespace

int mediaLengthMs(QIODevice &file)
{
    if (!file.seek(0))
        return kMediaLengthFailed;
    {
        FrameReader reader(file);
        FrameWalker walker(reader);
        MpegFrame first;
        if (!walker.next(first))
            return 0;
        if (first.isVbrHeader && isTrustworthy(first, walker.audioEnd() - first.offset)) {
            PlayingTime time;
            time.add(qint64(first.vbr.frameCount) * first.samples, first.sampleRate);
            return clampToInt(time.milliseconds());
        }
    }
    const AudioScan scan = scanAudio(file);
    return clampToInt(std::llround(scan.seconds * 1000.0));
}

QuickLength quickMediaLength(const QString &path)
{
    constexpr qint64 kProbeBytes = 64 * 1024;
    QFile file(path);
    if (!openRegularFile(file, QIODevice::Unbuffered))
        return {};
    FrameReader reader(file);
    FrameWalker walker(reader);
    PlayingTime time;
    MpegFrame frame;
    bool first = true;
    qint64 audioBegin = -1;
    qint64 rateSum = 0;
    qint64 probed = 0; // bytes of the frames walked
    int frames = 0;
    bool oneRate = true;
    bool cut = false;
    while (walker.next(frame)) {
        if (first && frame.isVbrHeader) {
            if (isTrustworthy(frame, walker.audioEnd() - frame.offset)) {
                time.add(qint64(frame.vbr.frameCount) * frame.samples, frame.sampleRate);
                return {clampToInt(time.milliseconds()), true};
            }
        } else {
            if (audioBegin < 0)
                audioBegin = frame.offset;
            else if ((cut = frame.offset - audioBegin >= kProbeBytes))
                break;
            oneRate = oneRate && (frames == 0 || frame.bitrateKbps * frames == rateSum);
            rateSum += frame.bitrateKbps;
            probed = frame.offset + frame.length - audioBegin;
            ++frames;
            time.add(frame.samples, frame.sampleRate);
        }
        first = false;
    }
    // Every frame was read: the length is the walked one.
    if (!cut)
        return {clampToInt(time.milliseconds()), true};
    const qint64 audioEnd = walker.audioEnd(); // before the trailing tags
    // The walked frames' time, scaled by the audio's size over theirs: for one bit rate that is
    // the size at that rate, padding included.
    const double scale = double(audioEnd - audioBegin) / double(probed);
    return {clampToInt(qint64(double(time.milliseconds()) * scale + 0.5)), oneRate};
}

int queryMediaLength(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file, QIODevice::Unbuffered))
        return kMediaLengthFailed;
    return mediaLengthMs(file);
}

} // namespace sonavell
