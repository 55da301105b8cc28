#pragma once

#include <QString>

namespace sonavell {

// True when the file lies on a mounted volume whose block device the kernel marks removable
// (a USB stick or a portable player); false for fixed disks and for paths it cannot place.
bool isOnRemovableDrive(const QString &path);

// The kernel's removable flag for a device node such as "/dev/sdb1" (its disk's flag for a
// partition), read below sysBlock, which tests may point elsewhere.
bool isRemovableDevice(const QString &deviceNode, const QString &sysBlock = QStringLiteral("/sys/block"));

} // namespace sonavell
