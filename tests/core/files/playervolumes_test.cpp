#include "core/files/playervolumes.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

// A /sys-like tree: block devices in their places below devices/, reached through the links
// class/block/<name> (disks and partitions) and block/<disk> (disks).
class FakeSys
{
public:
    FakeSys()
    {
        addDisk(QStringLiteral("pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0"),
                QStringLiteral("sda"), false, {QStringLiteral("sda1")});
        addDisk(QStringLiteral("pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0"),
                QStringLiteral("sdb"), false, {QStringLiteral("sdb1")});
        addDisk(QStringLiteral("pci0000:00/0000:00:1d.0/host7/target7:0:0/7:0:0:0"), QStringLiteral("sdc"),
                true, {});
        addDisk(QStringLiteral("pci0000:00/0000:00:1f.2/ata2/host1/target1:0:0/1:0:0:0"),
                QStringLiteral("sr0"), true, {});
        addDisk(QStringLiteral("platform/floppy.0"), QStringLiteral("fd0"), true, {});
    }
    QString root() const { return m_root.path(); }

private:
    void addDisk(const QString &place, const QString &disk, bool removable, const QStringList &partitions)
    {
        const QString diskDir =
            m_root.file(QStringLiteral("devices/") + place + QStringLiteral("/block/") + disk);
        EXPECT_TRUE(QDir().mkpath(diskDir));
        EXPECT_TRUE(test::writeAll(diskDir + QStringLiteral("/removable"), removable ? "1\n" : "0\n"));
        QDir().mkpath(m_root.file(QStringLiteral("class/block")));
        QDir().mkpath(m_root.file(QStringLiteral("block")));
        EXPECT_TRUE(QFile::link(diskDir, m_root.file(QStringLiteral("class/block/") + disk)));
        EXPECT_TRUE(QFile::link(diskDir, m_root.file(QStringLiteral("block/") + disk)));
        for (const QString &partition : partitions) {
            const QString partDir = diskDir + QLatin1Char('/') + partition;
            EXPECT_TRUE(QDir().mkpath(partDir));
            EXPECT_TRUE(test::writeAll(partDir + QStringLiteral("/partition"), "1\n"));
            EXPECT_TRUE(QFile::link(partDir, m_root.file(QStringLiteral("class/block/") + partition)));
        }
    }

    test::TempFolder m_root;
};

struct DeviceCase
{
    const char *label;
    QString device;
    bool player;
};

class PlayerDevices : public ::testing::TestWithParam<DeviceCase>
{
protected:
    static FakeSys *sys;
    static void SetUpTestSuite() { sys = new FakeSys; }
    static void TearDownTestSuite()
    {
        delete sys;
        sys = nullptr;
    }
};
FakeSys *PlayerDevices::sys = nullptr;

TEST_P(PlayerDevices, RemovableFlagOrUsbBus)
{
    EXPECT_EQ(isRemovableOrUsbDevice(GetParam().device, sys->root()), GetParam().player);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlayerDevices,
    ::testing::Values(DeviceCase{"FixedDiskPartition", QStringLiteral("/dev/sda1"), false},
                      DeviceCase{"UsbPartitionWithoutRemovableFlag", QStringLiteral("/dev/sdb1"), true},
                      DeviceCase{"UsbWholeDisk", QStringLiteral("/dev/sdb"), true},
                      DeviceCase{"RemovableFlagOnly", QStringLiteral("/dev/sdc"), true},
                      DeviceCase{"OpticalDrive", QStringLiteral("/dev/sr0"), false},
                      DeviceCase{"Floppy", QStringLiteral("/dev/fd0"), false},
                      DeviceCase{"UnknownDevice", QStringLiteral("/dev/sdz1"), false},
                      DeviceCase{"NotADevice", QStringLiteral("tmpfs"), false}),
    [](const ::testing::TestParamInfo<DeviceCase> &info) { return std::string(info.param.label); });

TEST(PlayerVolumeRoots, SortedPlayerVolumesWithoutTheRootFileSystem)
{
    FakeSys sys;
    const QList<MountedVolume> volumes{{QStringLiteral("/"), QStringLiteral("/dev/sdb1")},
                                       {QStringLiteral("/media/anna/PLAYER"), QStringLiteral("/dev/sdb1")},
                                       {QStringLiteral("/home"), QStringLiteral("/dev/sda1")},
                                       {QStringLiteral("/media/anna/CARD"), QStringLiteral("/dev/sdc")},
                                       {QStringLiteral("/media/cdrom"), QStringLiteral("/dev/sr0")},
                                       {QStringLiteral("/media/anna/PLAYER"), QStringLiteral("/dev/sdb1")}};
    const QStringList roots = playerVolumeRoots(
        volumes, [&](const QString &device) { return isRemovableOrUsbDevice(device, sys.root()); });
    EXPECT_EQ(roots, (QStringList{QStringLiteral("/media/anna/CARD"), QStringLiteral("/media/anna/PLAYER")}));
    EXPECT_TRUE(playerVolumeRoots({}, [](const QString &) { return true; }).isEmpty());
}

} // namespace
} // namespace sonavell
