#include "gui/process/processcommands.h"

#include "core/encode/mp3encoder.h"
#include "core/files/filelist.h"
#include "core/process/joinjob.h"
#include "core/process/mp3towavjob.h"
#include "core/process/reencodejob.h"
#include "core/process/splitjob.h"
#include "core/process/trimjob.h"
#include "core/process/wavtomp3job.h"
#include "core/settings/recordersettings.h"
#include "gui/process/bitratevolumedialog.h"
#include "gui/process/datarate.h"
#include "gui/process/joindialog.h"
#include "gui/process/progressdialog.h"
#include "gui/process/splitdialog.h"
#include "gui/process/trimdialog.h"
#include "gui/process/wavtomp3dialog.h"
#include "gui/ui/folderbrowser.h"

#include <QFileInfo>
#include <QMessageBox>

namespace sonavell {

namespace {

// Whether a file can be made at path: a name in an existing folder we may write to.
bool canCreateFile(const QString &path)
{
    const QFileInfo target(path);
    if (path.isEmpty() || target.isDir() || target.fileName().isEmpty())
        return false;
    if (target.exists())
        return target.isWritable();
    const QFileInfo folder(target.absolutePath());
    return folder.isDir() && folder.isWritable();
}

// Room for any path the system allows: a folder cut short would put the files elsewhere.
constexpr int kFolderPathRoom = 4096;

} // namespace

QStringList confirmedSelection(const FileList &list, QWidget *window)
{
    QStringList paths;
    if (list.collectSelected(paths) == 0)
        QMessageBox::information(window, QStringLiteral("Sonavell"), QStringLiteral("There is not selected file!"));
    return paths;
}

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
    SplitDialog dialog(window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    SplitJob job(confirmedSelection(list, window));
    if (job.files().isEmpty())
        return;
    job.setVolumeScale(dialog.volumeScale());
    job.setPartCount(dialog.partCount());
    ProgressDialog::runJob(job, window);
}

void joinSelected(FileList &list, QWidget *window)
{
    JoinDialog dialog(window);
    dialog.setDataRateIndex(dataRateIndexOf(list.firstSelectedPath()));
    if (dialog.exec() != QDialog::Accepted)
        return;
    JoinJob job(confirmedSelection(list, window), settings().recordFormat());
    if (job.files().isEmpty())
        return;
    // Found out now, not after every input has been decoded.
    if (!canCreateFile(dialog.outputPath())) {
        QMessageBox::warning(window, QStringLiteral("Sonavell"),
                             Mp3Encoder::errorText(Mp3Encoder::Error::FileNotCreated));
        return;
    }
    job.setBitrateKbps(dialog.bitrateKbps());
    job.setOutputPath(dialog.outputPath());
    ProgressDialog::runJob(job, window);
}

void changeBitrateOfSelected(FileList &list, QWidget *window)
{
    BitrateVolumeDialog dialog(window);
    dialog.setDataRateIndex(dataRateIndexOf(list.firstSelectedPath()));
    if (dialog.exec() != QDialog::Accepted)
        return;
    ReencodeJob job(confirmedSelection(list, window));
    if (job.files().isEmpty())
        return;
    job.setBitrateKbps(dialog.bitrateKbps());
    job.setVolumeScale(dialog.volumeScale());
    ProgressDialog::runJob(job, window);
    // Also after a cancel: the files done before it have changed.
    list.refreshFiles(job.files());
}

void trimSelected(FileList &list, QWidget *window)
{
    TrimDialog dialog(window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    TrimJob job(confirmedSelection(list, window));
    if (job.files().isEmpty())
        return;
    job.setStartTrimSeconds(dialog.startTrimSeconds());
    job.setEndTrimSeconds(dialog.endTrimSeconds());
    job.setRecode(dialog.recode());
    job.setBitrateKbps(dialog.bitrateKbps());
    ProgressDialog::runJob(job, window);
    list.refreshFiles(job.files());
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
    QString folder;
    if (!browseForFolder(window, QStringLiteral("Select Wav File Path"), QStringLiteral("Blar blar..."), folder,
                         kFolderPathRoom))
        return;
    Mp3ToWavJob job(confirmedSelection(list, window));
    if (job.files().isEmpty())
        return;
    job.setOutputFolder(folder);
    ProgressDialog::runJob(job, window);
}

} // namespace sonavell
