#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include <memory>

class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class FolderBrowser;
}

namespace sonavell {

// The program's folder chooser: a tree of the file system's starting places (the root, home and
// every mounted volume) and a "Network Neighborhood" item, each expanded on first opening.
// Folder paths end in '/'. OK is enabled only on a file-system item.
class FolderBrowser : public QDialog
{
    Q_OBJECT

public:
    enum class PlaceKind { Fixed, Removable, Remote, Optical, Home };

    // A top-level item of the tree.
    struct Place
    {
        QString path;
        QString text;
        PlaceKind kind = PlaceKind::Fixed;
    };

    // The machine's places: "/" first, then home, then the other mounted volumes by path.
    static QList<Place> systemPlaces();

    FolderBrowser(const QString &title, const QString &prompt, QWidget *parent = nullptr,
                  const QList<Place> &places = systemPlaces());
    ~FolderBrowser() override;

    // Names in capitals only are shown with one capital ("PROGRAM FILES" → "Program files").
    static QString niceName(const QString &text);

    // The folder an item stands for, with its trailing '/'; empty for the network items.
    static QString fullPath(const QTreeWidgetItem *item);
    static bool isFileSystemItem(const QTreeWidgetItem *item);

    QTreeWidget *tree() const;
    QTreeWidgetItem *networkRoot() const { return m_networkRoot; }
    // Opens the tree down to `path` and selects the deepest folder reached.
    QTreeWidgetItem *selectPath(const QString &path);
    // The path OK was pressed on; empty after Cancel.
    QString chosenPath() const { return m_chosen; }

    void accept() override;

private:
    void addPlace(const Place &place);
    void itemExpanded(QTreeWidgetItem *item);
    void fill(QTreeWidgetItem *item);
    QTreeWidgetItem *addFolder(QTreeWidgetItem *parent, const QString &name);

    std::unique_ptr<Ui::FolderBrowser> m_ui;
    QTreeWidgetItem *m_networkRoot = nullptr;
    QString m_chosen;
};

// Shows the folder browser. On OK the chosen folder, cut to size - 1 characters, goes to
// `buffer` and the result is true; on Cancel `buffer` is left empty.
bool browseForFolder(QWidget *owner, const QString &title, const QString &prompt, QString &buffer, int size);

} // namespace sonavell
