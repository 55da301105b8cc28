#pragma once

#include <QTableView>

namespace sonavell {

class FileList;

// The file list as the user sees it: four columns with grid lines, whole-row selection,
// in-place rename of the name column, header clicks that sort, rows reordered by dragging,
// and a context menu that leaves the selection alone. As in file managers, a plain click on one
// of several selected rows selects that row alone, and only a row selected alone is renamed in
// place.
class FileListView : public QTableView
{
    Q_OBJECT

public:
    explicit FileListView(QWidget *parent = nullptr);

    void setFileList(FileList *list);
    FileList *fileList() const { return m_list; }

    // Column widths follow the list's width: q = width / 4.
    void fitColumns();

Q_SIGNALS:
    // A right-button press at this position (viewport coordinates).
    void contextMenuWanted(const QPoint &globalPosition);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    FileList *m_list = nullptr;
    int m_dragRow = -1;
    // The row a plain press hit while it was one of several selected; -1 otherwise.
    int m_collapseRow = -1;
};

} // namespace sonavell
