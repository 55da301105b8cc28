#pragma once

#include <QString>

#include <array>

namespace sonavell {

struct Mp3FileInfo;

// The ID3v1 tag: the last 128 bytes of the file. Offsets: "TAG" 0, title 3, artist 33,
// album 63, year 93, comment 97 (30 bytes; ID3v1.1: 28 bytes, byte 125 zero and the track
// number in byte 126), genre 127. Texts are Latin-1 on disk, zero padded.
constexpr int kId3v1TagSize = 128;
using Id3v1Tag = std::array<unsigned char, kId3v1TagSize>;

constexpr int kGenreCount = 148;
constexpr int kNoGenre = 255;

// The genre's name, or an empty string for indexes outside the table (255 = none).
QString genreName(int index);

// Fills the tag fields of info and sets its tag flag when the bytes are a tag; count below
// 128 or a missing "TAG" leave info untouched and give false.
bool readId3v1Tag(const unsigned char *bytes, qint64 count, Mp3FileInfo &info);

// The 128 bytes for info's tag fields: texts cut to their widths, the comment to 28 bytes when
// a track number is written, the track clamped to 0 ... 255, the genre's low byte.
Id3v1Tag buildId3v1Tag(const Mp3FileInfo &info);

} // namespace sonavell
