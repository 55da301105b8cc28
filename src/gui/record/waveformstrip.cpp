#include "gui/record/waveformstrip.h"

#include "core/record/captureengine.h"
#include "core/settings/recordersettings.h"
#include "core/settings/silencetest.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

namespace sonavell {

namespace {
const QColor kThresholdColour(255, 176, 0);
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

    if (!settings().silenceEnabled())
        return;
    // The threshold is a mean sample magnitude; drawn on the waveform's own scale.
    const int offset = thresholdOffset(silenceThreshold(), height);
    const int middle = 0x7FFF / scale;
    painter.setPen(QPen(kThresholdColour, 1, Qt::DashLine));
    painter.drawLine(0, middle - offset, width - 1, middle - offset);
    painter.drawLine(0, middle + offset, width - 1, middle + offset);
}

int WaveformStrip::thresholdOffset(int threshold, int height)
{
    const int scale = std::max(1, 65535 / std::max(1, height));
    return std::max(1, threshold / scale);
}

} // namespace sonavell
