#pragma once

#include "core/audio/mixer.h"

#include "platform/pulsecontext.h"

#include <memory>

namespace sonavell {

// The sound server's sources as the recording line's inputs and its default sink as the
// output line. Each open takes a fresh listing: at most eight sources in the listing's order
// (inputs, then monitors), except that the source being recorded from moves to the front when
// it would fall beyond the eighth. Every volume runs from PA_VOLUME_MUTED to PA_VOLUME_NORM;
// a write sets the loudest channel and keeps the balance. The selector's item is the source
// recordings take; choosing one moves a running recording and never changes the server's
// default source. The device number is not used: the server has one mixer.
class PulseMixer : public Mixer
{
public:
    static constexpr int kMaxSources = 8;

    explicit PulseMixer(std::shared_ptr<PulseContext> context);

    bool open(int device) override;
    void close() override;
    std::optional<MixerLine> captureDestination() override;
    int captureSourceCount() override;
    std::optional<MixerLine> captureSource(int source) override;
    std::optional<MixerLine> outputLine() override;
    std::optional<MixerVolume> volume(int line) override;
    bool readVolume(int line, std::span<std::uint32_t> values) override;
    bool writeVolume(int line, std::span<const std::uint32_t> values) override;
    std::optional<MixerSelector> captureSelector() override;
    bool readSelector(std::span<std::uint32_t> values) override;
    bool writeSelector(std::span<const std::uint32_t> values) override;
    void setLinesChanged(std::function<void()> callback) override;

private:
    std::shared_ptr<PulseContext> m_context;
    bool m_open = false;
    QList<PulseSource> m_sources;
    QString m_current;
    std::optional<PulseSink> m_sink;
};

} // namespace sonavell
