#include "platform/audiobackend.h"

#include "core/settings/recordersettings.h"
#include "platform/alsaaudioinput.h"
#include "platform/alsaaudiooutput.h"
#include "platform/alsamixer.h"
#include "platform/pulseaudioinput.h"
#include "platform/pulseaudiooutput.h"
#include "platform/pulsecontext.h"
#include "platform/pulsemixer.h"

namespace sonavell {

AudioBackend soundServerBackend(std::shared_ptr<PulseContext> pulse)
{
    AudioBackend backend;
    backend.input = std::make_unique<PulseAudioInput>(pulse);
    backend.output = std::make_unique<PulseAudioOutput>(pulse);
    backend.mixer = std::make_unique<PulseMixer>(pulse);
    backend.pulse = std::move(pulse);
    return backend;
}

AudioBackend openAudioBackend()
{
    if (std::shared_ptr<PulseContext> pulse = PulseContext::connect())
        return soundServerBackend(std::move(pulse));
    AudioBackend backend;
    backend.input = std::make_unique<AlsaAudioInput>();
    backend.output = std::make_unique<AlsaAudioOutput>();
    backend.mixer = std::make_unique<AlsaMixer>();
    return backend;
}

void rememberRecordSource(const AudioBackend &backend)
{
    if (!backend.pulse)
        return;
    const QString key = QString::fromLatin1(kRecordSourceKey);
    if (const std::optional<QByteArray> remembered = readValue(key); remembered && !remembered->isEmpty())
        backend.pulse->chooseSource(QString::fromUtf8(*remembered));
    backend.pulse->setChoiceChanged([key](const QString &source) { writeValue(key, source.toUtf8()); });
}

} // namespace sonavell
