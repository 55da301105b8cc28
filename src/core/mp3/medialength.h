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

} // namespace sonavell
