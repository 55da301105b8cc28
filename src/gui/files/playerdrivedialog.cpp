#include "gui/files/playerdrivedialog.h"

#include "ui_playerdrivedialog.h"

namespace sonavell {

PlayerDriveDialog::PlayerDriveDialog(const QStringList &drives, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PlayerDriveDialog>())
{
    m_ui->setupUi(this);
    resize(300, 170); // a handful of drives at most
    m_ui->driveList->addItems(drives);
    if (m_ui->driveList->count() > 0)
        m_ui->driveList->setCurrentRow(0);
    connect(m_ui->driveList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

PlayerDriveDialog::~PlayerDriveDialog() = default;

QString PlayerDriveDialog::selectedDrive() const
{
    const QListWidgetItem *item = m_ui->driveList->currentItem();
    return item ? item->text() : QString();
}

} // namespace sonavell
