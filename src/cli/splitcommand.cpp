// sonavell-cli split: cuts MP3 files into parts of equal playing time, as the Split command does.

#include "cli/clicommand.h"
#include "cli/jobrunner.h"

#include "core/process/splitjob.h"

namespace sonavell::cli {
namespace {

int runSplit(const QStringList &args)
{
    std::optional<int> parts;
    double volume = 1.0;
    std::optional<int> jobs;
    OptionReader reader(args);
    const bool read = reader.read([&](const QString &option) {
        if (option == QLatin1String("--parts"))
            parts = reader.number(2, 100);
        else if (option == QLatin1String("--volume"))
            volume = reader.decimal(0.1, 10.0).value_or(volume);
        else if (option == QLatin1String("--jobs"))
            jobs = reader.jobCount();
        else
            return false;
        return true;
    });
    if (!read)
        return usageError("split", reader.error());
    if (!parts)
        return usageError("split", QStringLiteral("--parts is needed"));
    if (reader.files().isEmpty())
        return usageError("split", QStringLiteral("no input file"));

    SplitJob job(reader.files());
    job.setPartCount(*parts);
    job.setVolumeScale(static_cast<float>(volume));
    job.setParallelFiles(jobs.value_or(0));
    return runJob("split", job);
}

const CommandRegistration registration({
    "split",
    "--parts N [--volume V] [--jobs J] FILE.mp3...",
    "Cut each file into N parts (2 to 100) of equal playing time, written beside it as name_1.mp3, "
    "name_2.mp3, ... (the name in lower case), at the file's own bit rate with the volume scaled by V "
    "(0.1 to 10, default 1)."
    " Up to J files are worked on at once (default: one per processor core).",
    runSplit,
});

} // namespace
} // namespace sonavell::cli
