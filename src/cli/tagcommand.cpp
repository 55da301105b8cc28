// sonavell-cli tag: writes or removes the ID3v1 tag of MP3 files, as the player panel does.

#include "cli/clicommand.h"
#include "cli/jobrunner.h"

#include "core/mp3/id3v1tag.h"
#include "core/mp3/mp3fileinfo.h"

#include <algorithm>
#include <optional>

namespace sonavell::cli {
namespace {

// Byte widths of the tag's text fields; Latin-1 takes one byte per character.
constexpr qsizetype kTextBytes = 30;
constexpr qsizetype kYearBytes = 4;
constexpr qsizetype kCommentBytesBesideTrack = 28;

struct TagChanges
{
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> album;
    std::optional<QString> year;
    std::optional<QString> comment;
    std::optional<int> track;
    std::optional<int> genre;
    bool remove = false;

    bool any() const { return title || artist || album || year || comment || track || genre; }
};

// The tag holds Latin-1 bytes: other characters would turn into '?' and longer texts would be
// cut, so both are refused instead.
QString checkText(const QString &option, const QString &text, qsizetype width)
{
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; }))
        return QStringLiteral("%1: \"%2\" has characters outside Latin-1, the only text the tag stores")
            .arg(option, text);
    if (text.size() > width)
        return QStringLiteral("%1 is %2 bytes long; the tag has room for %3")
            .arg(option)
            .arg(text.size())
            .arg(width);
    return {};
}

// A genre by its number (0 … 255, 255 for none), by its name in any case, or "none".
std::optional<int> parseGenre(const QString &text)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (ok)
        return number >= 0 && number <= kNoGenre ? std::optional<int>(number) : std::nullopt;
    if (text.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return kNoGenre;
    for (int index = 0; index < kGenreCount; ++index) {
        if (text.compare(genreName(index), Qt::CaseInsensitive) == 0)
            return index;
    }
    return std::nullopt;
}

// Reads the file's tag, applies the changes and writes it back. Returns an error text.
QString retag(const QString &path, const TagChanges &changes)
{
    Mp3FileInfo info;
    // A typing error must not create a file holding only a tag.
    if (!info.scanFile(path, false))
        return QStringLiteral("cannot open %1").arg(path);
    if (changes.remove)
        return info.writeTag(path, true) ? QString()
                                         : QStringLiteral("cannot remove the tag of %1").arg(path);

    info.title = changes.title.value_or(info.title);
    info.artist = changes.artist.value_or(info.artist);
    info.album = changes.album.value_or(info.album);
    info.year = changes.year.value_or(info.year);
    info.comment = changes.comment.value_or(info.comment);
    info.track = changes.track.value_or(info.track);
    info.genre = changes.genre.value_or(info.genre);
    // A track number takes the comment's last two bytes; a kept comment would lose its end.
    if (info.track != 0 && info.comment.size() > kCommentBytesBesideTrack)
        return QStringLiteral("%1: the comment is %2 bytes long and a track number leaves room for %3; "
                              "give a shorter --comment or --track 0")
            .arg(path)
            .arg(info.comment.size())
            .arg(kCommentBytesBesideTrack);
    return info.writeTag(path, false) ? QString() : QStringLiteral("cannot write the tag of %1").arg(path);
}

int runTag(const QStringList &args)
{
    TagChanges changes;
    OptionReader reader(args);
    const auto text = [&](std::optional<QString> &field, const QString &option, qsizetype width) {
        field = reader.text();
        if (field) {
            if (const QString error = checkText(option, *field, width); !error.isEmpty())
                reader.fail(error);
        }
    };
    const bool read = reader.read([&](const QString &option) {
        if (option == QLatin1String("--title"))
            text(changes.title, option, kTextBytes);
        else if (option == QLatin1String("--artist"))
            text(changes.artist, option, kTextBytes);
        else if (option == QLatin1String("--album"))
            text(changes.album, option, kTextBytes);
        else if (option == QLatin1String("--year"))
            text(changes.year, option, kYearBytes);
        else if (option == QLatin1String("--comment"))
            text(changes.comment, option, kTextBytes);
        else if (option == QLatin1String("--track"))
            changes.track = reader.number(0, 255);
        else if (option == QLatin1String("--genre")) {
            const std::optional<QString> name = reader.text();
            changes.genre = name ? parseGenre(*name) : std::nullopt;
            if (name && !changes.genre)
                reader.fail(QStringLiteral(
                                "unknown genre \"%1\": give a name or number from \"sonavell-cli genres\", "
                                "or none")
                                .arg(*name));
        } else if (option == QLatin1String("--remove"))
            changes.remove = true;
        else
            return false;
        return true;
    });
    if (!read)
        return usageError("tag", reader.error());
    if (reader.files().isEmpty())
        return usageError("tag", QStringLiteral("no input file"));
    if (changes.remove && changes.any())
        return usageError("tag", QStringLiteral("--remove takes no field options"));
    if (!changes.remove && !changes.any())
        return usageError("tag", QStringLiteral("nothing to change: give a field option or --remove"));
    if (changes.comment && changes.track.value_or(0) != 0 &&
        changes.comment->size() > kCommentBytesBesideTrack)
        return usageError("tag",
                          QStringLiteral("--comment is %1 bytes long and a track number leaves room for %2")
                              .arg(changes.comment->size())
                              .arg(kCommentBytesBesideTrack));

    int exitCode = 0;
    for (const QString &path : reader.files()) {
        if (const QString error = retag(path, changes); !error.isEmpty()) {
            printError("tag", error);
            exitCode = 1;
        }
    }
    return exitCode;
}

const CommandRegistration registration({
    "tag",
    "[--title T] [--artist A] [--album B] [--year Y] [--comment C] [--track N] [--genre NAME|NUMBER] | "
    "--remove  FILE.mp3...",
    "Write the ID3v1 tag of each file: the fields given are set, the others keep the file's current values "
    "(a file without a tag starts from empty fields, track 0 and genre 255). --remove cuts the tag off "
    "instead. The audio is never changed.\n"
    "The tag stores Latin-1 text in fixed widths: title, artist, album and comment 30 bytes, year 4 bytes. "
    "A text with a character outside Latin-1, or longer than its width, is refused (exit 2) rather than "
    "changed. A track number (1 to 255; 0 for none) takes the comment's last two bytes, leaving 28: a "
    "longer comment is refused as well, and a file whose kept comment is too long is left as it was (exit "
    "1). "
    "--genre takes a number (0 to 255, 255 for none), a name from \"sonavell-cli genres\" in any case, or "
    "none. Missing files are not created.",
    runTag,
});

} // namespace
} // namespace sonavell::cli
