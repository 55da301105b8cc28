// sonavell-cli record: records from a source of the desktop's sound server, or an ALSA capture
// device, into an MP3 file through the same capture engine and encoder as the recorder window.

#include "cli/clicommand.h"

#include "core/encode/mp3encoder.h"
#include "core/record/captureengine.h"
#include "core/record/recordingmarker.h"
#include "core/record/recordingrecovery.h"
#include "core/record/silencedetector.h"
#include "core/settings/recordersettings.h"
#include "platform/alsaaudioinput.h"
#include "platform/pulseaudioinput.h"
#include "platform/pulsecontext.h"
#include "platform/pulsemixer.h"

#include <QFile>
#include <QFileInfo>

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

namespace sonavell::cli {
namespace {

struct RecordOptions
{
    QString device = QStringLiteral("default");
    bool deviceGiven = false;
    QString alsaConfig; // a file with an ALSA configuration to look the device up in
    QString source;     // a sound server source: row number as `sources` shows it, or name
    std::optional<int> seconds;
    std::optional<int> bitRate;
    std::optional<int> rate;
    std::optional<int> channels;
    QString output;
};

bool parseNumber(const QString &text, int minimum, int maximum, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= minimum && *value <= maximum;
}

// Returns an error text, empty on success.
QString parse(const QStringList &args, RecordOptions &options)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        auto value = [&](QString *out) {
            if (i + 1 >= args.size())
                return false;
            *out = args[++i];
            return true;
        };
        QString text;
        int number = 0;
        if (arg == QStringLiteral("--device")) {
            if (!value(&options.device) || options.device.isEmpty())
                return QStringLiteral("--device needs a PCM name");
            options.deviceGiven = true;
        } else if (arg == QStringLiteral("--source")) {
            if (!value(&options.source) || options.source.isEmpty())
                return QStringLiteral("--source needs a row number or a source name");
        } else if (arg == QStringLiteral("--alsa-config")) {
            if (!value(&options.alsaConfig))
                return QStringLiteral("--alsa-config needs a file");
        } else if (arg == QStringLiteral("--seconds")) {
            if (!value(&text) || !parseNumber(text, 1, 1000000000, &number))
                return QStringLiteral("--seconds needs a whole number of seconds, at least 1");
            options.seconds = number;
        } else if (arg == QStringLiteral("--bitrate")) {
            const auto &table = RecorderSettings::kBitRates;
            if (!value(&text) || !parseNumber(text, 1, 1000, &number)
                || std::find(table.begin(), table.end(), number) == table.end())
                return QStringLiteral("--bitrate must be one of 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160");
            options.bitRate = number;
        } else if (arg == QStringLiteral("--rate")) {
            const auto &table = RecorderSettings::kSampleRates;
            if (!value(&text) || !parseNumber(text, 1, 1000000, &number)
                || std::find(table.begin(), table.end(), number) == table.end())
                return QStringLiteral("--rate must be 8000, 11025, 22050 or 44100");
            options.rate = number;
        } else if (arg == QStringLiteral("--channels")) {
            if (!value(&text) || !parseNumber(text, 1, 2, &number))
                return QStringLiteral("--channels must be 1 or 2");
            options.channels = number;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return QStringLiteral("unknown option %1").arg(arg);
        } else if (options.output.isEmpty()) {
            options.output = arg;
        } else {
            return QStringLiteral("only one output file can be given");
        }
    }
    if (options.output.isEmpty())
        return QStringLiteral("no output file given");
    if (options.deviceGiven && !options.source.isEmpty())
        return QStringLiteral("--source and --device cannot be given together");
    if (!options.alsaConfig.isEmpty() && !options.source.isEmpty())
        return QStringLiteral("--alsa-config goes with --device, not --source");
    return {};
}

// What ends or splits the current file; shared between the capture callback thread, the
// signal thread and the main thread.
class RecordState
{
public:
    enum class Reason { None, Interrupted, TimeUp, SilenceStop, SilenceNewFile, DeviceLost, WriteFailed };

    void finish(Reason reason)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_reason == Reason::None)
                m_reason = reason;
        }
        m_changed.notify_all();
    }
    Reason wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_reason != Reason::None; });
        return m_reason;
    }
    // A new file starts with no reason; an interrupt stays.
    void next()
    {
        std::lock_guard lock(m_mutex);
        if (m_reason != Reason::Interrupted)
            m_reason = Reason::None;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Reason m_reason = Reason::None;
};

// Runs on the capture callback thread.
class CliListener : public CaptureListener
{
public:
    CliListener(CaptureEngine &engine, RecordState &state, const WaveFormat &format, std::uint64_t byteLimit,
                std::uint64_t bytesBefore)
        : m_engine(engine), m_state(state), m_detector(format, settings()), m_byteLimit(byteLimit), m_bytes(bytesBefore)
    {
    }

