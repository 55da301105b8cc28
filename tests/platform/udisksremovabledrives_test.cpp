#include "platform/udisksremovabledrives.h"

#include <gtest/gtest.h>

namespace sonavell {
namespace {

// udisks2's answer as it arrives: Block objects naming their Drive and device node, Drives with
// their bus and removability.
UdisksObjects udisksObjects()
{
    auto drive = [](bool removable, bool mediaRemovable, const char *bus, QStringList media = {}) {
        return QMap<QString, QVariantMap>{
            {QStringLiteral("org.freedesktop.UDisks2.Drive"),
             QVariantMap{{QStringLiteral("Removable"), removable},
                         {QStringLiteral("MediaRemovable"), mediaRemovable},
                         {QStringLiteral("ConnectionBus"), QString::fromLatin1(bus)},
                         {QStringLiteral("MediaCompatibility"), media}}}};
    };
    auto block = [](const char *device, const char *drive) {
        return QMap<QString, QVariantMap>{
            {QStringLiteral("org.freedesktop.UDisks2.Block"),
             QVariantMap{{QStringLiteral("Device"), QByteArray(device) + '\0'},
                         {QStringLiteral("Drive"), QString::fromLatin1(drive)}}}};
    };
    const QString base = QStringLiteral("/org/freedesktop/UDisks2/");
    return UdisksObjects{
        {base + QStringLiteral("drives/Internal"), drive(false, false, "")},
        {base + QStringLiteral("drives/Player"), drive(false, false, "usb")},
        {base + QStringLiteral("drives/Reader"), drive(true, true, "")},
        {base + QStringLiteral("drives/Dvd"), drive(true, true, "", {QStringLiteral("optical_dvd")})},
        {base + QStringLiteral("block_devices/nvme0n1p1"),
         block("/dev/nvme0n1p1", "/org/freedesktop/UDisks2/drives/Internal")},
        {base + QStringLiteral("block_devices/sdb"),
         block("/dev/sdb", "/org/freedesktop/UDisks2/drives/Player")},
        {base + QStringLiteral("block_devices/sdb1"),
         block("/dev/sdb1", "/org/freedesktop/UDisks2/drives/Player")},
        {base + QStringLiteral("block_devices/mmcblk0p1"),
         block("/dev/mmcblk0p1", "/org/freedesktop/UDisks2/drives/Reader")},
        {base + QStringLiteral("block_devices/sr0"),
         block("/dev/sr0", "/org/freedesktop/UDisks2/drives/Dvd")},
        {base + QStringLiteral("block_devices/loop0"), block("/dev/loop0", "/")},
    };
}

TEST(UdisksRemovableDrives, DrivesOnUsbOrWithRemovableMedia)
{
    const QSet<QString> devices = UdisksRemovableDrives::removableFromUdisks(udisksObjects());
    EXPECT_EQ(devices, (QSet<QString>{QStringLiteral("/dev/sdb"), QStringLiteral("/dev/sdb1"),
                                      QStringLiteral("/dev/mmcblk0p1")}));
    const UdisksRemovableDrives::Answer answered(devices, QStringLiteral("/nonexistent"));
    EXPECT_TRUE(answered.usesUdisks());
    EXPECT_TRUE(answered.isPlayerDevice(QStringLiteral("/dev/sdb1")));
    EXPECT_FALSE(answered.isPlayerDevice(QStringLiteral("/dev/nvme0n1p1")));
}

} // namespace
} // namespace sonavell
