#pragma once

#include <QString>

class QIODevice;

namespace sonavell {

constexpr int kMediaLengthFailed = -1;

// The playing length of the whole file in milliseconds, or kMediaLengthFailed when it cannot be
// opened (callers dividing by 1000 then see 0 seconds). The frame count of a Xing/Info or VBRI
// tag in the first frame is used when the tag's byte count matches the bytes present; otherwise
// every frame is walked, so the length is that of the frames present. Both give the same length
// for a stream whose tag is right.
int queryMediaLength(const QString &path);

// The same for an open random-access device, read from its start.
int mediaLengthMs(QIODevice &file);

// A length for the lists that reads at most the first 64 KB of frames: the tag's frame count
// as above; else, when those frames all have one bit rate, the audio's size at that rate
// (right to a frame or so for a constant-rate stream). settled is false when the frames' bit rates
// differ: the milliseconds are then a guess from their average, and only a walk
// (queryMediaLength) gives the length.
struct QuickLength
{
    int milliseconds = kMediaLengthFailed;
    bool settled = true;
};
QuickLength quickMediaLength(const QString &path);

} // namespace sonavell
