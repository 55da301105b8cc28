#include "files/drives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace sonavell {

bool isRemovableDevice(const QString &deviceNode, const QString &sysBlock)
{
    if (!deviceNode.startsWith(QStringLiteral("/dev/")))
        return false;
    const QString name = QFileInfo(deviceNode).fileName();
    // A partition's flag lives on its disk: /sys/block/sdb/removable for sdb1 or mmcblk0p1.
    const QDir blocks(sysBlock);
    QString disk;
    for (const QString &candidate : blocks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (name.startsWith(candidate) && candidate.size() > disk.size())
            disk = candidate;
    }
    if (disk.isEmpty())
        return false;
    QFile flag(blocks.filePath(disk + QStringLiteral("/removable")));
    return flag.open(QIODevice::ReadOnly) && flag.read(1) == "1";
}

bool isOnRemovableDrive(const QString &path)
{
    const QStorageInfo volume(QFileInfo(path).absolutePath());
    if (!volume.isValid() || !volume.isReady())
        return false;
    return isRemovableDevice(QString::fromLocal8Bit(volume.device()));
}

} // namespace sonavell