    void onBuffer(const std::int16_t *samples, std::uint32_t byteCount, bool) override
    {
        // A full disk ends the run at once; recording on would only lose more.
        if (const Mp3Encoder *encoder = m_engine.encoder(); encoder && encoder->hasFailed()) {
            holdLaterBuffers();
            m_state.finish(RecordState::Reason::WriteFailed);
            return;
        }
        const std::uint64_t bytes = m_bytes.fetch_add(byteCount) + byteCount;
        if (m_byteLimit && bytes >= m_byteLimit) {
            holdLaterBuffers();
            m_state.finish(RecordState::Reason::TimeUp);
            return;
        }
        switch (m_detector.onBuffer(samples, byteCount)) {
        case SilenceDetector::Action::None:
            break;
        case SilenceDetector::Action::Stop:
            // The file ends where the silence ran out, not wherever the main thread stops it.
            holdLaterBuffers();
            m_state.finish(RecordState::Reason::SilenceStop);
            break;
        case SilenceDetector::Action::NewFile:
            m_state.finish(RecordState::Reason::SilenceNewFile);
            break;
        }
    }
    void onDeviceLost() override { m_state.finish(RecordState::Reason::DeviceLost); }
    // Bytes captured while recording, this file's and those of the files before it. The
    // engine's own count also runs on through the pause that ends the file.
    std::uint64_t bytes() const { return m_bytes.load(); }

private:
    // Later buffers must not reach the file while the main thread gets round to stopping.
    void holdLaterBuffers()
    {
        if (!m_engine.isPaused())
            m_engine.togglePause();
    }

    CaptureEngine &m_engine;
    RecordState &m_state;
    SilenceDetector m_detector;
    const std::uint64_t m_byteLimit;
    std::atomic<std::uint64_t> m_bytes;
};

// Turns Ctrl+C and termination into an orderly stop. The signals are blocked in every thread
// and taken by a thread of their own, which may use ordinary locks.
class SignalWatch
{
public:
    explicit SignalWatch(RecordState &state)
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &set, &m_previous);
        m_thread = std::thread([set, &state] {
            int signal = 0;
            while (sigwait(&set, &signal) == 0) {
                if (signal == SIGUSR1)
                    return;
                state.finish(RecordState::Reason::Interrupted);
            }
        });
    }
    ~SignalWatch()
    {
        pthread_kill(m_thread.native_handle(), SIGUSR1);
        m_thread.join();
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }

private:
    sigset_t m_previous;
    std::thread m_thread;
};

// The server's name of the source `wanted` names: a row as `sources` numbers them (from 1), a
// source's name or its description. Empty when none matches.
QString findSource(const std::shared_ptr<PulseContext> &pulse, const QString &wanted)
{
    bool isRow = false;
    const int row = wanted.toInt(&isRow);
    if (isRow) {
        PulseMixer mixer(pulse);
        if (!mixer.open(0))
            return {};
        const QList<PulseSource> sources = pulse->sources();
        const std::optional<MixerLine> line = mixer.captureSource(row - 1);
        mixer.close();
        for (const PulseSource &source : sources)
            if (line && source.description == line->name)
                return source.name;
        return {};
    }
    for (const PulseSource &source : pulse->sources())
        if (source.name == wanted || source.description == wanted)
            return source.name;
    return {};
}

QString describeSource(const std::shared_ptr<PulseContext> &pulse, const QString &name)
{
    for (const PulseSource &source : pulse->sources())
        if (source.name == name)
            return source.description;
    return name;
}

// OUT.mp3, then OUT001.mp3, OUT002.mp3 for the files a long silence starts.
QString splitName(const QString &output, int index)
{
    if (index == 0)
        return output;
    QString base = output;
    if (base.right(4).toLower() == QStringLiteral(".mp3"))
        base.chop(4);
    return base + QStringLiteral("%1.mp3").arg(index, 3, 10, QLatin1Char('0'));
}

