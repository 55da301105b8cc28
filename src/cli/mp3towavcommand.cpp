// sonavell-cli mp3towav: decodes MP3 files into 16-bit WAV files, as the Mp3 to Wav command does.

#include "cli/clicommand.h"
#include "cli/jobrunner.h"
#include "core/io/filemove.h"

#include "core/process/mp3towavjob.h"

#include <QFileInfo>
#include <QHash>

namespace sonavell::cli {
namespace {

int runMp3ToWav(const QStringList &args)
{
    std::optional<QString> folder;
    std::optional<int> jobs;
    OptionReader reader(args);
    const bool read = reader.read([&](const QString &option) {
        if (option == QLatin1String("--output-dir"))
            folder = reader.text();
        else if (option == QLatin1String("--jobs"))
            jobs = reader.jobCount();
        else
            return false;
        return true;
    });
    if (!read)
        return usageError("mp3towav", reader.error());
    if (!folder || folder->isEmpty())
        return usageError("mp3towav", QStringLiteral("--output-dir is needed"));
    if (reader.files().isEmpty())
        return usageError("mp3towav", QStringLiteral("no input file"));
    if (!QFileInfo(*folder).isDir()) {
        printError("mp3towav", QStringLiteral("%1 is not a folder").arg(*folder));
        return 1;
    }

    Mp3ToWavJob job(reader.files());
    job.setOutputFolder(*folder);
    job.setParallelFiles(jobs.value_or(0));
    // Names are lower-cased, so Talk.mp3 and talk.MP3 would write one WAV, the second over the
    // first; and an input named like its own output would be overwritten by it.
    QHash<QString, QString> inputOf;
    for (const QString &input : reader.files()) {
        const QString output = job.outputPathFor(input);
        const QString key = QFileInfo(output).absoluteFilePath();
        if (inputOf.contains(key) && inputOf.value(key) != input)
            return usageError("mp3towav", QStringLiteral("%1 and %2 would both be written to %3")
                                              .arg(inputOf.value(key), input, output));
        inputOf.insert(key, input);
        if (isSameFile(input, output))
            return usageError("mp3towav",
                              QStringLiteral("%1 would be overwritten by its own WAV file").arg(input));
    }
    return runJob("mp3towav", job);
}

const CommandRegistration registration({
    "mp3towav",
    "--output-dir DIR [--jobs J] FILE.mp3...",
    "Decode each file into a 16-bit PCM WAV file in DIR, keeping its sample rate and channels. The WAV is "
    "named after the file in lower case with \".Wav\" (Talk.MP3 gives talk.Wav); an existing one is "
    "overwritten. Two files that would give the same WAV name are refused."
    " Up to J files are worked on at once (default: one per processor core).",
    runMp3ToWav,
});

} // namespace
} // namespace sonavell::cli
