// sonavell-cli cut: copies the frames of an MP3 file between two times into a new file, as the
// cut-and-play editor saves a selection with the original bit rate.

#include "cli/clicommand.h"
#include "cli/jobrunner.h"
#include "core/io/filemove.h"

#include "core/mp3/mp3fileinfo.h"
#include "core/process/replacementfile.h"

#include <QFileInfo>

namespace sonavell::cli {
namespace {

// Ten days: far past any file, and still exact as the copy's 32-bit float times.
constexpr double kLatestSecond = 864000.0;

int runCut(const QStringList &args)
{
    double from = 0.0;
    std::optional<double> to;
    OptionReader reader(args);
    const bool read = reader.read([&](const QString &option) {
        if (option == QLatin1String("--from"))
            from = reader.decimal(0.0, kLatestSecond).value_or(from);
        else if (option == QLatin1String("--to"))
            to = reader.decimal(0.0, kLatestSecond);
        else
            return false;
        return true;
    });
    if (!read)
        return usageError("cut", reader.error());
    if (reader.files().size() != 2)
        return usageError("cut", QStringLiteral("give one MP3 file to cut from and one to write"));
    if (to && *to < from)
        return usageError("cut", QStringLiteral("--to must not lie before --from"));
    const QString input = reader.files()[0];
    const QString output = reader.files()[1];
    if (isSameFile(input, output))
        return usageError("cut", QStringLiteral("%1 would overwrite the file it is cut from").arg(output));
    if (!QFileInfo(input).isFile()) {
        printError("cut", QStringLiteral("Open File %1 Error").arg(input));
        return 1;
    }

    // Written beside the output and renamed over it only when whole, so that a failed cut
    // leaves an existing output as it was.
    ReplacementFile replacement(output);
    if (!replacement.isValid()) {
        printError("cut", QStringLiteral("%1: the file could not be created").arg(output));
        return 1;
    }
    Mp3FileInfo copier;
    if (!copier.copyFramesByTime(input, replacement.path(), static_cast<float>(from),
                                 static_cast<float>(to.value_or(kLatestSecond)))) {
        printError("cut", QStringLiteral("%1: the frames could not be copied to %2").arg(input, output));
        return 1;
    }
    if (QFileInfo(replacement.path()).size() == 0) {
        printError("cut", QStringLiteral("%1: no MP3 frames from %2 s on; %3 was not written")
                              .arg(input)
                              .arg(from)
                              .arg(output));
        return 1;
    }
    if (!replacement.commit()) {
        printError("cut", QStringLiteral("%1: the file could not be written").arg(output));
        return 1;
    }
    return 0;
}

const CommandRegistration registration({
    "cut",
    "[--from S] [--to S] IN.mp3 OUT.mp3",
    "Copy the MP3 frames of IN.mp3 from S seconds (decimals allowed, default 0) to S seconds (default: "
    "the end) into OUT.mp3 unchanged, without decoding: the first frame kept is the one playing at --from, "
    "the last the one playing at --to. When the first kept frame's data begins in the frames before it, "
    "those go along, marked as encoder delay in an Info frame so that gapless players skip them. Tags "
    "are not copied. OUT.mp3 is overwritten; it may not be IN.mp3.",
    runCut,
});

} // namespace
} // namespace sonavell::cli
