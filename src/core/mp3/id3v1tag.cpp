#include "core/mp3/id3v1tag.h"

#include "core/mp3/mp3fileinfo.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace sonavell {

namespace {

constexpr int kTitleAt = 3;
constexpr int kArtistAt = 33;
constexpr int kAlbumAt = 63;
constexpr int kYearAt = 93;
constexpr int kCommentAt = 97;
constexpr int kTrackMarkerAt = 125;
constexpr int kTrackAt = 126;
constexpr int kGenreAt = 127;
constexpr int kTextWidth = 30;
constexpr int kYearWidth = 4;
constexpr int kShortCommentWidth = 28;

// Index order is the tag's own numbering, so the table may only ever grow at its end.
constexpr const char *kGenreNames[kGenreCount] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip Hop",
    "Vocal", "Jazz Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game",
    "Sound Clip", "Gospel", "Noise", "Alternative Rock", "Bass", "Soul", "Punk", "Space", "Meditative",
    "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial",
    "Electronic", "Pop Folk", "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta",
    "Top 40", "Christian Rap", "Pop Funk", "Jungle", "Native American", "Cabaret", "New Wave",
    "Psychadelic", "Rave", "ShowTunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka",
    "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk", "Folk Rock", "National Folk", "Swing",
    "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock",
    "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Big Band", "Chorus",
    "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata",
    "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba",
    "Folklore", "Ballad", "Power Ballad", "Rhytmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo",
    "A Capella", "Euro House", "Dance Hall", "Goa", "Drum & Bass", "Club House", "Hardcore", "Terror",
    "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Trash Metal", "Anime", "JPop", "SynthPop",
};

// A field ends at its first zero byte or at its width.
QString readText(const unsigned char *bytes, int width)
{
    const auto *end = static_cast<const unsigned char *>(std::memchr(bytes, 0, size_t(width)));
    const qsizetype length = end ? end - bytes : width;
    return QString::fromLatin1(reinterpret_cast<const char *>(bytes), length);
}

// Characters outside Latin-1 become '?'; the field keeps its zero padding.
void writeText(Id3v1Tag &tag, int at, int width, const QString &text)
{
    const QByteArray latin1 = text.left(width).toLatin1();
    std::memcpy(tag.data() + at, latin1.constData(), size_t(std::min<qsizetype>(latin1.size(), width)));
}

} // namespace

QString genreName(int index)
{
    if (index < 0 || index >= kGenreCount)
        return QString();
    return QString::fromLatin1(kGenreNames[index]);
}

bool readId3v1Tag(const unsigned char *bytes, qint64 count, Mp3FileInfo &info)
{
    if (count < kId3v1TagSize || std::memcmp(bytes, "TAG", 3) != 0)
        return false;
    info.title = readText(bytes + kTitleAt, kTextWidth);
    info.artist = readText(bytes + kArtistAt, kTextWidth);
    info.album = readText(bytes + kAlbumAt, kTextWidth);
    info.year = readText(bytes + kYearAt, kYearWidth);
    if (bytes[kTrackMarkerAt] != 0) {
        info.comment = readText(bytes + kCommentAt, kTextWidth);
        info.track = 0;
    } else {
        info.comment = readText(bytes + kCommentAt, kShortCommentWidth);
        info.track = bytes[kTrackAt];
    }
    info.genre = bytes[kGenreAt];
    info.flags |= Mp3FileInfo::HasTag;
    return true;
}

Id3v1Tag buildId3v1Tag(const Mp3FileInfo &info)
{
    Id3v1Tag tag{};
    std::memcpy(tag.data(), "TAG", 3);
    writeText(tag, kTitleAt, kTextWidth, info.title);
    writeText(tag, kArtistAt, kTextWidth, info.artist);
    writeText(tag, kAlbumAt, kTextWidth, info.album);
    writeText(tag, kYearAt, kYearWidth, info.year);
    writeText(tag, kCommentAt, info.track != 0 ? kShortCommentWidth : kTextWidth, info.comment);
    if (info.track != 0)
        tag[kTrackAt] = static_cast<unsigned char>(std::clamp(info.track, 0, 255));
    tag[kGenreAt] = static_cast<unsigned char>(info.genre & 0xFF);
    return tag;
}

} // namespace sonavell
