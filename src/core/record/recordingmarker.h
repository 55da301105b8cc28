#pragma once

#include <QList>
#include <QString>

namespace sonavell {

// A value file "Recording-<process>-<n>.dat" in the marker folder that says a recording is in
// progress: the file being written and the name it is meant to get. Written before the file is
// created and removed once the file has its final name, so one left behind names a recording
// that a crash, a kill or a power cut interrupted. User-interface (or command-line main) thread.
class RecordingMarker
{
public:
    struct Entry
    {
        QString markerPath;
        QString recordPath; // the file being written
        QString target;     // the name it was meant to get; may be empty
    };

    RecordingMarker() = default;
    RecordingMarker(const RecordingMarker &) = delete;
    RecordingMarker &operator=(const RecordingMarker &) = delete;
    // Leaves the file in place: only remove() takes it away.
    ~RecordingMarker() = default;

    bool write(const QString &folder, const QString &recordPath, const QString &target);
    void remove();
    bool isWritten() const { return !m_path.isEmpty(); }

    // Every marker in the folder, oldest name first; unreadable ones are left out.
    static QList<Entry> list(const QString &folder);

private:
    QString m_path;
};

} // namespace sonavell
