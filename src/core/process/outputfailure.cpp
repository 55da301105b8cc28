#include "core/process/outputfailure.h"

#include <QFile>
#include <QFileInfo>

#include <sys/statvfs.h>

namespace sonavell {

namespace {

// Less free space than this on the output's file system reads as a full disk.
constexpr unsigned long long kNearlyFullBytes = 1024 * 1024;

QString causeOf(const QFileInfo &output)
{
    const QFileInfo folder(output.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("the folder does not exist");
    if (!folder.isWritable())
        return QStringLiteral("the folder is not writable");
    if (output.exists() && !output.isWritable())
        return QStringLiteral("the file is write-protected");
    struct statvfs space = {};
    if (::statvfs(QFile::encodeName(folder.absoluteFilePath()).constData(), &space) == 0
        && static_cast<unsigned long long>(space.f_bavail) * space.f_frsize < kNearlyFullBytes)
        return QStringLiteral("the disk is full");
    return QStringLiteral("a write failed");
}

} // namespace

QString outputFailureText(const QString &output)
{
    const QFileInfo info(output);
    QString text = QStringLiteral("%1: could not be written (%2)").arg(output, causeOf(info));
    if (info.exists())
        text += QStringLiteral("; the existing file was left unchanged");
    return text;
}

} // namespace sonavell
