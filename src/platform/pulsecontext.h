#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_operation;
struct pa_stream;

namespace sonavell {

// A source of the sound server as the recorder lists it.
struct PulseSource
{
    std::uint32_t index = 0;
    QString name;        // the server's own name, kept across restarts
    QString description; // what the user sees: "Monitor of Built-in Audio Analog Stereo"
    bool monitor = false;
    int channels = 2;
    std::uint32_t volume = 0; // the loudest channel, clamped to kVolumeMuted..kVolumeNorm
};

struct PulseSink
{
    std::uint32_t index = 0;
    QString name;
    QString description;
    int channels = 2;
    std::uint32_t volume = 0;
};

// One connection to a PulseAudio server (or PipeWire's pulse server) with its own mainloop
// thread, shared by the input, output and mixer of that back end. It also keeps the user's
// choice of record source, so the mixer's rows and the capture stream agree on it.
//
// Every public call may come from any thread except the mainloop's own; callbacks set here run
// on the mainloop thread and must not call back into this object.
class PulseContext
{
public:
    static constexpr std::uint32_t kVolumeMuted = 0;     // PA_VOLUME_MUTED
    static constexpr std::uint32_t kVolumeNorm = 0x10000; // PA_VOLUME_NORM

    // The server at `server` ("unix:/path", empty: the user's usual one, $PULSE_SERVER first).
    // Null when no server answers; the server is never started for us.
    static std::shared_ptr<PulseContext> connect(const QString &server = {}, QString *error = nullptr);
    ~PulseContext();
    PulseContext(const PulseContext &) = delete;
    PulseContext &operator=(const PulseContext &) = delete;

    bool isConnected();
    QString errorText();

    // Hardware (and other) inputs first, then monitors, each group in the server's order.
    QList<PulseSource> sources();
    // The sink our playback goes to: the server's default.
    std::optional<PulseSink> playbackSink();
    bool setSourceVolume(std::uint32_t index, std::uint32_t volume);
    bool setSinkVolume(std::uint32_t index, std::uint32_t volume);

    // The source the next recording takes: the user's choice while it exists, else the
    // server's default. While a capture stream runs: the source it records from.
    QString recordingSource();
    QString chosenSource();
    // Makes `name` the record source; a running capture stream is moved to it. The server's
    // default source is left alone.
    bool chooseSource(const QString &name);
    // Told every choice (on the calling thread), so it can be remembered.
    void setChoiceChanged(std::function<void(const QString &)> callback);
    // Told when sources or sinks appear, disappear, or the server's defaults change.
    // Runs on the mainloop thread; an empty callback stops the calls.
    void setLinesChanged(std::function<void()> callback);

    // For the streams of this back end.
    pa_threaded_mainloop *mainloop() const { return m_mainloop; }
    pa_context *context() const { return m_context; }
    // The capture stream whose source follows chooseSource; mainloop lock held.
    void setCaptureStream(pa_stream *stream, const QString &source);
    void setCaptureSource(const QString &source);
    // Waits for an operation to end and releases it; mainloop lock held. False when the
    // operation could not be started or the connection failed.
    bool wait(pa_operation *operation);
    QString lastServerError();
    // The server's default source.
    QString defaultSourceName();

private:
    friend struct PulseCallbacks;
    PulseContext();
    void linesChanged();

    pa_threaded_mainloop *m_mainloop = nullptr;
    pa_context *m_context = nullptr;

    std::mutex m_mutex; // guards the fields below
    QString m_chosen;
    std::function<void(const QString &)> m_choiceChanged;
    std::function<void()> m_linesChanged;

    // Mainloop lock held for these.
    pa_stream *m_captureStream = nullptr;
    QString m_captureSource;
};

// Holds the mainloop lock for one scope.
class PulseLock
{
public:
    explicit PulseLock(const PulseContext &context);
    ~PulseLock();
    PulseLock(const PulseLock &) = delete;
    PulseLock &operator=(const PulseLock &) = delete;

private:
    pa_threaded_mainloop *m_mainloop;
};

} // namespace sonavell
