#pragma once

#include "core/audio/mixer.h"

#include <memory>

namespace sonavell {

// The mixer of a sound card through ALSA's simple-mixer interface. Device numbers follow the
// capture device list: 0 and 1 are ALSA's "default" control device, n >= 2 is the card of
// capture device n - 1. The record sources are the card's capture elements; those with a capture
// volume have a level. The selector is the card's enumerated capture element ("Capture Source",
// "Input Source"), or else its group of exclusive capture switches. The output line is the
// playback "Master", or else the first element with a playback volume.
class AlsaMixer : public Mixer
{
public:
    AlsaMixer();
    // Opens the control device `ctlName` for every device number.
    explicit AlsaMixer(const QString &ctlName);
    ~AlsaMixer() override;

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

    QString errorText() const { return m_error; }

private:
    struct State;

    QString m_fixedName;
    std::unique_ptr<State> m_state;
    QString m_error;
};

} // namespace sonavell
