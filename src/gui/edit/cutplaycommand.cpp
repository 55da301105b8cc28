#include "gui/edit/cutplaycommand.h"

#include "core/audio/audiooutput.h"
#include "gui/edit/cutplaydialog.h"

namespace sonavell {

namespace {

// Stands in for a missing device: every open fails, so a play ends at its first check.
class NoAudioOutput : public AudioOutput
{
public:
    bool open(const WaveFormat &, AudioOutputClient *) override { return false; }
    bool prepare(AudioOutputBuffer &) override { return false; }
    bool unprepare(AudioOutputBuffer &) override { return false; }
    bool write(AudioOutputBuffer &) override { return false; }
    bool pause() override { return false; }
    bool restart() override { return false; }
    bool reset() override { return false; }
    std::uint64_t positionBytes() const override { return 0; }
    bool close() override { return false; }
    bool isOpen() const override { return false; }
    QString errorText() const override { return QStringLiteral("no output device"); }
};

} // namespace

void runCutAndPlay(QWidget *parent, AudioOutput *output, const QString &selectedPath)
{
    NoAudioOutput none;
    CutPlayDialog dialog(output ? *output : none, parent);
    if (!selectedPath.isEmpty())
        dialog.setFile(selectedPath);
    dialog.exec();
}

} // namespace sonavell
