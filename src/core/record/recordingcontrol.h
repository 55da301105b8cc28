#pragma once

#include "core/record/captureengine.h"
#include "core/settings/waveformat.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace sonavell {

class AudioInput;
class RecorderSettings;
class RecordingListener;
class RecordingMarker;

// What the recording control needs of the main window. Called on the user-interface thread.
class RecordingView
{
public:
    virtual ~RecordingView() = default;
    virtual QString recordFileText() const = 0;
    virtual void setRecordFileText(const QString &text) = 0;
    // Yes/No question; true for Yes.
    virtual bool confirmReplace(const QString &question) = 0;
    // Record disabled and Pause enabled while recording, the other way round when idle.
    virtual void setRecordingState(bool recording) = 0;
    virtual void setPauseText(const QString &text) = 0;
    virtual void setTitle(const QString &title) = 0;
    virtual void showError(const QString &message) = 0;
    // Something the user should know that is not a failure.
    virtual void showNotice(const QString &message) { showError(message); }
    // Audio the capture device never delivered in the current recording, all of it so far;
    // called each time it grows.
    virtual void showLostAudio(const QString &message) { showError(message); }
    virtual void addFile(const QString &path) = 0;
};

// Record, Pause and Stop of the main window: names the recording by date and time, gives it its
// final name at Stop and hands it to the file list, and continues in numbered files when the
// silence detector asks for it. Owns at most one capture engine; "recording" means it exists.
//
// Everything but the request*/report* calls runs on the user-interface thread; those run on the
// capture callback thread and reach this object through queued signals.
class RecordingControl : public QObject
{
    Q_OBJECT

public:
    // The input device, the view and the settings are not owned and must outlive the control.
    // Each recording takes the format and save folder the settings hold at its start.
    RecordingControl(AudioInput &input, RecordingView &view, const RecorderSettings &settings,
                     QObject *parent = nullptr);
    ~RecordingControl() override;

    // The Record button or command: numbering starts again, then Start. A Record File name
    // that is taken is asked about before anything is recorded.
    void record();
    // A timed start: as record(), but never asks; a taken name is replaced by the next free one.
    void recordScheduled();
    void togglePause();
    void stop();
    // Stop, then Start again into the next numbered file.
    void splitOnSilence();

    bool isRecording() const { return m_engine != nullptr; }
    // The replace question of a Record is open.
    bool isAsking() const { return m_asking; }
    bool isPaused() const { return m_engine && m_engine->isPaused(); }
    int splitCount() const { return m_splitCount; }
    // The running engine, for the waveform strip; null when idle.
    const CaptureEngine *engine() const { return m_engine.get(); }
    // The format of the current (or last) recording.
    const WaveFormat &recordFormat() const { return m_format; }

    // The local time a recording is named after; replaceable for tests.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    // Where the in-progress markers go (the Data folder unless set).
    void setMarkerFolder(const QString &folder) { m_markerFolder = folder; }

    // The largest sample of a buffer as a magnitude; -32768 counts as 32768.
    static int bufferPeak(const std::int16_t *samples, std::uint32_t byteCount);

    // Capture callback thread.
    void requestStop() { Q_EMIT stopRequested(); }
    void requestSplit() { Q_EMIT splitRequested(); }
    void requestStopWithError(const QString &message) { Q_EMIT stopWithErrorRequested(message); }
    void requestStripRedraw() { Q_EMIT stripRedrawRequested(); }
    void reportLostAudio(quint64 milliseconds) { Q_EMIT lostAudioReported(milliseconds); }
    void reportBuffer(const std::int16_t *samples, std::uint32_t byteCount, const QString &elapsed)
    {
        Q_EMIT bufferRecorded(bufferPeak(samples, byteCount), elapsed);
    }

Q_SIGNALS:
    // Emitted on the capture callback thread; connect queued.
    void bufferRecorded(int peak, const QString &elapsed);
    void stripRedrawRequested();
    // Emitted after every Start and Stop, on the user-interface thread.
    void recordingChanged(bool recording);

    // Internal: carry listener requests over to the user-interface thread.
    void stopRequested();
    void splitRequested();
    void stopWithErrorRequested(const QString &message);
    void lostAudioReported(quint64 milliseconds);

private:
    enum class NameChoice { Ask, TakeFreeName };
    void start(NameChoice choice);
    bool settleName(NameChoice choice, const QString &folder);
    void stopWithError(const QString &message);
    void showLostAudio(quint64 milliseconds);
    QString finalTarget() const;
    QString freeTarget(const QString &target) const;

    AudioInput &m_input;
    RecordingView &m_view;
    const RecorderSettings &m_settings;
    std::unique_ptr<CaptureEngine> m_engine;
    std::unique_ptr<RecordingListener> m_listener;
    WaveFormat m_format;
    QString m_recordPath;
    // The one existing file the user agreed to replace for this take; no other is ever replaced.
    QString m_approvedTarget;
    int m_splitCount = 0;
    bool m_asking = false;
    std::function<QDateTime()> m_clock;
    QString m_markerFolder;
    std::unique_ptr<RecordingMarker> m_marker;
};

} // namespace sonavell
