#pragma once

#include <QtGlobal>

#include <cstdint>

class QIODevice;

namespace sonavell {

class FrameReader;

// Start positions tried by one search after its skip: the first and 10000 more.
constexpr qint64 kFrameSyncPositions = 10001;

// Searches byte by byte for the next frame sync word, after first moving forward by skipBytes
// (when positive). A search that starts at the beginning of the file first steps over any
// ID3v2 tags by their declared sizes: cover art makes them far longer than the search window.
// On success header holds the four header bytes (big-endian) and the position is just past
// them; otherwise header is 0 and the position is unspecified.
bool findFrameSync(FrameReader &reader, std::uint32_t &header, qint64 skipBytes);
// The same on an open random-access device, leaving the device at the position described.
bool findFrameSync(QIODevice &file, std::uint32_t &header, qint64 skipBytes);

// The whole size of the ID3v2 tag starting at bytes (header, body and footer), or 0 when the
// bytes do not start one. Needs the first 10 bytes; fewer give 0.
// How many ID3v2 tags in a row are stepped over at the start of a file.
constexpr int kMaxLeadingId3v2Tags = 64;
qint64 id3v2TagSize(const unsigned char *bytes, qint64 count);
// Steps over consecutive ID3v2 tags at the reader's position.
void skipId3v2Tags(FrameReader &reader);

} // namespace sonavell
