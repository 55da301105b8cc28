#pragma once

#include "core/files/removabledrives.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace sonavell {

// udisks2's managed objects: object path -> interface name -> properties.
using UdisksObjects = QMap<QString, QMap<QString, QVariantMap>>;

// Which block devices are portable drives. udisks2 knows best (it sees the drive's bus and
// media); where it does not answer (no system bus, no udisks2, built without D-Bus), the kernel's
// view below /sys decides.
class UdisksRemovableDrives : public RemovableDrives
{
public:
    explicit UdisksRemovableDrives(const QString &sysRoot = QStringLiteral("/sys"));
    // Asks udisks2 on the system bus once. Runs on the user-interface thread; the call is short.
    QStringList playerDrives() const override;

    // One answer: udisks2's removable devices given (none: use /sys only), for tests.
    class Answer
    {
    public:
        Answer(std::optional<QSet<QString>> udisksDevices, const QString &sysRoot);
        bool isPlayerDevice(const QString &device) const;
        bool usesUdisks() const { return m_udisks.has_value(); }

    private:
        std::optional<QSet<QString>> m_udisks;
        QString m_sysRoot;
    };
    Answer query() const;

    // The device nodes of the blocks (disks and partitions) on drives udisks2 marks removable,
    // with removable media, or connected by USB; optical and floppy drives are left out.
    static QSet<QString> removableFromUdisks(const UdisksObjects &objects);
    // udisks2's managed objects, or none when it does not answer.
    static std::optional<UdisksObjects> askUdisks();

private:
    QString m_sysRoot;
};

} // namespace sonavell
