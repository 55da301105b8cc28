#pragma once

#include "core/mp3/mpegheader.h"

#include <QString>

#include <cstdint>

namespace sonavell {

// One MP3 file as the lists, the player panel and the lossless cuts see it: the first frame's
// header fields, the playing time and the ID3v1 tag. A plain record: callers fill the tag
// fields and call writeTag(). Each record is used by one thread at a time.
struct Mp3FileInfo
{
    enum Flag : std::uint32_t {
        HasTag = 0x1,
        HasHeader = 0x2,
    };

    // An empty path leaves the record reset; any other is scanned with the media length.
    explicit Mp3FileInfo(const QString &path = QString());

    void reset();

    // Reads the first frame header, the playing time (when useMediaLength) and the ID3v1 tag.
    // False only when the file cannot be opened; the record then stays reset.
    bool scanFile(const QString &path, bool useMediaLength);

    // Copies, unchanged, the frames from the first one ending at or after startSeconds to the
    // first one ending at or after endSeconds. A Xing/Info or VBRI frame is not copied: it
    // describes the whole source. endSeconds below startSeconds gives an empty target.
    // When the first Layer III frame copied has main data in the frames before it (the bit
    // reservoir), those frames go along, as few as its exact decoding needs, behind a new Info
    // frame with LAME's extension whose encoder delay tells gapless decoders to skip them and
    // whose counts are the copy's; without such frames the copy is the bare frames.
    // False when the source cannot be opened, the target cannot be created or is the source
    // itself, or a write fails.
    bool copyFramesByTime(const QString &sourcePath, const QString &targetPath, float startSeconds,
                          float endSeconds);

    // Writes the tag fields over the file's tag, or appends them (creating a missing file);
    // with remove, cuts an existing tag off instead (a missing file is then not created).
    // An empty path means the record's own path. The audio before the tag is never changed.
    bool writeTag(const QString &path, bool remove);

    bool hasTag() const { return flags & HasTag; }
    bool hasHeader() const { return flags & HasHeader; }

    QString path;
    std::uint32_t flags = 0;
    QString artist;
    QString title;
    QString album;
    QString comment;
    QString year;
    int track = 0;
    int genre = 255;
    unsigned int frameCount = 0;
    int durationSeconds = 0;
    MpegVersion version = MpegVersion::Reserved;
    int layer = 0;
    int protectionBit = 0;
    int bitrateKbps = 0;
    int sampleRate = 0;
    int channelMode = 0;
    int emphasis = 0;
    int copyright = 0;
    int original = 0;
};

// "%d:%02d": minutes are not wrapped into hours (3600 gives "60:00"). Negative counts show 0:00.
QString formatMinutesSeconds(int seconds);

} // namespace sonavell
