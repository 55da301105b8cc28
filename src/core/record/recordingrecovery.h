#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace sonavell {

// The names a take gets: shared by Stop and by the recovery of interrupted recordings.
namespace recordnames {

// "yyyy-MM-dd-HH-mm", optionally followed by three digits (a second take in the same minute):
// the name a recording is written under until Stop renames it.
bool isTimeStampName(const QString &fileName);
// `path` itself when no file has that name; otherwise the first free name with "%03d" put
// before a ".mp3" ending (or at the end), e.g. take.mp3 -> take001.mp3. Empty when all are taken.
QString nextFreeName(const QString &path);

} // namespace recordnames

// What a file holds as MP3: the frames counted from the first frame on, and where they end.
struct Mp3Frames
{
    qint64 firstFrame = -1;    // offset of the first frame; -1 when the file holds no frame
    qint64 audioEnd = 0;       // end of the last whole frame
    qint64 fileSize = 0;
    int audioFrames = 0;       // frames that carry audio (a Xing/Info or LAME reserve frame not counted)
    bool tagFrame = false;     // the first frame is a Xing/Info tag or the blank frame LAME reserves for it
    bool tagCountRight = false;
    qint64 lengthMs = 0;       // playing time of the audio frames
};
Mp3Frames scanMp3Frames(const QString &path);

// One file dealt with by a recovery run.
struct RecoveredFile
{
    enum class Outcome {
        Recovered, // repaired, given its final name and worth listing
        Empty,     // held no audio at all; removed
        NotAudio,  // holds no MP3 frame; left as it is
        Failed,    // could not be repaired or renamed; left as it is
    };
    Outcome outcome = Outcome::Recovered;
    QString original;
    QString path; // the final name (the original when not renamed)
    qint64 lengthMs = 0;
    QString why;  // for Failed
};

struct RecoveryReport
{
    QList<RecoveredFile> files;

    bool isEmpty() const { return files.isEmpty(); }
    QStringList recoveredPaths() const;
    // One text naming every file and what became of it; empty when nothing was found.
    QString message() const;
};

// One recording: repaired as below and renamed to wantedTarget (".mp3" forced; the path itself
// when empty), or the next free name. Nothing when the file is gone or still being written.
std::optional<RecoveredFile> recoverRecording(const QString &path, const QString &wantedTarget);

// Finds recordings an interrupted run left behind and finishes them: files of the save folder
// named by the time stamp without an extension, and every recording a marker in markerFolder
// names. Each is cut after its last whole frame, gets an Info tag whose frame count is right,
// and is renamed as Stop would have named it (".mp3" forced, an existing file never replaced).
// A recording still being written by a live process (its encoder holds a lock on the file) is
// skipped.
// Runs to completion on the calling thread; a second run finds nothing to do.
RecoveryReport recoverRecordings(const QString &saveFolder, const QString &markerFolder);

} // namespace sonavell
