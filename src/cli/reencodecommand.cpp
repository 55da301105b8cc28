// sonavell-cli reencode: encodes MP3 files again in place at another bit rate and volume, as
// the Change bitrate/Volume command does.

#include "cli/clicommand.h"
#include "cli/jobrunner.h"

#include "core/process/reencodejob.h"

namespace sonavell::cli {
namespace {

int runReencode(const QStringList &args)
{
    std::optional<int> bitRate;
    double volume = 1.0;
    std::optional<int> jobs;
    OptionReader reader(args);
    const bool read = reader.read([&](const QString &option) {
        if (option == QLatin1String("--bitrate"))
            bitRate = reader.bitRate();
        else if (option == QLatin1String("--volume"))
            volume = reader.decimal(0.1, 10.0).value_or(volume);
        else if (option == QLatin1String("--jobs"))
            jobs = reader.jobCount();
        else
            return false;
        return true;
    });
    if (!read)
        return usageError("reencode", reader.error());
    if (reader.files().isEmpty())
        return usageError("reencode", QStringLiteral("no input file"));

    ReencodeJob job(reader.files());
    // As the dialog preselects it.
    job.setBitrateKbps(bitRate ? *bitRate : bitRateLike(reader.files().first()));
    job.setVolumeScale(static_cast<float>(volume));
    job.setParallelFiles(jobs.value_or(0));
    return runJob("reencode", job);
}

const CommandRegistration registration({
    "reencode",
    "[--bitrate K] [--volume V] [--jobs J] FILE.mp3...",
    "Decode each file and encode it again in place at K kbit/s with every sample scaled by V (0.1 to 10, "
    "default 1), keeping its sample rate, channels and tags. K defaults to the first file's bit rate when it "
    "is a Data Rate entry, else to the settings' bit rate."
    " Up to J files are worked on at once (default: one per processor core).\n"
    "A file is replaced only when its new version is complete: a failure or Ctrl+C leaves it as it was.",
    runReencode,
});

} // namespace
} // namespace sonavell::cli