int runRecord(const QStringList &args)
{
    RecordOptions options;
    if (const QString error = parse(args, options); !error.isEmpty()) {
        std::fprintf(stderr, "sonavell-cli record: %s\n", qPrintable(error));
        printUsage();
        return 2;
    }
    QByteArray config;
    if (!options.alsaConfig.isEmpty()) {
        QFile file(options.alsaConfig);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "sonavell-cli record: cannot read %s\n", qPrintable(options.alsaConfig));
            return 1;
        }
        config = file.readAll();
    }

    // Flags override the settings store for this run only; nothing is written back.
    WaveFormat format = settings().recordFormat();
    if (options.rate)
        format.samplesPerSec = static_cast<std::uint32_t>(*options.rate);
    if (options.channels)
        format.channels = static_cast<std::uint16_t>(*options.channels);
    format = format.normalizedPcm();
    const int bitRate = options.bitRate.value_or(settings().bitRate());
    const std::uint64_t byteLimit = options.seconds ? std::uint64_t(*options.seconds) * format.avgBytesPerSec : 0;

    // Before any thread starts (the sound server's event thread among them), so all of them
    // leave the signals to the watch.
    RecordState state;
    SignalWatch signalWatch(state);

    // The sound server unless an ALSA device is named.
    std::shared_ptr<PulseContext> pulse;
    if (!options.deviceGiven)
        pulse = PulseContext::connect();
    std::unique_ptr<AudioInput> device;
    QString deviceText = options.device;
    if (pulse) {
        if (!options.source.isEmpty()) {
            const QString name = findSource(pulse, options.source);
            if (name.isEmpty()) {
                std::fprintf(stderr, "sonavell-cli record: the sound server has no source \"%s\"; see sonavell-cli sources\n",
                             qPrintable(options.source));
                return 1;
            }
            pulse->chooseSource(name);
        }
        deviceText = describeSource(pulse, pulse->recordingSource());
        device = std::make_unique<PulseAudioInput>(pulse);
    } else if (!options.source.isEmpty()) {
        std::fprintf(stderr, "sonavell-cli record: --source needs the desktop's sound server, and none answers\n");
        return 1;
    } else {
        device = std::make_unique<AlsaAudioInput>(options.device, config);
    }
    AudioInput &input = *device;
    std::uint64_t bytesSoFar = 0;
    std::uint64_t overruns = 0;
    std::uint64_t lostMs = 0;
    int exitCode = 0;
    for (int fileIndex = 0;; ++fileIndex) {
        const QString path = splitName(options.output, fileIndex);
        CaptureEngine engine(input, settings());
        engine.setRecordFormat(format);
        engine.setBitRate(bitRate);
        CliListener listener(engine, state, format, byteLimit, bytesSoFar);
        engine.setListener(&listener);
        // Left behind by a kill, it lets "sonavell-cli recover" finish the file.
        RecordingMarker marker;
        marker.write(dataFolder(), QFileInfo(path).absoluteFilePath(), QFileInfo(path).absoluteFilePath());
        if (!engine.open(path) || !engine.start()) {
            marker.remove();
            std::fprintf(stderr, "sonavell-cli record: %s\n", qPrintable(engine.errorText()));
            const bool created = engine.error() != CaptureEngine::Error::FileNotCreatable
                                 && engine.error() != CaptureEngine::Error::NoDevice;
            engine.setListener(nullptr);
            engine.stop();
            engine.close();
            if (created)
                QFile::remove(path);
            return 1;
        }
        std::printf("Recording %s from \"%s\": %u Hz, %u channel(s), %d kbit/s. Ctrl+C stops.\n", qPrintable(path),
                    qPrintable(deviceText), format.samplesPerSec, unsigned(format.channels), bitRate);
        std::fflush(stdout);

        const RecordState::Reason reason = state.wait();
        engine.setListener(nullptr);
        engine.stop();
        const bool encoderFailed = engine.encoder() && engine.encoder()->hasFailed();
        const QString encoderError = encoderFailed ? Mp3Encoder::errorText(engine.encoder()->error()) : QString();
        const std::uint64_t fileBytes = listener.bytes() - bytesSoFar;
        overruns += engine.overrunCount();
        lostMs += engine.lostMilliseconds();
        const QString deviceError = engine.errorText();
        engine.close();
        // A write that failed may have torn the last frame and kept the tag from being written.
        if (encoderFailed)
            recoverRecording(path, QString());
        marker.remove();
        bytesSoFar += fileBytes;
        std::printf("Recorded %s to %s\n", qPrintable(CaptureEngine::elapsedText(format, fileBytes)), qPrintable(path));

        if (encoderFailed) {
            std::fprintf(stderr, "sonavell-cli record: %s\n", qPrintable(encoderError));
            exitCode = 1;
            break;
        }
        if (reason == RecordState::Reason::DeviceLost) {
            std::fprintf(stderr, "sonavell-cli record: the capture device went away (%s); the file holds what was captured\n",
                         qPrintable(deviceError));
            exitCode = 1;
            break;
        }
        if (reason != RecordState::Reason::SilenceNewFile)
            break;
        state.next();
    }
    std::printf("Overruns: %llu\n", static_cast<unsigned long long>(overruns));
    // Frames missing from the stream, overruns included; a late reader whose audio the device
    // kept has lost nothing.
    if (lostMs > 0)
        std::printf("Audio lost: %llu ms\n", static_cast<unsigned long long>(lostMs));
    return exitCode;
}

const CommandRegistration registration({
    "record",
    "[--source ROW|NAME | --device NAME [--alsa-config FILE]] [--seconds N] [--bitrate K] [--rate HZ] "
    "[--channels 1|2] OUT.mp3",
    "Record into OUT.mp3 until N seconds are captured or Ctrl+C; the silence settings apply. Through the "
    "desktop's sound server when one answers: --source picks a row of `sonavell-cli sources` or a source "
    "by name (default: the server's default source). --device records from that ALSA PCM instead (ALSA's "
    "\"default\" when no sound server answers); --alsa-config looks NAME up in that configuration file.",
    runRecord,
});

} // namespace
} // namespace sonavell::cli
