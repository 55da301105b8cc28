#pragma once

#include <QAbstractTableModel>
#include <QItemSelectionModel>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <array>
#include <vector>

namespace sonavell {

// The list of MP3 files every file operation works on: one row per file with its name, size,
// playing time and folder. Selection lives here too, so the commands that act on the selected
// rows work the same with or without a view. Belongs to the user-interface thread.
class FileList : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, SizeColumn, TimeColumn, DirectoryColumn, ColumnCount };
    using Row = std::array<QString, ColumnCount>;

    // The outcome of a command that touches files on disk: it stops at the first failure.
    struct FileResult
    {
        bool ok = true;
        QString path;  // the file that failed
        QString error; // the system's description of the failure
    };

    explicit FileList(QObject *parent = nullptr);
    // Waits for the lengths still being walked; their rows are not updated any more.
    ~FileList() override;

    // Rows show their length at once: from the lengths measured before (unchanged files),
    // the Info tag, or size and bit rate for constant-rate frames. Files of frames with several
    // bit rates are walked frame by frame on a background thread and their rows updated when
    // that ends. This waits for those walks and shows their lengths.
    void waitForWalkedLengths();

    QItemSelectionModel *selectionModel() { return &m_selection; }

    // Adds the file's row at the end, replacing a row of the same path; a file that cannot be
    // measured gets no row.
    bool addFile(const QString &path);
    void removeSelectedRows();
    void removeAllRows();
    FileResult deleteSelectedFiles();
    FileResult deleteAllFiles();
    void selectAll();
    void invertSelection();
    void selectRow(int row, bool exclusive = true);
    QString firstSelectedPath() const;
    QString firstSelectedName() const;
    int collectSelected(QStringList &paths) const;
    void collectAll(QStringList &paths) const;
    FileResult renameFirstSelected(const QString &newName);
    // Renames the file of one row; the name passes through forceMp3Extension first.
    FileResult renameRow(int row, const QString &editedName);
    // Shows a name the file already has on disk (after a rename done elsewhere).
    void setRowName(int row, const QString &name);
    int refreshSelected();
    // Measures again every row whose file is one of `paths`, selected or not: after a command
    // that changed those files in place. Returns the number of rows refreshed.
    int refreshFiles(const QStringList &paths);
    void sortByColumn(int column);
    // Moves the dragged row (or every selected row, when several are) to dropRow; -1 means the end.
    void moveDraggedRows(int dragRow, int dropRow);
    // Adds the files of a saved list that still exist, in order.
    void restore(const QStringList &saved);
    QStringList allPaths() const;

    QString pathOfRow(int row) const;
    const Row &row(int index) const { return m_rows[static_cast<std::size_t>(index)]; }
    std::vector<int> selectedRows() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    static QStringList headerTexts();

Q_SIGNALS:
    // A rename or delete failed; the window shows the description.
    void fileError(const QString &path, const QString &description);
    // A listed file now has another name (a rename in place, the Rename command, a replace).
    void fileRenamed(const QString &oldPath, const QString &newPath);
    // A listed file was deleted from disk.
    void fileDeleted(const QString &path);

private:
    bool measure(const QString &path, Row &row);
    void walkLength(const QString &path);
    void showWalkedLength(const QString &path, int milliseconds);
    void insertRowAt(int position, const Row &row);
    void removeRowAt(int position);

    std::vector<Row> m_rows;
    QItemSelectionModel m_selection;
    int m_sortColumn = 0;
    std::uint32_t m_sortDescending = 0; // one bit per column
    QThreadPool m_walkers; // one thread: a long list is walked file by file, behind the window
};

// Keeps a typed ".mp3" (in any case) as it is; otherwise replaces a dotted four-character
// ending by ".mp3", or appends ".mp3".
QString forceMp3Extension(const QString &name);

} // namespace sonavell
