// sonavell-cli join: makes one MP3 file of several, as the Joint command does.

#include "cli/clicommand.h"
#include "cli/jobrunner.h"

#include "core/process/joinjob.h"
#include "core/settings/recordersettings.h"

#include <algorithm>

namespace sonavell::cli {
namespace {

int runJoin(const QStringList &args)
{
    std::optional<QString> output;
    std::optional<int> bitRate;
    std::optional<int> rate;
    std::optional<int> channels;
    OptionReader reader(args);
    const bool read = reader.read([&](const QString &option) {
        if (option == QLatin1String("--output"))
            output = reader.text();
        else if (option == QLatin1String("--bitrate"))
            bitRate = reader.bitRate();
        else if (option == QLatin1String("--rate"))
            rate = reader.number(1, 48000);
        else if (option == QLatin1String("--channels"))
            channels = reader.number(1, 2);
        else
            return false;
        return true;
    });
    if (!read)
        return usageError("join", reader.error());
    if (!output || output->isEmpty())
        return usageError("join", QStringLiteral("--output is needed"));
    if (reader.files().isEmpty())
        return usageError("join", QStringLiteral("no input file"));
    const auto &rates = RecorderSettings::kSampleRates;
    if (rate && std::find(rates.begin(), rates.end(), *rate) == rates.end())
        return usageError("join", QStringLiteral("--rate takes 8000, 11025, 22050 or 44100"));

    JoinJob job(reader.files());
    job.setOutputPath(*output);
    // As the dialog preselects it: the first file's bit rate when it is a Data Rate entry.
    job.setBitrateKbps(bitRate ? *bitRate : bitRateLike(reader.files().first()));
    // Flags override the record setup for this run only; nothing is written back.
    WaveFormat target = settings().recordFormat();
    if (rate)
        target.samplesPerSec = static_cast<std::uint32_t>(*rate);
    if (channels)
        target.channels = static_cast<std::uint16_t>(*channels);
    job.setTargetFormat(target);
    return runJob("join", job);
}

const CommandRegistration registration({
    "join",
    "--output OUT.mp3 [--bitrate K] [--rate HZ] [--channels 1|2] FILE.mp3...",
    "Join the files, in order, into OUT.mp3 at K kbit/s (default: the first file's bit rate when it is a Data "
    "Rate entry, else the settings'), converted to the "
    "record setup's rate and channels unless --rate or --channels say otherwise.",
    runJoin,
});

} // namespace
} // namespace sonavell::cli
