#include "gui/process/processcommands.h"

#include "core/files/filelist.h"
#include "gui/process/bitratevolumedialog.h"
#include "gui/process/datarate.h"
#include "gui/process/joindialog.h"
#include "core/process/joinjob.h"
#include "core/process/mp3towavjob.h"
#include "gui/process/progressdialog.h"
#include "core/process/reencodejob.h"
#include "gui/process/splitdialog.h"
#include "core/process/splitjob.h"
#include "gui/process/trimdialog.h"
#include "core/process/trimjob.h"
#include "gui/process/wavtomp3dialog.h"
#include "core/process/wavtomp3job.h"
#include "gui/ui/folderbrowser.h"

namespace sonavell {

namespace {

QStringList selectedPaths(const FileList &list)
{
    QStringList paths;
    list.collectSelected(paths);
    return paths;
}

// Room for any path the system allows: a folder cut short would put the files elsewhere.
constexpr int kFolderPathRoom = 4096;

} // namespace

bool runProcessCommand(CommandId id, FileList &list, QWidget *window)
{
    switch (id) {
    case CommandId::Split:
        splitSelected(list, window);
        return true;
    case CommandId::Join:
        joinSelected(list, window);
        return true;
    case CommandId::ChangeBitrate:
        changeBitrateOfSelected(list, window);
        return true;
    case CommandId::Trim:
        trimSelected(list, window);
        return true;
    case CommandId::WavToMp3:
        convertWavToMp3(window);
        return true;
    case CommandId::Mp3ToWav:
        convertSelectedToWav(list, window);
        return true;
    default:
        return false;
    }
}

void splitSelected(FileList &list, QWidget *window)
{
    SplitJob job(selectedPaths(list));
    SplitDialog dialog(window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    job.setVolumeScale(dialog.volumeScale());
    job.setPartCount(dialog.partCount());
    ProgressDialog::runJob(job, window);
}

void joinSelected(FileList &list, QWidget *window)
{
    JoinJob job(selectedPaths(list));
    JoinDialog dialog(window);
    dialog.setDataRateIndex(dataRateIndexOf(job.files().constFirst()));
    if (dialog.exec() != QDialog::Accepted)
        return;
    job.setBitrateKbps(dialog.bitrateKbps());
    job.setOutputPath(dialog.outputPath());
    ProgressDialog::runJob(job, window);
}

void changeBitrateOfSelected(FileList &list, QWidget *window)
{
    ReencodeJob job(selectedPaths(list));
    BitrateVolumeDialog dialog(window);
    dialog.setDataRateIndex(dataRateIndexOf(job.files().constFirst()));
    if (dialog.exec() != QDialog::Accepted)
        return;
    job.setBitrateKbps(dialog.bitrateKbps());
    job.setVolumeScale(dialog.volumeScale());
    ProgressDialog::runJob(job, window);
    // Also after a cancel: the files done before it have changed.
    list.refreshSelected();
}

void trimSelected(FileList &list, QWidget *window)
{
    TrimJob job(selectedPaths(list));
    TrimDialog dialog(window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    job.setStartTrimSeconds(dialog.startTrimSeconds());
    job.setEndTrimSeconds(dialog.endTrimSeconds());
    job.setRecode(dialog.recode());
    job.setBitrateKbps(dialog.bitrateKbps());
    ProgressDialog::runJob(job, window);
    list.refreshSelected();
}

void convertWavToMp3(QWidget *window)
{
    WavToMp3Dialog dialog(window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    WavToMp3Job job(QStringList{dialog.wavPath()});
    job.setBitrateKbps(dialog.bitrateKbps());
    job.setOutputPath(dialog.mp3Path());
    job.setRange(0, 0);
    ProgressDialog::runJob(job, window);
}

void convertSelectedToWav(FileList &list, QWidget *window)
{
    Mp3ToWavJob job(selectedPaths(list));
    QString folder;
    if (!browseForFolder(window, QStringLiteral("Select Wav File Path"), QStringLiteral("Blar blar..."), folder,
                         kFolderPathRoom))
        return;
    job.setOutputFolder(folder);
    ProgressDialog::runJob(job, window);
}

} // namespace sonavell
