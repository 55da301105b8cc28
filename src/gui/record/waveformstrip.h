#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

namespace sonavell {

class CaptureEngine;

// The green live waveform above the file list: the capture engine's history window, oldest at
// the left; black while nothing is recorded. With the silence detector on, two amber lines mark
// the silence threshold above and below the middle (input that stays between them is silence),
// and a level meter at the right end shows the newest input level against the threshold on a
// decibel scale, where quiet input is still visible.
class WaveformStrip : public QWidget
{
    Q_OBJECT

public:
    explicit WaveformStrip(QWidget *parent = nullptr);

    // Where the running engine comes from; null while idle.
    void setEngineSource(std::function<const CaptureEngine *()> source) { m_engine = std::move(source); }
    // The channels and sample size the strip reads frames with.
    void setFrameFormat(int channels, int bitsPerSample);

    // The y offsets from the middle of the threshold lines for a strip of `height` pixels: never
    // on the middle line itself, where they would hide a silent waveform.
    static int thresholdOffset(int threshold, int height);
    // The meter's y for a mean sample level: 0 dBFS at the top, -60 dBFS and below at the bottom.
    static int meterY(int level, int height);
    static constexpr int MeterWidth = 12;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawThreshold(QPainter &painter, const std::vector<std::uint8_t> &history, int middle);

    std::function<const CaptureEngine *()> m_engine;
    int m_channels = 2;
    int m_bitsPerSample = 16;
};

} // namespace sonavell
