#include "gui/ui/folderbrowser.h"

#include "core/files/playervolumes.h"
#include "gui/skin/skinimage.h"
#include "ui_folderbrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeWidget>

#include <algorithm>

namespace sonavell {

namespace {

constexpr int kFolderStrip = 131;
constexpr int kStripCellWidth = 17;

enum class ItemKind { Place, Folder, NetworkRoot };

// Item data: what the item is, and the path of a place or the real name of a folder (the text
// may have been prettied, the file system is case-sensitive).
constexpr int kKindRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;

ItemKind kindOf(const QTreeWidgetItem *item)
{
    return static_cast<ItemKind>(item->data(0, kKindRole).toInt());
}

QString withSeparator(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

FolderBrowser::PlaceKind volumeKind(const QStorageInfo &volume)
{
    const QByteArray type = volume.fileSystemType();
    static const QList<QByteArray> remote{"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "9p", "afs"};
    if (remote.contains(type))
        return FolderBrowser::PlaceKind::Remote;
    if (type == "iso9660" || type == "udf")
        return FolderBrowser::PlaceKind::Optical;
    if (isRemovableOrUsbDevice(QString::fromLocal8Bit(volume.device())))
        return FolderBrowser::PlaceKind::Removable;
    return FolderBrowser::PlaceKind::Fixed;
}

// One 17-pixel cell of the strip bitmap, its white background shown as transparent; closed and
// open images may be given for the normal and the selected state.
QIcon stripIcon(int cell, int selectedCell = -1)
{
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage strip = loadSkinBitmap(kFolderStrip, ratio);
        if (strip.isNull())
            continue;
        const int width = qRound(kStripCellWidth * strip.devicePixelRatio());
        auto cut = [&](int at) {
            QImage image = strip.copy(at * width, 0, width, strip.height()).convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < image.height(); ++y) {
                auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    if ((line[x] & 0xFFFFFF) == 0xFFFFFF)
                        line[x] = 0;
                }
            }
            QPixmap pixmap = QPixmap::fromImage(image);
            pixmap.setDevicePixelRatio(strip.devicePixelRatio());
            return pixmap;
        };
        icon.addPixmap(cut(cell));
        if (selectedCell >= 0)
            icon.addPixmap(cut(selectedCell), QIcon::Selected);
    }
    return icon;
}

// The strip's images by the drive type numbers: 2 removable, 3 fixed, 4 remote, 5 optical.
QIcon placeIcon(FolderBrowser::PlaceKind kind)
{
    switch (kind) {
    case FolderBrowser::PlaceKind::Removable:
        return stripIcon(2);
    case FolderBrowser::PlaceKind::Remote:
        return stripIcon(4);
    case FolderBrowser::PlaceKind::Optical:
        return stripIcon(5);
    case FolderBrowser::PlaceKind::Home:
        return stripIcon(0, 1);
    case FolderBrowser::PlaceKind::Fixed:
        break;
    }
    return stripIcon(3);
}

// Closed, and open while selected.
QIcon folderIcon()
{
    return stripIcon(0, 1);
}

} // namespace

QList<FolderBrowser::Place> FolderBrowser::systemPlaces()
{
    const QString home = QDir::homePath();
    QList<Place> places{{QStringLiteral("/"), QStringLiteral("/"), PlaceKind::Fixed},
                        {home, home, PlaceKind::Home}};
    QList<Place> volumes;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        // Snap packages mount read-only images; bind mounts of single files are no folders.
        if (!volume.isValid() || !volume.isReady() || root == QStringLiteral("/") || root == home ||
            volume.fileSystemType() == "squashfs" || !QFileInfo(root).isDir())
            continue;
        if (std::none_of(volumes.cbegin(), volumes.cend(), [&](const Place &p) { return p.path == root; }))
            volumes.append({root, root, volumeKind(volume)});
    }
    std::sort(volumes.begin(), volumes.end(), [](const Place &a, const Place &b) { return a.path < b.path; });
    return places + volumes;
}

FolderBrowser::FolderBrowser(const QString &title, const QString &prompt, QWidget *parent,
                             const QList<Place> &places)
    : QDialog(parent), m_ui(std::make_unique<Ui::FolderBrowser>())
{
    m_ui->setupUi(this);
    setWindowTitle(title);
    m_ui->promptLabel->setText(prompt);
    m_ui->buttons->button(QDialogButtonBox::Ok)->setEnabled(false);

    for (const Place &place : places)
        addPlace(place);
    m_networkRoot = new QTreeWidgetItem(m_ui->tree, QStringList{QStringLiteral("Network Neighborhood")});
    m_networkRoot->setIcon(0, stripIcon(7));
    m_networkRoot->setData(0, kKindRole, static_cast<int>(ItemKind::NetworkRoot));
    m_networkRoot->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);

    connect(m_ui->tree, &QTreeWidget::itemExpanded, this, &FolderBrowser::itemExpanded);
    connect(m_ui->tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *current) {
        m_ui->buttons->button(QDialogButtonBox::Ok)->setEnabled(current && isFileSystemItem(current));
    });
}

