#pragma once

#include <QString>
#include <QStringList>

namespace sonavell {

// Which mounted volumes are portable drives (a player, a USB stick, a memory card). Asked on the
// user-interface thread each time a command needs it, so a drive plugged in later counts.
class RemovableDrives
{
public:
    virtual ~RemovableDrives() = default;

    // The mount points of the portable drives, sorted; the root file system is never one.
    virtual QStringList playerDrives() const = 0;
    // True when path lies on one of them.
    bool isOnPlayerVolume(const QString &path) const;
};

// The kernel's view below sysRoot: a disk whose removable flag is set or that hangs off a USB bus.
class KernelRemovableDrives : public RemovableDrives
{
public:
    explicit KernelRemovableDrives(const QString &sysRoot = QStringLiteral("/sys")) : m_sysRoot(sysRoot) {}
    QStringList playerDrives() const override;

private:
    QString m_sysRoot;
};

} // namespace sonavell
