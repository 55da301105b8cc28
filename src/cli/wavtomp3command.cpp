// sonavell-cli wav2mp3: encodes a WAV file, or a byte range of its data, into an MP3 file, as
// the Wav to Mp3 Convert command does.

#include "cli/clicommand.h"
#include "cli/jobrunner.h"
#include "core/io/filemove.h"

#include "core/process/wavefile.h"
#include "core/process/wavtomp3job.h"
#include "core/settings/recordersettings.h"

#include <limits>

namespace sonavell::cli {
namespace {

constexpr qint64 kLastOffset = std::numeric_limits<std::uint32_t>::max();

int runWavToMp3(const QStringList &args)
{
    std::optional<int> bitRate;
    std::optional<qint64> startByte;
    std::optional<qint64> endByte;
    OptionReader reader(args);
    const bool read = reader.read([&](const QString &option) {
        if (option == QLatin1String("--bitrate"))
            bitRate = reader.bitRate();
        else if (option == QLatin1String("--start-byte"))
            startByte = reader.bigNumber(0, kLastOffset);
        else if (option == QLatin1String("--end-byte"))
            endByte = reader.bigNumber(1, kLastOffset);
        else
            return false;
        return true;
    });
    if (!read)
        return usageError("wav2mp3", reader.error());
    if (reader.files().size() != 2)
        return usageError("wav2mp3", QStringLiteral("give one WAV file and one MP3 file"));
    const QString input = reader.files()[0];
    const QString output = reader.files()[1];
    // The encoder creates the output before the input is read.
    if (isSameFile(input, output))
        return usageError("wav2mp3",
                          QStringLiteral("%1 would overwrite the WAV file it is made from").arg(output));
    // The job takes equal offsets for the whole data, so an empty range cannot be passed on.
    const qint64 start = startByte.value_or(0);
    const qint64 end = endByte.value_or(kLastOffset);
    if ((startByte || endByte) && end <= start)
        return usageError("wav2mp3", QStringLiteral("--end-byte must lie after --start-byte"));
    if (startByte) {
        // An unreadable WAV is left to the job, which reports it.
        WaveFile wave;
        if (wave.open(input, nullptr, WaveFile::ReadMode) == WaveFile::Result::Success &&
            start >= wave.dataSize()) {
            printError("wav2mp3", QStringLiteral("%1: --start-byte %2 lies past its %3 bytes of data")
                                      .arg(input)
                                      .arg(start)
                                      .arg(wave.dataSize()));
            return 1;
        }
    }

    WavToMp3Job job({input});
    job.setOutputPath(output);
    job.setBitrateKbps(bitRate.value_or(settings().bitRate()));
    if (startByte || endByte)
        job.setRange(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end));
    return runJob("wav2mp3", job, output);
}

const CommandRegistration registration({
    "wav2mp3",
    "[--bitrate K] [--start-byte N] [--end-byte N] IN.wav OUT.mp3",
    "Encode the WAV file into OUT.mp3 at K kbit/s (default: the settings' bit rate), keeping its sample rate "
    "and channels; 8-bit samples are widened to 16 bits. OUT.mp3 is overwritten.\n"
    "--start-byte and --end-byte convert only that range of the WAV data, counted in bytes from its "
    "first sample (default: from the start, to the end). The start is rounded down to a whole sample "
    "frame, and the encoder chunk that crosses the end is encoded whole.",
    runWavToMp3,
});

} // namespace
} // namespace sonavell::cli
