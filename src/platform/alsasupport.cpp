#include "platform/alsasupport.h"

#include <cstdarg>
#include <mutex>

namespace sonavell::alsa {
namespace {

void ignoreMessage(const char *, int, const char *, int, const char *, ...) {}

} // namespace

void silenceLibraryMessages()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(ignoreMessage); });
}

ConfigHandle loadConfig(const QByteArray &text, QString *errorText)
{
    snd_config_t *top = nullptr;
    int error = snd_config_top(&top);
    if (error < 0) {
        *errorText = QStringLiteral("Cannot create an ALSA configuration: %1").arg(errorString(error));
        return {};
    }
    ConfigHandle config(top);
    snd_input_t *input = nullptr;
    error = snd_input_buffer_open(&input, text.constData(), text.size());
    if (error < 0) {
        *errorText = QStringLiteral("Cannot read the ALSA configuration: %1").arg(errorString(error));
        return {};
    }
    error = snd_config_load(config.get(), input);
    snd_input_close(input);
    if (error < 0) {
        *errorText = QStringLiteral("Cannot parse the ALSA configuration: %1").arg(errorString(error));
        return {};
    }
    return config;
}

static bool hasCaptureDevice(snd_ctl_t *ctl)
{
    snd_pcm_info_t *info = nullptr;
    snd_pcm_info_alloca(&info);
    int device = -1;
    while (snd_ctl_pcm_next_device(ctl, &device) >= 0 && device >= 0) {
        snd_pcm_info_set_device(info, static_cast<unsigned>(device));
        snd_pcm_info_set_subdevice(info, 0);
        snd_pcm_info_set_stream(info, SND_PCM_STREAM_CAPTURE);
        if (snd_ctl_pcm_info(ctl, info) >= 0)
            return true;
    }
    return false;
}

QList<CaptureDevice> captureDevices()
{
    silenceLibraryMessages();
    QList<CaptureDevice> devices{{QStringLiteral("default"), QStringLiteral("default"), QStringLiteral("default")}};
    int card = -1;
    while (snd_card_next(&card) >= 0 && card >= 0) {
        const QString ctlName = QStringLiteral("hw:%1").arg(card);
        snd_ctl_t *raw = nullptr;
        if (snd_ctl_open(&raw, ctlName.toUtf8().constData(), 0) < 0)
            continue;
        CtlHandle ctl(raw);
        if (!hasCaptureDevice(ctl.get()))
            continue;
        char *name = nullptr;
        QString displayName = ctlName;
        if (snd_card_get_name(card, &name) >= 0 && name) {
            displayName = QString::fromUtf8(name);
            std::free(name);
        }
        devices.append({displayName, QStringLiteral("plughw:%1").arg(card), ctlName});
    }
    return devices;
}

QString errorString(int error)
{
    return QString::fromUtf8(snd_strerror(error));
}

snd_pcm_format_t sampleFormat(int bitsPerSample)
{
    return bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
}

} // namespace sonavell::alsa
