#pragma once

#include "core/record/captureengine.h"
#include "core/record/silencedetector.h"
#include "core/settings/waveformat.h"

#include <atomic>
#include <cstdint>

namespace sonavell {

class RecorderSettings;
class RecordingControl;

// The per-buffer silence bookkeeping of one recording: after a silent stretch longer than the
// settings allow it asks the recording control to stop or to continue in a new file. Runs on
// the capture callback thread; it reaches the control only through its thread-safe requests.
class RecordingListener : public CaptureListener
{
public:
    // The engine is the one this listener is attached to; it and the settings outlive every callback.
    RecordingListener(RecordingControl &control, const WaveFormat &format, CaptureEngine &engine,
                      const RecorderSettings &settings);

    void onBuffer(const std::int16_t *samples, std::uint32_t byteCount, bool redraw) override;
    void onDeviceLost() override;

    bool heard() const { return m_detector.hasHeardSound(); }

private:
    RecordingControl &m_control;
    CaptureEngine &m_engine;
    SilenceDetector m_detector;
    bool m_failureReported = false;
    static constexpr std::uint64_t kLostReportStepMs = 100;
    std::uint64_t m_lostReported = 0;
};

} // namespace sonavell
