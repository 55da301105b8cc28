#pragma once

#include <QtGlobal>

class QIODevice;

namespace sonavell {

// Where the tags that other programs append after the audio begin: any mix of an ID3v1 tag
// (always last), APEv2 tags (with or without their header) and Lyrics3 v1/v2 blocks. A rewrite
// carries the bytes from there to the end over unchanged, in their order; the frame walk stops
// there. audioBegin bounds the search (the end of a leading ID3v2 tag). Gives the device's
// size when nothing is appended.
qint64 trailingTagsBegin(QIODevice &device, qint64 audioBegin);

} // namespace sonavell
