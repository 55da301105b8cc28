#pragma once

#include "core/audio/audioinput.h"
#include "core/audio/audiooutput.h"
#include "core/audio/mixer.h"

#include <memory>

namespace sonavell {

class PulseContext;

// The input, output and mixer of one back end, chosen once at start.
struct AudioBackend
{
    std::shared_ptr<PulseContext> pulse; // empty for ALSA
    std::unique_ptr<AudioInput> input;
    std::unique_ptr<AudioOutput> output;
    std::unique_ptr<Mixer> mixer;

    bool isSoundServer() const { return pulse != nullptr; }
};

// The desktop's sound server (PulseAudio or PipeWire) when one answers, else ALSA.
AudioBackend openAudioBackend();

// The sound server's back end on an existing connection.
AudioBackend soundServerBackend(std::shared_ptr<PulseContext> pulse);

// The value file that keeps the record source the user chose on the sound server.
inline constexpr const char *kRecordSourceKey = "Record Source";

// Takes the source remembered in "Record Source.dat" again while it exists, and remembers every
// later choice there. Nothing to do on ALSA.
void rememberRecordSource(const AudioBackend &backend);

} // namespace sonavell
