#include "core/files/playervolumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>

#include <algorithm>

namespace sonavell {

QList<MountedVolume> mountedBlockVolumes()
{
    QList<MountedVolume> volumes;
    for (const QStorageInfo &storage : QStorageInfo::mountedVolumes()) {
        const QString device = QString::fromLocal8Bit(storage.device());
        if (storage.isValid() && storage.isReady() && device.startsWith(QStringLiteral("/dev/")))
            volumes.append({storage.rootPath(), device});
    }
    return volumes;
}

bool isRemovableOrUsbDevice(const QString &deviceNode, const QString &sysRoot)
{
    if (!deviceNode.startsWith(QStringLiteral("/dev/")))
        return false;
    // /dev/disk/by-label/... and the like are links to the kernel's own name.
    const QString resolved = QFileInfo(deviceNode).canonicalFilePath();
    const QString name = QFileInfo(resolved.isEmpty() ? deviceNode : resolved).fileName();
    // Floppies and optical drives carry the removable flag but are no players.
    static const QRegularExpression notPlayer(QStringLiteral("^(fd|sr)\\d+$"));
    if (name.isEmpty() || notPlayer.match(name).hasMatch())
        return false;

    // class/block/<name> links to the device's place in the device tree, such as
    // devices/pci0000:00/0000:00:14.0/usb2/2-1/.../block/sdb/sdb1 for a partition.
    const QDir sys(sysRoot);
    QString place = QFileInfo(sys.filePath(QStringLiteral("class/block/") + name)).canonicalFilePath();
    if (place.isEmpty())
        place = QFileInfo(sys.filePath(QStringLiteral("block/") + name)).canonicalFilePath();
    if (place.isEmpty())
        return false;
    const QString disk =
        QFileInfo::exists(place + QStringLiteral("/partition")) ? QFileInfo(place).path() : place;

    QFile flag(disk + QStringLiteral("/removable"));
    if (flag.open(QIODevice::ReadOnly) && flag.read(1) == "1")
        return true;
    static const QRegularExpression usbBus(QStringLiteral("^usb\\d+$"));
    const QStringList steps = disk.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return std::any_of(steps.cbegin(), steps.cend(),
                       [](const QString &step) { return usbBus.match(step).hasMatch(); });
}

QStringList playerVolumeRoots(const QList<MountedVolume> &volumes,
                              const std::function<bool(const QString &device)> &isPlayerDevice)
{
    QStringList roots;
    for (const MountedVolume &volume : volumes) {
        if (volume.rootPath != QStringLiteral("/") && !roots.contains(volume.rootPath) &&
            isPlayerDevice(volume.device))
            roots.append(volume.rootPath);
    }
    roots.sort();
    return roots;
}

QString volumeRootOf(const QString &path)
{
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    return storage.isValid() ? storage.rootPath() : QString();
}

} // namespace sonavell
