#include "platform/udisksremovabledrives.h"

#include "core/files/playervolumes.h"

#include <QFileInfo>

#ifdef SONAVELL_HAVE_QTDBUS
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#endif

#include <algorithm>

namespace sonavell {

namespace {

const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");

QString canonicalDevice(const QString &device)
{
    const QString resolved = QFileInfo(device).canonicalFilePath();
    return resolved.isEmpty() ? device : resolved;
}

bool isPortableDrive(const QVariantMap &drive)
{
    const QStringList media = drive.value(QStringLiteral("MediaCompatibility")).toStringList();
    const bool opticalOrFloppy = std::any_of(media.cbegin(), media.cend(), [](const QString &kind) {
        return kind.startsWith(QStringLiteral("optical")) || kind.startsWith(QStringLiteral("floppy"));
    });
    if (opticalOrFloppy || drive.value(QStringLiteral("Optical")).toBool())
        return false;
    return drive.value(QStringLiteral("Removable")).toBool() ||
           drive.value(QStringLiteral("MediaRemovable")).toBool() ||
           drive.value(QStringLiteral("ConnectionBus")).toString() == QStringLiteral("usb");
}

QString objectPathText(const QVariant &value)
{
#ifdef SONAVELL_HAVE_QTDBUS
    if (value.canConvert<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
#endif
    return value.toString();
}

} // namespace

UdisksRemovableDrives::UdisksRemovableDrives(const QString &sysRoot) : m_sysRoot(sysRoot) {}

UdisksRemovableDrives::Answer::Answer(std::optional<QSet<QString>> udisksDevices, const QString &sysRoot)
    : m_udisks(std::move(udisksDevices)), m_sysRoot(sysRoot)
{
}

UdisksRemovableDrives::Answer UdisksRemovableDrives::query() const
{
    const std::optional<UdisksObjects> objects = askUdisks();
    if (!objects)
        return Answer(std::nullopt, m_sysRoot);
    return Answer(removableFromUdisks(*objects), m_sysRoot);
}

QStringList UdisksRemovableDrives::playerDrives() const
{
    const Answer answer = query();
    return playerVolumeRoots(mountedBlockVolumes(),
                             [&](const QString &device) { return answer.isPlayerDevice(device); });
}

bool UdisksRemovableDrives::Answer::isPlayerDevice(const QString &device) const
{
    if (m_udisks)
        return m_udisks->contains(canonicalDevice(device));
    return isRemovableOrUsbDevice(device, m_sysRoot);
}

QSet<QString> UdisksRemovableDrives::removableFromUdisks(const UdisksObjects &objects)
{
    QSet<QString> devices;
    for (auto object = objects.cbegin(); object != objects.cend(); ++object) {
        const auto block = object.value().constFind(kBlock);
        if (block == object.value().cend())
            continue;
        const auto drive = objects.constFind(objectPathText(block.value().value(QStringLiteral("Drive"))));
        if (drive == objects.cend() || !isPortableDrive(drive.value().value(kDrive)))
            continue;
        // Device is a NUL-terminated byte string.
        QByteArray node = block.value().value(QStringLiteral("Device")).toByteArray();
        while (node.endsWith('\0'))
            node.chop(1);
        if (!node.isEmpty())
            devices.insert(canonicalDevice(QString::fromLocal8Bit(node)));
    }
    return devices;
}

std::optional<UdisksObjects> UdisksRemovableDrives::askUdisks()
{
#ifdef SONAVELL_HAVE_QTDBUS
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return std::nullopt;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.UDisks2"), QStringLiteral("/org/freedesktop/UDisks2"),
        QStringLiteral("org.freedesktop.DBus.ObjectManager"), QStringLiteral("GetManagedObjects"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty() ||
        !reply.arguments().front().canConvert<QDBusArgument>())
        return std::nullopt;

    // a{oa{sa{sv}}}
    const QDBusArgument argument = reply.arguments().front().value<QDBusArgument>();
    UdisksObjects objects;
    argument.beginMap();
    while (!argument.atEnd()) {
        QDBusObjectPath path;
        QMap<QString, QVariantMap> interfaces;
        argument.beginMapEntry();
        argument >> path;
        argument.beginMap();
        while (!argument.atEnd()) {
            QString name;
            QVariantMap properties;
            argument.beginMapEntry();
            argument >> name >> properties;
            argument.endMapEntry();
            interfaces.insert(name, properties);
        }
        argument.endMap();
        argument.endMapEntry();
        objects.insert(path.path(), interfaces);
    }
    argument.endMap();
    return objects;
#else
    return std::nullopt;
#endif
}

} // namespace sonavell
