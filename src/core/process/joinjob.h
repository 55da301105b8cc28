#pragma once

#include "core/decode/decoder.h"
#include "core/process/batchjob.h"
#include "core/settings/waveformat.h"

#include <memory>
#include <vector>

namespace sonavell {

class DecodeContext;
class JoinConverter;
class Mp3Encoder;
class ReplacementFile;

// Join: decodes every input in order, converts it to one target format (by default the
// record setup's rate and channel count) and feeds it to one encoder that writes outputPath
// at bitrateKbps from the first frame of the first input to the end of the last. An input
// that cannot be read is reported and left out. The output replaces an existing file of that
// name only when the join ends, so it may be one of the inputs.
class JoinJob : public BatchJob
{
public:
    // The target is the record format (see setTargetFormat).
    explicit JoinJob(QStringList files = {}, const WaveFormat &target = {});
    ~JoinJob() override;

    void setBitrateKbps(int kbps) { m_bitrateKbps = kbps; }
    int bitrateKbps() const { return m_bitrateKbps; }
    void setOutputPath(const QString &path) { m_outputPath = path; }
    const QString &outputPath() const { return m_outputPath; }
    // Only the rate and the channel count (1 or 2) are used.
    void setTargetFormat(const WaveFormat &format);
    const WaveFormat &targetFormat() const { return m_targetFormat; }

    // Runs on the worker thread.
    void processFile(const QString &path) override;
    // Every file, then the samples short of a whole chunk; the encoder is finished and the
    // output put in place, also after a cancel (it holds everything up to it). Nothing is
    // written when no frame was decoded.
    void run() override;

protected:
    QString noAudioConsequence() const override { return QStringLiteral("nothing of it is in %1").arg(m_outputPath); }
    bool givesUpAfterFailure() const override { return true; }

private:
    DecodeFlow joinFrame(DecodeContext &context, const DecodedFrame &frame);
    bool startEncoder(const DecodedFrame &frame);
    void finishOutput();

    int m_bitrateKbps = 32;
    QString m_outputPath;
    WaveFormat m_targetFormat;

    // One join's state, from the first decoded frame to the end of run().
    std::unique_ptr<ReplacementFile> m_output;
    std::unique_ptr<Mp3Encoder> m_encoder;
    std::unique_ptr<JoinConverter> m_converter;
    std::vector<std::int16_t> m_pcm;
    bool m_failed = false;
};

} // namespace sonavell
