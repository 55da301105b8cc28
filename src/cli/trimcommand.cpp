// sonavell-cli trim: cuts lengths off the start and end of MP3 files in place, as the Trim
// command does.

#include "cli/clicommand.h"
#include "cli/jobrunner.h"

#include "core/process/trimjob.h"
#include "core/settings/recordersettings.h"

namespace sonavell::cli {
namespace {

// The dialog's hours, minutes and seconds fields go up to 60 each.
constexpr int kMostSeconds = 60 * 3600 + 60 * 60 + 60;

int runTrim(const QStringList &args)
{
    double start = 10;
    double end = 10;
    bool recode = false;
    std::optional<int> bitRate;
    OptionReader reader(args);
    const bool read = reader.read([&](const QString &option) {
        if (option == QLatin1String("--start"))
            start = reader.decimal(0, kMostSeconds).value_or(start);
        else if (option == QLatin1String("--end"))
            end = reader.decimal(0, kMostSeconds).value_or(end);
        else if (option == QLatin1String("--recode"))
            recode = true;
        else if (option == QLatin1String("--bitrate"))
            bitRate = reader.bitRate();
        else
            return false;
        return true;
    });
    if (!read)
        return usageError("trim", reader.error());
    if (reader.files().isEmpty())
        return usageError("trim", QStringLiteral("no input file"));
    if (bitRate && !recode)
        return usageError("trim", QStringLiteral("--bitrate needs --recode: a copy keeps the frames as they are"));

    TrimJob job(reader.files());
    job.setStartTrimSeconds(start);
    job.setEndTrimSeconds(end);
    job.setRecode(recode);
    job.setBitrateKbps(bitRate.value_or(settings().bitRate()));
    return runJob("trim", job);
}

const CommandRegistration registration({
    "trim",
    "[--start S] [--end S] [--recode [--bitrate K]] FILE.mp3...",
    "Cut S seconds (default 10, fractions allowed) off the start and the end of each file, in place. Frames are copied as "
    "they are unless --recode, which encodes the rest again at K kbit/s (default: the settings').",
    runTrim,
});

} // namespace
} // namespace sonavell::cli
