#include "core/files/filelist.h"

#include "core/mp3/medialength.h"
#include "core/mp3/medialengthcache.h"
#include "core/mp3/mp3fileinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <numeric>

namespace sonavell {

namespace {

// Splits at the last '/': the folder without its trailing slash, and the name.
std::pair<QString, QString> splitPath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return {QString(), path};
    return {path.left(slash), path.mid(slash + 1)};
}

int leadingNumber(const QString &text, qsizetype from = 0)
{
    int value = 0;
    for (qsizetype i = from; i < text.size() && text[i].isDigit(); ++i)
        value = value * 10 + text[i].digitValue();
    return value;
}

int timeInSeconds(const QString &text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    return leadingNumber(text) * 60 + (colon < 0 ? 0 : leadingNumber(text, colon + 1));
}

int compareCells(int column, const QString &a, const QString &b)
{
    switch (column) {
    case FileList::SizeColumn:
        return leadingNumber(a) - leadingNumber(b);
    case FileList::TimeColumn:
        return timeInSeconds(a) - timeInSeconds(b);
    default: {
        // Byte-wise and case-sensitive, so "a" sorts after "Z" as it does on disk listings.
        const QByteArray x = a.toUtf8();
        const QByteArray y = b.toUtf8();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    }
}

} // namespace

FileList::FileList(QObject *parent) : QAbstractTableModel(parent), m_selection(this)
{
    m_walkers.setMaxThreadCount(1);
}

FileList::~FileList()
{
    m_walkers.clear();
    m_walkers.waitForDone();
}

void FileList::waitForWalkedLengths()
{
    m_walkers.waitForDone();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

// Runs on the walker thread; the row is updated on the list's thread. The destructor waits for
// the walk, so the list is there when the result is posted to it.
void FileList::walkLength(const QString &path)
{
    m_walkers.start([this, path] {
        const int milliseconds = queryMediaLength(path);
        if (milliseconds != kMediaLengthFailed)
            MediaLengthCache::store(path, milliseconds);
        QMetaObject::invokeMethod(
            this, [this, path, milliseconds] { showWalkedLength(path, milliseconds); }, Qt::QueuedConnection);
    });
}

void FileList::showWalkedLength(const QString &path, int milliseconds)
{
    for (int row = 0; row < rowCount(); ++row) {
        if (pathOfRow(row) != path)
            continue;
        m_rows[static_cast<std::size_t>(row)][TimeColumn] = formatMinutesSeconds(std::max(0, milliseconds) / 1000);
        Q_EMIT dataChanged(index(row, TimeColumn), index(row, TimeColumn));
    }
}

QStringList FileList::headerTexts()
{
    return {QStringLiteral("File Name"), QStringLiteral("Size"), QStringLiteral("Time(m:s)"),
            QStringLiteral("Save Directory")};
}

bool FileList::measure(const QString &path, Row &row)
{
    Mp3FileInfo info;
    if (!info.scanFile(path, false))
        return false;
    int milliseconds = 0;
    if (const std::optional<int> known = MediaLengthCache::find(path)) {
        milliseconds = *known;
    } else {
        const QuickLength quick = quickMediaLength(path);
        milliseconds = std::max(0, quick.milliseconds);
        if (quick.settled)
            MediaLengthCache::store(path, milliseconds);
        else
            walkLength(path);
    }
    const auto [directory, name] = splitPath(path);
    const QFileInfo file(path);
    row[NameColumn] = name;
    row[SizeColumn] = file.exists() ? QStringLiteral("%1KB").arg(file.size() / 1024) : QString();
    row[TimeColumn] = formatMinutesSeconds(milliseconds / 1000);
    row[DirectoryColumn] = directory;
    return true;
}

QString FileList::pathOfRow(int row) const
{
    const Row &r = m_rows[static_cast<std::size_t>(row)];
    return r[DirectoryColumn] + QLatin1Char('/') + r[NameColumn];
}

void FileList::insertRowAt(int position, const Row &row)
{
    beginInsertRows(QModelIndex(), position, position);
    m_rows.insert(m_rows.begin() + position, row);
    endInsertRows();
}

void FileList::removeRowAt(int position)
{
    beginRemoveRows(QModelIndex(), position, position);
    m_rows.erase(m_rows.begin() + position);
    endRemoveRows();
}

bool FileList::addFile(const QString &path)
{
    const auto parts = splitPath(path);
    const auto same = std::find_if(m_rows.begin(), m_rows.end(), [&](const Row &r) {
        return r[DirectoryColumn] == parts.first && r[NameColumn] == parts.second;
    });
    if (same != m_rows.end())
        removeRowAt(static_cast<int>(same - m_rows.begin()));
    Row row;
    if (!measure(path, row))
        return false;
    insertRowAt(rowCount(), row);
    return true;
}

std::vector<int> FileList::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex &index : m_selection.selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FileList::removeSelectedRows()
{
    const std::vector<int> rows = selectedRows();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        removeRowAt(*it);
}

void FileList::removeAllRows()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

FileList::FileResult FileList::deleteSelectedFiles()
{
    for (std::vector<int> rows = selectedRows(); !rows.empty(); rows = selectedRows()) {
        const QString path = pathOfRow(rows.front());
        QFile file(path);
        if (!file.remove()) {
            Q_EMIT fileError(path, file.errorString());
            return {false, path, file.errorString()};
        }
        removeRowAt(rows.front());
        Q_EMIT fileDeleted(path);
    }
    return {};
}

FileList::FileResult FileList::deleteAllFiles()
{
    for (int row = 0; row < rowCount(); ++row) {
        const QString path = pathOfRow(row);
        QFile file(path);
        if (!file.remove()) {
            Q_EMIT fileError(path, file.errorString());
            return {false, path, file.errorString()};
        }
        Q_EMIT fileDeleted(path);
    }
    removeAllRows();
    return {};
}

void FileList::selectAll()
{
    if (m_rows.empty())
        return;
    m_selection.select(QItemSelection(index(0, 0), index(rowCount() - 1, ColumnCount - 1)),
                       QItemSelectionModel::ClearAndSelect);
}

void FileList::invertSelection()
{
    if (m_rows.empty())
        return;
    m_selection.select(QItemSelection(index(0, 0), index(rowCount() - 1, ColumnCount - 1)),
                       QItemSelectionModel::Toggle);
}

void FileList::selectRow(int row, bool exclusive)
{
    m_selection.select(index(row, 0), (exclusive ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select)
                                          | QItemSelectionModel::Rows);
}

QString FileList::firstSelectedPath() const
{
    const std::vector<int> rows = selectedRows();
    return rows.empty() ? QString() : pathOfRow(rows.front());
}

QString FileList::firstSelectedName() const
{
    const std::vector<int> rows = selectedRows();
    return rows.empty() ? QString() : m_rows[static_cast<std::size_t>(rows.front())][NameColumn];
}

int FileList::collectSelected(QStringList &paths) const
{
    const std::vector<int> rows = selectedRows();
    for (int row : rows)
        paths.append(pathOfRow(row));
    return static_cast<int>(rows.size());
}

void FileList::collectAll(QStringList &paths) const
{
    for (int row = 0; row < rowCount(); ++row)
        paths.append(pathOfRow(row));
}

FileList::FileResult FileList::renameFirstSelected(const QString &newName)
{
    const std::vector<int> rows = selectedRows();
    if (rows.empty())
        return {};
    const int row = rows.front();
    const QString oldPath = pathOfRow(row);
    const QString newPath = m_rows[static_cast<std::size_t>(row)][DirectoryColumn] + QLatin1Char('/') + newName;
    if (newPath != oldPath) {
        QFile file(oldPath);
        if (!file.rename(newPath)) {
            Q_EMIT fileError(oldPath, file.errorString());
            return {false, oldPath, file.errorString()};
        }
    }
    m_rows[static_cast<std::size_t>(row)][NameColumn] = newName;
    // Before the row's change is shown: whoever follows the file hears of the rename first.
    if (newPath != oldPath)
        Q_EMIT fileRenamed(oldPath, newPath);
    Q_EMIT dataChanged(index(row, NameColumn), index(row, NameColumn));
    return {};
}

FileList::FileResult FileList::renameRow(int row, const QString &editedName)
{
    if (editedName.isEmpty() || row < 0 || row >= rowCount())
        return {};
    selectRow(row);
    return renameFirstSelected(forceMp3Extension(editedName));
}

void FileList::setRowName(int row, const QString &name)
{
    if (row < 0 || row >= rowCount())
        return;
    const QString oldPath = pathOfRow(row);
    m_rows[static_cast<std::size_t>(row)][NameColumn] = name;
    if (pathOfRow(row) != oldPath)
        Q_EMIT fileRenamed(oldPath, pathOfRow(row));
    Q_EMIT dataChanged(index(row, NameColumn), index(row, NameColumn));
}

int FileList::refreshSelected()
{
    QStringList paths;
    collectSelected(paths);
    return refreshFiles(paths);
}

int FileList::refreshFiles(const QStringList &paths)
{
    int refreshed = 0;
    for (int row = 0; row < rowCount(); ++row) {
        if (!paths.contains(pathOfRow(row)))
            continue;
        Row measured;
        if (!measure(pathOfRow(row), measured))
            continue;
        m_rows[static_cast<std::size_t>(row)] = measured;
        Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
        ++refreshed;
    }
    return refreshed;
}

void FileList::sortByColumn(int column)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_sortColumn = column;
    m_sortDescending ^= 1u << column;
    const bool descending = m_sortDescending & (1u << column);

    std::vector<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int result = compareCells(column, m_rows[static_cast<std::size_t>(a)][static_cast<std::size_t>(column)],
                                        m_rows[static_cast<std::size_t>(b)][static_cast<std::size_t>(column)]);
        return descending ? result > 0 : result < 0;
    });

    const std::vector<int> selected = selectedRows();
    Q_EMIT layoutAboutToBeChanged();
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    for (int from : order)
        sorted.push_back(m_rows[static_cast<std::size_t>(from)]);
    m_rows = std::move(sorted);
    Q_EMIT layoutChanged();
    m_selection.clearSelection();
    for (std::size_t to = 0; to < order.size(); ++to)
        if (std::binary_search(selected.begin(), selected.end(), order[to]))
            selectRow(static_cast<int>(to), false);
}

