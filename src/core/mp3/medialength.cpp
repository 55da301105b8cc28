#include "core/mp3/medialength.h"

#include "core/files/regularfile.h"
#include "core/mp3/framereader.h"
#include "core/mp3/framewalker.h"

#include <QFile>

#include <algorithm>
#include <climits>

namespace sonavell {

namespace {

// A tag left in a file that was later cut (by a tool that copied it along) claims more frames
// than the rest of the file can hold even at the lowest bitrate; such a count is not used.
bool isPlausible(const MpegFrame &first, qint64 bytesAfter)
{
    const int lowestBitrate = mpeg::bitrateKbps(first.version, first.layer, 1);
    const int smallestFrame = mpeg::frameLength(first.version, first.layer, lowestBitrate, first.sampleRate, 0);
    return first.vbr.isValid() && smallestFrame > 0 && qint64(first.vbr.frameCount) * smallestFrame <= bytesAfter;
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
    FrameReader reader(file);
    FrameWalker walker(reader);
    PlayingTime time;
    MpegFrame frame;
    bool first = true;
    while (walker.next(frame)) {
        if (first && frame.isVbrHeader) {
            if (isPlausible(frame, reader.end() - frame.offset - frame.length)) {
                time.add(qint64(frame.vbr.frameCount) * frame.samples, frame.sampleRate);
                return clampToInt(time.milliseconds());
            }
        } else {
            time.add(frame.samples, frame.sampleRate);
        }
        first = false;
    }
    return clampToInt(time.milliseconds());
}

int queryMediaLength(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file, QIODevice::Unbuffered))
        return kMediaLengthFailed;
    return mediaLengthMs(file);
}

} // namespace sonavell
