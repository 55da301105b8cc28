#include "core/record/recordinglistener.h"

#include "core/encode/mp3encoder.h"
#include "core/record/recordingcontrol.h"

namespace sonavell {

RecordingListener::RecordingListener(RecordingControl &control, const WaveFormat &format, CaptureEngine &engine,
                                     const RecorderSettings &settings)
    : m_control(control), m_engine(engine), m_detector(format, settings)
{
}

void RecordingListener::onBuffer(const std::int16_t *samples, std::uint32_t byteCount, bool redraw)
{
    if (redraw)
        m_control.requestStripRedraw();
    if (byteCount == 0)
        return;
    switch (m_detector.onBuffer(samples, byteCount)) {
    case SilenceDetector::Action::Stop:
        m_control.requestStop();
        break;
    case SilenceDetector::Action::NewFile:
        m_control.requestSplit();
        break;
    case SilenceDetector::Action::None:
        break;
    }

    if (!m_failureReported) {
        if (const Mp3Encoder *encoder = m_engine.encoder(); encoder && encoder->hasFailed()) {
            m_failureReported = true;
            m_control.requestStopWithError(Mp3Encoder::errorText(encoder->error()));
        }
    }
    // Told as it happens, not only at Stop; small jitter of the clock is not worth a message.
    if (const std::uint64_t lost = m_engine.lostMilliseconds(); lost >= m_lostReported + kLostReportStepMs) {
        m_lostReported = lost;
        m_control.reportLostAudio(lost);
    }
    m_control.reportBuffer(samples, byteCount, m_engine.elapsedText());
}

void RecordingListener::onDeviceLost()
{
    m_control.requestStopWithError(QStringLiteral("The recording device was disconnected. The recording was stopped; "
                                                  "what was recorded until then is kept."));
}

} // namespace sonavell
