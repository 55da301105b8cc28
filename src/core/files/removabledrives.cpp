#include "core/files/removabledrives.h"

#include "core/files/playervolumes.h"

namespace sonavell {

bool RemovableDrives::isOnPlayerVolume(const QString &path) const
{
    const QString root = volumeRootOf(path);
    return !root.isEmpty() && playerDrives().contains(root);
}

QStringList KernelRemovableDrives::playerDrives() const
{
    return playerVolumeRoots(mountedBlockVolumes(),
                             [&](const QString &device) { return isRemovableOrUsbDevice(device, m_sysRoot); });
}

} // namespace sonavell
