#pragma once

// Shared by the ALSA implementations only; nothing outside src/platform includes this.

#include <alsa/asoundlib.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace sonavell::alsa {

struct PcmCloser { void operator()(snd_pcm_t *pcm) const { snd_pcm_close(pcm); } };
struct MixerCloser { void operator()(snd_mixer_t *mixer) const { snd_mixer_close(mixer); } };
struct ConfigDeleter { void operator()(snd_config_t *config) const { snd_config_delete(config); } };
struct CtlCloser { void operator()(snd_ctl_t *ctl) const { snd_ctl_close(ctl); } };

using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;
using MixerHandle = std::unique_ptr<snd_mixer_t, MixerCloser>;
using ConfigHandle = std::unique_ptr<snd_config_t, ConfigDeleter>;
using CtlHandle = std::unique_ptr<snd_ctl_t, CtlCloser>;

// ALSA prints its own diagnostics to stderr; we report failures through our error texts instead.
void silenceLibraryMessages();

// Parses an ALSA configuration given as text, for opening devices without the system's files.
ConfigHandle loadConfig(const QByteArray &text, QString *errorText);

// A device the user can record from: a name to show and the PCM name to open.
struct CaptureDevice
{
    QString displayName;
    QString pcmName;
    QString ctlName; // the card's control device, for its mixer
};

// "default" first, then every sound card with a capture device, in card order.
QList<CaptureDevice> captureDevices();

QString errorString(int error);

snd_pcm_format_t sampleFormat(int bitsPerSample);

} // namespace sonavell::alsa
