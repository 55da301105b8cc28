#include "gui/record/waveformstrip.h"

#include "core/record/captureengine.h"
#include "core/settings/recordersettings.h"
#include "core/settings/silencetest.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sonavell {

namespace {
const QColor kThresholdColour(255, 176, 0);
// About 46 ms of 44.1 kHz stereo: recent enough to follow the input, long enough to be steady.
constexpr int kMeterBytes = 8192;
} // namespace

WaveformStrip::WaveformStrip(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("waveformStrip"));
    setMinimumHeight(48);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WaveformStrip::setFrameFormat(int channels, int bitsPerSample)
{
    m_channels = std::max(1, channels);
    m_bitsPerSample = bitsPerSample;
}

void WaveformStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const CaptureEngine *engine = m_engine ? m_engine() : nullptr;
    if (!engine)
        return;
    const int width = this->width();
    const int height = this->height();
    const int sampleBytes = m_bitsPerSample == 16 ? 2 : 1;
    const int frameBytes = sampleBytes * m_channels;
    const std::vector<std::uint8_t> snapshot = engine->historySnapshot();
    const int fill = static_cast<int>(snapshot.size());
    const int framesPerColumn = width > 0 ? fill / frameBytes / width : 0;
    if (framesPerColumn <= 0 || height <= 0)
        return;

    const std::uint8_t *history = snapshot.data();
    const int scale = std::max(1, 65535 / height);
    auto yOf = [&](int frame) {
        const std::uint8_t *at = history + static_cast<std::ptrdiff_t>(frame) * frameBytes;
        int value = *at;
        if (sampleBytes == 2) {
            std::int16_t sample;
            std::memcpy(&sample, at, 2);
            value = static_cast<std::uint16_t>(sample + 0x7FFF);
        }
        return value / scale;
    };

    painter.setPen(QPen(QColor(0, 255, 0), 1));
    QPoint previous(0, height / 2);
    const int columns = std::min(width, 1280);
    for (int x = 0; x < columns; ++x) {
        int highest = 0;
        int lowest = height;
        for (int f = 0; f < framesPerColumn; ++f) {
            const int y = yOf(x * framesPerColumn + f);
            highest = std::max(highest, y);
            lowest = std::min(lowest, y);
        }
        painter.drawLine(previous, QPoint(x, highest));
        painter.drawLine(QPoint(x, highest), QPoint(x, lowest));
        previous = QPoint(x, lowest);
    }

    if (settings().silenceEnabled() && sampleBytes == 2)
        drawThreshold(painter, snapshot, 0x7FFF / scale);
}

void WaveformStrip::drawThreshold(QPainter &painter, const std::vector<std::uint8_t> &history, int middle)
{
    const int width = this->width();
    const int height = this->height();
    // The threshold is a mean sample magnitude, drawn on the waveform's own scale.
    const int sensitivity = settings().sensitivity();
    const int threshold = silenceThreshold(sensitivity);
    const int offset = thresholdOffset(threshold, height);
    painter.setPen(QPen(kThresholdColour, 1, Qt::DashLine));
    painter.drawLine(0, middle - offset, width - 1, middle - offset);
    painter.drawLine(0, middle + offset, width - 1, middle + offset);

    // The newest stretch of input, measured as the silence test measures a chunk.
    const int fill = static_cast<int>(history.size());
    const int bytes = std::min(fill, kMeterBytes) & ~3;
    const std::int32_t level =
        bytes > 0 ? bufferLevel(history.data() + (fill - bytes), static_cast<std::uint32_t>(bytes)) : 0;
    const QRect meter(width - MeterWidth, 0, MeterWidth, height);
    painter.fillRect(meter, QColor(40, 40, 40));
    const int top = meterY(level, height);
    painter.fillRect(QRect(meter.left() + 2, top, MeterWidth - 4, height - top),
                     isSilent(level, sensitivity) ? QColor(110, 110, 110) : QColor(0, 255, 0));
    painter.fillRect(QRect(meter.left(), meterY(threshold, height) - 1, MeterWidth, 2), kThresholdColour);
}

int WaveformStrip::meterY(int level, int height)
{
    constexpr double kFloorDb = -60.0;
    const double db = level > 0 ? 20.0 * std::log10(level / 32768.0) : kFloorDb;
    const double fraction = std::clamp(db / kFloorDb, 0.0, 1.0);
    return static_cast<int>(fraction * (height - 1));
}

int WaveformStrip::thresholdOffset(int threshold, int height)
{
    const int scale = std::max(1, 65535 / std::max(1, height));
    return std::max(1, threshold / scale);
}

} // namespace sonavell
