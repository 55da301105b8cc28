// sonavell-cli info: what the file list and the player panel know about MP3 files.

#include "cli/clicommand.h"
#include "cli/jobrunner.h"

#include "core/io/regularfile.h"
#include "core/mp3/medialength.h"
#include "core/mp3/mp3fileinfo.h"

#include <cstdio>

namespace sonavell::cli {
namespace {

// One value per line: a backslash and control characters (a newline in a tag or a file name)
// are written as \\ and \xNN, so that every field stays on its own line.
QByteArray escaped(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (byte < 0x20 || byte == 0x7F)
            out += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0')).toLatin1();
        else
            out += c;
    }
    return out;
}

void printField(const char *name, const QString &value)
{
    std::printf("%s: %s\n", name, escaped(value).constData());
}

void printField(const char *name, long long value)
{
    std::printf("%s: %lld\n", name, value);
}

void printInfo(const Mp3FileInfo &info, int lengthMs)
{
    // In the order of the record's fields.
    printField("path", info.path);
    printField("flags", info.flags);
    printField("artist", info.artist);
    printField("title", info.title);
    printField("album", info.album);
    printField("comment", info.comment);
    printField("year", info.year);
    printField("track", info.track);
    printField("genre", info.genre);
    printField("frameCount", info.frameCount);
    printField("durationSeconds", info.durationSeconds);
    printField("version", static_cast<int>(info.version));
    printField("layer", info.layer);
    printField("protectionBit", info.protectionBit);
    printField("bitrateKbps", info.bitrateKbps);
    printField("sampleRate", info.sampleRate);
    printField("channelMode", info.channelMode);
    printField("emphasis", info.emphasis);
    printField("copyright", info.copyright);
    printField("original", info.original);
    printField("lengthMs", lengthMs);
}

int runInfo(const QStringList &args)
{
    OptionReader reader(args);
    if (!reader.read([](const QString &) { return false; }))
        return usageError("info", reader.error());
    if (reader.files().isEmpty())
        return usageError("info", QStringLiteral("no input file"));

    int exitCode = 0;
    bool first = true;
    for (const QString &path : reader.files()) {
        Mp3FileInfo info;
        // The length is measured once and gives both durationSeconds and lengthMs, as a scan
        // with the media length would.
        if (!info.scanFile(path, false)) {
            const QString why = notRegularFileText(path);
            printError("info", why.isEmpty() ? QStringLiteral("cannot open %1").arg(path) : why);
            exitCode = 1;
            continue;
        }
        const int lengthMs = queryMediaLength(path);
        info.durationSeconds = lengthMs / 1000;
        if (!first)
            std::printf("\n");
        first = false;
        printInfo(info, lengthMs);
        std::fflush(stdout);
    }
    return exitCode;
}

const CommandRegistration registration({
    "info",
    "FILE.mp3...",
    "Print what is known of each file, one \"name: value\" line per field, with a blank line between "
    "files: its first frame header (version 3 is MPEG-1, 2 MPEG-2, 1 MPEG-2.5; channelMode 0 stereo, 1 joint "
    "stereo, 2 dual channel, 3 single channel), the ID3v1 tag (genre 255 and track 0 mean none; flags has 1 "
    "when a tag was read and 2 when a frame header was found) and the playing length in whole seconds "
    "(durationSeconds) and in milliseconds (lengthMs).\n"
    "Texts are printed in UTF-8; a backslash is printed as \\\\ and control characters as \\xNN.",
    runInfo,
});

} // namespace
} // namespace sonavell::cli