FolderBrowser::~FolderBrowser() = default;

QTreeWidget *FolderBrowser::tree() const
{
    return m_ui->tree;
}

void FolderBrowser::addPlace(const Place &place)
{
    auto *item = new QTreeWidgetItem(m_ui->tree, QStringList{place.text});
    item->setIcon(0, placeIcon(place.kind));
    item->setData(0, kKindRole, static_cast<int>(ItemKind::Place));
    item->setData(0, kNameRole, place.path);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

QTreeWidgetItem *FolderBrowser::addFolder(QTreeWidgetItem *parent, const QString &name)
{
    auto *item = new QTreeWidgetItem(parent, QStringList{niceName(name)});
    item->setIcon(0, folderIcon());
    item->setData(0, kKindRole, static_cast<int>(ItemKind::Folder));
    item->setData(0, kNameRole, name);
    // Every folder may have sub-folders until it is opened and found to have none.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

QString FolderBrowser::niceName(const QString &text)
{
    if (text.isEmpty() || std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isLower(); }))
        return text;
    QString nice = text.toLower();
    nice[0] = nice[0].toUpper();
    return nice;
}

bool FolderBrowser::isFileSystemItem(const QTreeWidgetItem *item)
{
    return kindOf(item) != ItemKind::NetworkRoot;
}

QString FolderBrowser::fullPath(const QTreeWidgetItem *item)
{
    QString path;
    for (; item; item = item->parent()) {
        switch (kindOf(item)) {
        case ItemKind::NetworkRoot:
            return {};
        case ItemKind::Place:
            return withSeparator(item->data(0, kNameRole).toString()) + path;
        case ItemKind::Folder:
            path.prepend(item->data(0, kNameRole).toString() + QLatin1Char('/'));
            break;
        }
    }
    return path;
}

void FolderBrowser::itemExpanded(QTreeWidgetItem *item)
{
    if (item->childCount() > 0)
        return;
    fill(item);
    if (item->childCount() == 0)
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    if (m_ui->tree->currentItem() != item)
        m_ui->tree->setCurrentItem(item);
}

void FolderBrowser::fill(QTreeWidgetItem *item)
{
    // Nothing to browse on the network here; the item stays empty.
    if (kindOf(item) == ItemKind::NetworkRoot)
        return;
    // Hidden (dot) folders are left out, as file choosers here do; an unreadable folder gives none.
    const QDir folder(fullPath(item));
    const QStringList names = folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                               QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QString &name : names)
        addFolder(item, name);
}

QTreeWidgetItem *FolderBrowser::selectPath(const QString &path)
{
    const QString target = withSeparator(QDir::cleanPath(path));
    QTreeWidgetItem *best = nullptr;
    for (int i = 0; i < m_ui->tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *place = m_ui->tree->topLevelItem(i);
        const QString placePath = fullPath(place);
        if (!placePath.isEmpty() && target.startsWith(placePath) &&
            (!best || placePath.size() > fullPath(best).size()))
            best = place;
    }
    if (!best)
        return nullptr;
    const QStringList names = target.mid(fullPath(best).size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QTreeWidgetItem *item = best;
    for (const QString &name : names) {
        item->setExpanded(true);
        QTreeWidgetItem *next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i) {
            if (item->child(i)->data(0, kNameRole).toString() == name)
                next = item->child(i);
        }
        if (!next)
            break;
        item = next;
    }
    m_ui->tree->setCurrentItem(item);
    m_ui->tree->scrollToItem(item);
    return item;
}

void FolderBrowser::accept()
{
    QTreeWidgetItem *current = m_ui->tree->currentItem();
    if (!current || !isFileSystemItem(current))
        return;
    m_chosen = fullPath(current);
    QDialog::accept();
}

bool browseForFolder(QWidget *owner, const QString &title, const QString &prompt, QString &buffer, int size)
{
    buffer.clear();
    FolderBrowser browser(title, prompt, owner);
    if (browser.exec() != QDialog::Accepted)
        return false;
    qsizetype length = std::min<qsizetype>(browser.chosenPath().size(), std::max(0, size - 1));
    // Never keep half of a character.
    if (length > 0 && browser.chosenPath()[length - 1].isHighSurrogate())
        --length;
    buffer = browser.chosenPath().left(length);
    return true;
}

} // namespace sonavell
