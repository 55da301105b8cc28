#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

namespace sonavell {

// Where the audio of an MP3 image lies between a leading ID3v2 block and the trailing tags
// (ID3v1, APEv2, Lyrics3, in the order they stand); both are kept so that a rewrite can carry
// them over byte for byte.
struct Mp3Layout
{
    QByteArray id3v2;
    QByteArray trailer;
    qsizetype audioBegin = 0;
    qsizetype audioEnd = 0;

    static Mp3Layout of(const QByteArray &image);
    // The same read from an open file's tags only; false when a read fails.
    static bool read(QIODevice &file, Mp3Layout *layout);
    QByteArray audio(const QByteArray &image) const { return image.mid(audioBegin, audioEnd - audioBegin); }
};

// Bit/s of the file's first audio frame, from the frame headers of at most its first 64 KB
// after the ID3v2 tags; 0 when it cannot be read or none is found there.
int firstFrameBitrate(const QString &path);

// The size of the leading ID3v2 tags of an open file, stacked ones included, as the frame
// search steps over them; -1 when a seek fails.
qint64 leadingTagsSize(QIODevice &file, qint64 size);

} // namespace sonavell
