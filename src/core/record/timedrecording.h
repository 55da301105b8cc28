#pragma once

#include "core/settings/recordersettings.h"

#include <QDateTime>
#include <QList>

#include <cstdint>

namespace sonavell {

class RecordingControl;

// What the schedule starts and stops. User-interface thread.
class ScheduledRecorder
{
public:
    virtual ~ScheduledRecorder() = default;
    virtual bool isRecording() const = 0;
    // The Record command: numbering starts again and a recording starts.
    virtual void record() = 0;
    virtual void stop() = 0;
};

// Seconds from the local time of day of `now` to that of `time` (seconds since the epoch),
// without wrapping at midnight: 23:59:59 seen at 00:00:00 is 86399 seconds away.
int timeOfDayDifference(std::int32_t time, const QDateTime &now);

// The one-second tick of timed recording. The start pass, then the end pass, each over the
// entries in order: the first entry within two seconds of `now` ends the pass, and only that
// entry may start (when idle) or stop (when recording). A tick that comes more than two
// seconds late misses its time for the day.
void checkSchedule(const QList<TimedRecording> &entries, const QDateTime &now, ScheduledRecorder &recorder);
void checkSchedule(const QList<TimedRecording> &entries, const QDateTime &now, RecordingControl &control);

// An entry's local time of day, and the same entry moved to another time of day on its own date.
QTime timeOfDay(std::int32_t time);
std::int32_t withTimeOfDay(std::int32_t time, const QTime &clock);

} // namespace sonavell
