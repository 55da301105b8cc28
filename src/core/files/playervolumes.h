#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace sonavell {

// One mounted file system with a block device behind it.
struct MountedVolume
{
    QString rootPath; // where it is mounted, such as /media/anna/PLAYER
    QString device;   // its device node, such as /dev/sdb1
};

// The mounted volumes that sit on a block device (/dev/...), as the system lists them.
QList<MountedVolume> mountedBlockVolumes();

// The kernel's view of a device node below sysRoot (normally /sys): its disk's removable flag
// is set, or the device hangs off a USB bus. Many players and USB sticks clear the removable
// flag, so the bus counts as well.
bool isRemovableOrUsbDevice(const QString &deviceNode, const QString &sysRoot = QStringLiteral("/sys"));

// The mount points of the volumes whose device passes the test, sorted; the root file system
// is never offered.
QStringList playerVolumeRoots(const QList<MountedVolume> &volumes,
                              const std::function<bool(const QString &device)> &isPlayerDevice);

// The mount point of the volume that holds path, or an empty text.
QString volumeRootOf(const QString &path);

} // namespace sonavell
