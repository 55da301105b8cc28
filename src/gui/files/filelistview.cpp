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
    QTableView::mousePressEvent(event);
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