void FileList::moveDraggedRows(int dragRow, int dropRow)
{
    std::vector<int> moving = selectedRows();
    if (moving.size() <= 1)
        moving = {dragRow};
    if (moving.front() < 0 || moving.back() >= rowCount())
        return;
    std::vector<Row> copies;
    for (int row : moving)
        copies.push_back(m_rows[static_cast<std::size_t>(row)]);
    if (dropRow >= 0)
        dropRow -= static_cast<int>(std::count_if(moving.begin(), moving.end(), [&](int row) { return row < dropRow; }));
    for (auto it = moving.rbegin(); it != moving.rend(); ++it)
        removeRowAt(*it);
    int at = dropRow < 0 || dropRow > rowCount() ? rowCount() : dropRow;
    m_selection.clearSelection();
    for (const Row &copy : copies) {
        insertRowAt(at, copy);
        selectRow(at, false);
        ++at;
    }
}

void FileList::restore(const QStringList &saved)
{
    for (const QString &path : saved)
        addFile(path);
}

QStringList FileList::allPaths() const
{
    QStringList paths;
    collectAll(paths);
    return paths;
}

int FileList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FileList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_rows[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

QVariant FileList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return headerTexts().at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags FileList::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (!index.isValid())
        return flags | Qt::ItemIsDropEnabled;
    flags |= Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (index.column() == NameColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool FileList::setData(const QModelIndex &index, const QVariant &value, int role)
{
    // An edit that ends with no text changes nothing.
    if (role != Qt::EditRole || !index.isValid() || index.column() != NameColumn || value.toString().isEmpty())
        return false;
    return renameRow(index.row(), value.toString()).ok;
}

QString forceMp3Extension(const QString &name)
{
    const QString ending = name.right(4);
    if (ending.toLower() == QStringLiteral(".mp3"))
        return name;
    QString stem = name;
    if (!ending.isEmpty() && ending.front() == QLatin1Char('.'))
        stem.chop(ending.size());
    return stem + QStringLiteral(".mp3");
}

} // namespace sonavell
