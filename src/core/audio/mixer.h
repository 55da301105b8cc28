#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace sonavell {

// A line of the mixer: the recording destination, one of its sources, or the output.
struct MixerLine
{
    QString name;     // short name, as shown to the user
    int channels = 1; // channels of the line itself
};

// The bounds of a line's volume control. A uniform control has one value for all channels.
struct MixerVolume
{
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
    bool uniform = true;
};

// The recording line's list-class control: the card's choice of recording input.
struct MixerSelector
{
    enum class Kind { SingleSelect, Multiplexer, MultipleSelect, Mixer };

    Kind kind = Kind::Multiplexer;
    bool uniform = true;
    QStringList items; // one text per item, in the control's own order

    bool isSingleSelect() const { return kind == Kind::SingleSelect || kind == Kind::Multiplexer; }
};

// The sound card's mixer as the record-source logic needs it. Lines are addressed by number:
// 0 .. captureSourceCount()-1 are the recording destination's sources, kOutputLine is the
// output (speakers/master) line. Values are one 32-bit value per channel: a uniform control
// takes one value, otherwise one per channel of its line. Selector values are item-major:
// item i, channel c at i * channels + c.
//
// Every operation of the record-source logic opens the mixer, works and closes it again.
class Mixer
{
public:
    static constexpr int kOutputLine = -1;

    virtual ~Mixer() = default;

    virtual bool open(int device) = 0;
    virtual void close() = 0;

    // Empty when the mixer has no recording destination.
    virtual std::optional<MixerLine> captureDestination() = 0;
    virtual int captureSourceCount() = 0;
    virtual std::optional<MixerLine> captureSource(int source) = 0;
    // Empty when the output line does not exist.
    virtual std::optional<MixerLine> outputLine() = 0;

    // Empty when the line has no volume control.
    virtual std::optional<MixerVolume> volume(int line) = 0;
    virtual bool readVolume(int line, std::span<std::uint32_t> values) = 0;
    virtual bool writeVolume(int line, std::span<const std::uint32_t> values) = 0;

    // Empty when the recording line has no list-class control (a fixed input).
    virtual std::optional<MixerSelector> captureSelector() = 0;
    virtual bool readSelector(std::span<std::uint32_t> values) = 0;
    virtual bool writeSelector(std::span<const std::uint32_t> values) = 0;

    // Called, on any thread, when lines appear or disappear (a headset plugged in), for mixers
    // that can tell; an empty callback stops the calls before this returns.
    virtual void setLinesChanged(std::function<void()> callback) { (void)callback; }
};

} // namespace sonavell
