#include "gui/files/filelistview.h"

#include "core/files/filelist.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMouseEvent>

namespace sonavell {

FileListView::FileListView(QWidget *parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("fileList"));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(true);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(true);
    // Rows are moved by our own rule, not the view's: the drop only reports where.
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
}

void FileListView::setFileList(FileList *list)
{
    m_list = list;
    setModel(list);
    setSelectionModel(list->selectionModel());
    connect(horizontalHeader(), &QHeaderView::sectionClicked, list, &FileList::sortByColumn);
    fitColumns();
}

void FileListView::fitColumns()
{
    const int q = viewport()->width() / 4;
    setColumnWidth(FileList::NameColumn, 3 * q / 2 - 15);
    setColumnWidth(FileList::SizeColumn, q / 2 + 25);
    setColumnWidth(FileList::TimeColumn, q - 20);
    setColumnWidth(FileList::DirectoryColumn, q + 10);
}

void FileListView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    fitColumns();
}

void FileListView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        Q_EMIT contextMenuWanted(event->globalPosition().toPoint());
        return;
    }
    m_collapseRow = -1;
    const QModelIndex pressed = indexAt(event->position().toPoint());
    if (m_list && event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier && pressed.isValid()
        && selectionModel()->isRowSelected(pressed.row()) && m_list->selectedRows().size() > 1)
        m_collapseRow = pressed.row();
    QTableView::mousePressEvent(event);
}

void FileListView::mouseReleaseEvent(QMouseEvent *event)
{
    const int row = m_collapseRow;
    m_collapseRow = -1;
    QTableView::mouseReleaseEvent(event);
    // Not a drag: the click meant this row. Selected now, before anything reads the selection.
    if (row >= 0 && event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).row() == row
        && row < m_list->rowCount()) {
        m_list->selectRow(row);
        selectionModel()->setCurrentIndex(m_list->index(row, FileList::NameColumn), QItemSelectionModel::NoUpdate);
    }
}

bool FileListView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    // A rename in place names one file; with several rows selected it would not be clear which.
    if (trigger != AllEditTriggers && m_list && m_list->selectedRows().size() > 1)
        return false;
    return QTableView::edit(index, trigger, event);
}

void FileListView::startDrag(Qt::DropActions supportedActions)
{
    m_dragRow = currentIndex().row();
    QTableView::startDrag(supportedActions);
    m_dragRow = -1;
}

void FileListView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->source() == this)
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileListView::dragMoveEvent(QDragMoveEvent *event)
{
    QTableView::dragMoveEvent(event);
    if (event->source() == this) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void FileListView::dropEvent(QDropEvent *event)
{
    if (event->source() != this || !m_list || m_dragRow < 0) {
        event->ignore();
        return;
    }
    const int dropRow = indexAt(event->position().toPoint()).row();
    m_list->moveDraggedRows(m_dragRow, dropRow);
    // Copy, not move: the view must not remove the dragged rows itself afterwards.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
}

} // namespace sonavell
