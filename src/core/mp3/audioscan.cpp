#include "core/mp3/audioscan.h"

#include "core/mp3/framereader.h"

#include <QBuffer>

#include <cstdlib>

namespace sonavell {

namespace {

// At most a tenth of the audio part may be damage; real files with a few bad stretches pass.
constexpr int kFramePercentNeeded = 90;

} // namespace

bool AudioScan::holdsAudio() const
{
    if (frames == 0 || firstFrame < 0)
        return false;
    return frameBytes * 100 >= (audioEnd - firstFrame) * kFramePercentNeeded;
}

bool AudioScan::tagCountAgrees() const
{
    return !hasVbrHeader || !vbr.isValid() || std::llabs(qint64(vbr.frameCount) - frames) <= 1;
}

qint64 AudioScan::gaplessSamples() const
{
    if (!hasVbrHeader || !vbr.hasGapless() || !tagCountAgrees())
        return samples;
    const qint64 real = samples - vbr.encoderDelay - vbr.encoderPadding;
    return real > 0 ? real : samples;
}

AudioScan scanAudio(QIODevice &device)
{
    AudioScan scan;
    if (!device.seek(0))
        return scan;
    FrameReader reader(device);
    FrameWalker walker(reader);
    PlayingTime time;
    MpegFrame frame;
    while (walker.next(frame)) {
        if (scan.firstFrame < 0) {
            scan.firstFrame = frame.offset;
            scan.sampleRate = frame.sampleRate;
            scan.samplesPerFrame = frame.samples;
            scan.freeFormat = frame.freeFormat;
        }
        if (walker.startedRun() || scan.runs.empty())
            scan.runs.push_back({frame.offset, 0});
        scan.runs.back().length += frame.length;
        scan.frameBytes += frame.length;
        if (frame.isVbrHeader) {
            scan.hasVbrHeader = true;
            scan.vbr = frame.vbr;
            continue;
        }
        ++scan.frames;
        scan.samples += frame.samples;
        time.add(frame.samples, frame.sampleRate);
    }
    scan.audioBegin = walker.audioBegin();
    scan.audioEnd = walker.audioEnd();
    scan.leadingJunk = walker.leadingJunk();
    scan.damaged = walker.damaged();
    scan.seconds = time.seconds();
    return scan;
}

AudioScan scanAudio(const QByteArray &image)
{
    QBuffer buffer;
    buffer.setData(image);
    if (!buffer.open(QIODevice::ReadOnly))
        return AudioScan{};
    return scanAudio(buffer);
}

} // namespace sonavell
