#include "core/encode/encoderlibrary.h"

#include <QFile>

#include <lame/lame.h>

#include <dlfcn.h>

#include <memory>

namespace sonavell {

struct EncoderStream
{
    lame_global_flags *flags = nullptr;
    int channels = 2;
};

struct EncoderLibrary::Api
{
    decltype(&lame_init) init = nullptr;
    decltype(&lame_set_in_samplerate) setInSampleRate = nullptr;
    decltype(&lame_set_out_samplerate) setOutSampleRate = nullptr;
    decltype(&lame_set_num_channels) setChannels = nullptr;
    decltype(&lame_set_mode) setMode = nullptr;
    decltype(&lame_set_brate) setBitRate = nullptr;
    decltype(&lame_set_VBR) setVbr = nullptr;
    decltype(&lame_set_original) setOriginal = nullptr;
    decltype(&lame_set_copyright) setCopyright = nullptr;
    decltype(&lame_set_error_protection) setCrc = nullptr;
    decltype(&lame_set_emphasis) setEmphasis = nullptr;
    decltype(&lame_set_bWriteVbrTag) setWriteVbrTag = nullptr;
    decltype(&lame_set_disable_reservoir) setDisableReservoir = nullptr;
    decltype(&lame_init_params) initParams = nullptr;
    decltype(&lame_get_framesize) frameSize = nullptr;
    decltype(&lame_encode_buffer) encodeSeparate = nullptr;
    decltype(&lame_encode_buffer_interleaved) encodeInterleaved = nullptr;
    decltype(&lame_encode_flush) flush = nullptr;
    decltype(&lame_close) close = nullptr;
    decltype(&get_lame_version) version = nullptr;
    decltype(&lame_get_lametag_frame) lameTagFrame = nullptr; // optional
    decltype(&lame_get_brate) getBitRate = nullptr;            // optional
    decltype(&lame_get_out_samplerate) getOutSampleRate = nullptr; // optional
};

namespace {

template <typename Function>
bool resolve(void *handle, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(dlsym(handle, name));
    return function != nullptr;
}

// Bit rates the frame header can carry at a sample rate: MPEG-1 rates take 32..320 kbit/s,
// the lower MPEG-2 and MPEG-2.5 rates 8..160 kbit/s (ISO/IEC 11172-3 and 13818-3).
bool bitRateFitsSampleRate(std::uint32_t kbps, std::uint32_t hz)
{
    if (hz >= 32000)
        return kbps >= 32 && kbps <= 320;
    return kbps >= 8 && kbps <= 160;
}

// The worst case the library documents for one call: 1.25 × samples per channel + 7200.
std::uint32_t worstCaseOutput(std::uint32_t samplesPerChannel)
{
    return samplesPerChannel * 5 / 4 + 7200;
}

} // namespace

EncoderLibrary::~EncoderLibrary()
{
    delete m_api;
    if (m_handle)
        dlclose(m_handle);
}

bool EncoderLibrary::load(const QString &fileName)
{
    if (m_handle)
        return true;
    void *handle = dlopen(QFile::encodeName(fileName).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        m_error = QString::fromLocal8Bit(dlerror());
        return false;
    }
    auto api = std::make_unique<Api>();
    const char *missing = nullptr;
    auto need = [&](const char *name, auto &function) {
        if (!missing && !resolve(handle, name, function))
            missing = name;
    };
    need("lame_init", api->init);
    need("lame_set_in_samplerate", api->setInSampleRate);
    need("lame_set_out_samplerate", api->setOutSampleRate);
    need("lame_set_num_channels", api->setChannels);
    need("lame_set_mode", api->setMode);
    need("lame_set_brate", api->setBitRate);
    need("lame_set_VBR", api->setVbr);
    need("lame_set_original", api->setOriginal);
    need("lame_set_copyright", api->setCopyright);
    need("lame_set_error_protection", api->setCrc);
    need("lame_set_emphasis", api->setEmphasis);
    need("lame_set_bWriteVbrTag", api->setWriteVbrTag);
    need("lame_set_disable_reservoir", api->setDisableReservoir);
    need("lame_init_params", api->initParams);
    need("lame_get_framesize", api->frameSize);
    need("lame_encode_buffer", api->encodeSeparate);
    need("lame_encode_buffer_interleaved", api->encodeInterleaved);
    need("lame_encode_flush", api->flush);
    need("lame_close", api->close);
    need("get_lame_version", api->version);
    if (missing) {
        m_error = QStringLiteral("missing entry point %1").arg(QString::fromLatin1(missing));
        dlclose(handle);
        return false;
    }
    resolve(handle, "lame_get_lametag_frame", api->lameTagFrame);
    resolve(handle, "lame_get_brate", api->getBitRate);
    resolve(handle, "lame_get_out_samplerate", api->getOutSampleRate);
    m_handle = handle;
    m_api = api.release();
    return true;
}

int EncoderLibrary::initStream(const EncoderConfig &config, std::uint32_t &samplesPerChunk,
                               std::uint32_t &outputBufferSize, EncoderStream *&stream)
{
    stream = nullptr;
    if (!m_api || config.formatSelector != EncoderConfig::kExtendedLayout || config.sampleRate == 0)
        return kError;
    auto created = std::make_unique<EncoderStream>();
    created->flags = m_api->init();
    if (!created->flags)
        return kError;
    lame_global_flags *gf = created->flags;
    const bool mono = config.mode == EncoderConfig::kModeMono;
    created->channels = mono ? 1 : 2;
    m_api->setInSampleRate(gf, static_cast<int>(config.sampleRate));
    // Without a request the file keeps the input's rate whenever the bit rate allows it; the
    // library would otherwise lower the rate of modest bit rates on its own.
    if (config.resampleRate != 0)
        m_api->setOutSampleRate(gf, static_cast<int>(config.resampleRate));
    else if (bitRateFitsSampleRate(config.bitRate, config.sampleRate))
        m_api->setOutSampleRate(gf, static_cast<int>(config.sampleRate));
    m_api->setChannels(gf, created->channels);
    m_api->setMode(gf, mono ? MONO : STEREO);
    m_api->setVbr(gf, vbr_off);
    m_api->setBitRate(gf, static_cast<int>(config.bitRate));
    m_api->setOriginal(gf, config.original ? 1 : 0);
    m_api->setCopyright(gf, config.copyright ? 1 : 0);
    m_api->setCrc(gf, config.crc ? 1 : 0);
    m_api->setEmphasis(gf, static_cast<int>(config.emphasis));
    m_api->setWriteVbrTag(gf, config.writeVbrHeader ? 1 : 0);
    m_api->setDisableReservoir(gf, config.noBitReservoir ? 1 : 0);
    if (m_api->initParams(gf) < 0) {
        m_api->close(gf);
        return kError;
    }
    const auto frameSize = static_cast<std::uint32_t>(m_api->frameSize(gf));
    samplesPerChunk = frameSize * static_cast<std::uint32_t>(created->channels);
    outputBufferSize = worstCaseOutput(frameSize);
    stream = created.release();
    return kOk;
}

int EncoderLibrary::streamBitRate(EncoderStream *stream) const
{
    return m_api && stream && m_api->getBitRate ? m_api->getBitRate(stream->flags) : 0;
}

int EncoderLibrary::streamSampleRate(EncoderStream *stream) const
{
    return m_api && stream && m_api->getOutSampleRate ? m_api->getOutSampleRate(stream->flags) : 0;
}

int EncoderLibrary::encodeChunk(EncoderStream *stream, std::uint32_t sampleCount, const std::int16_t *pcm,
                                unsigned char *output, std::uint32_t outputSize, std::uint32_t &outputBytes)
{
    outputBytes = 0;
    if (!m_api || !stream)
        return kError;
    const int frames = static_cast<int>(sampleCount / static_cast<std::uint32_t>(stream->channels));
    const int written = stream->channels == 1
                            ? m_api->encodeSeparate(stream->flags, pcm, pcm, frames, output, static_cast<int>(outputSize))
                            : m_api->encodeInterleaved(stream->flags, const_cast<short *>(pcm), frames, output,
                                                       static_cast<int>(outputSize));
    if (written < 0)
        return kError;
    outputBytes = static_cast<std::uint32_t>(written);
    return kOk;
}

int EncoderLibrary::deinitStream(EncoderStream *stream, unsigned char *output, std::uint32_t outputSize,
                                 std::uint32_t &outputBytes)
{
    outputBytes = 0;
    if (!m_api || !stream)
        return kError;
    const int written = m_api->flush(stream->flags, output, static_cast<int>(outputSize));
    if (written < 0)
        return kError;
    outputBytes = static_cast<std::uint32_t>(written);
    return kOk;
}

int EncoderLibrary::closeStream(EncoderStream *stream)
{
    if (!m_api || !stream)
        return kError;
    m_api->close(stream->flags);
    delete stream;
    return kOk;
}

std::uint32_t EncoderLibrary::infoTag(EncoderStream *stream, unsigned char *buffer, std::uint32_t size)
{
    if (!m_api || !stream || !m_api->lameTagFrame)
        return 0;
    const std::size_t bytes = m_api->lameTagFrame(stream->flags, buffer, size);
    return bytes <= size ? static_cast<std::uint32_t>(bytes) : 0;
}

QString EncoderLibrary::version() const
{
    return m_api ? QString::fromLatin1(m_api->version()) : QString();
}

} // namespace sonavell
