#pragma once

#include <QByteArray>
#include <QString>

#include <set>
#include <vector>

namespace sonavell::test {

// An MP3 file as libmad sees it, for checking what our encoder wrote.
struct DecodedMp3
{
    bool hasInfoFrame = false;  // the first frame carries a Xing/Info tag
    QByteArray infoTagName;     // "Info" or "Xing"
    int infoFrameCount = -1;    // frame count the tag declares, -1 when absent
    int audioFrames = 0;        // frames decoded, the tag frame not counted
    int sampleRate = 0;
    int channels = 0;
    int layer = 0;
    std::set<int> bitRates;     // kbit/s of the audio frames
    std::vector<short> pcm;     // interleaved, as decoded
    int errors = 0;

    // Mean absolute sample value of the decoded audio, or of the part between two times.
    double level(double fromSecond = 0, double toSecond = -1) const;
    double seconds() const { return sampleRate && channels ? double(pcm.size()) / channels / sampleRate : 0; }
};

DecodedMp3 decodeMp3(const QByteArray &bytes);
DecodedMp3 decodeMp3File(const QString &path);

} // namespace sonavell::test
