#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class PlayerDriveDialog;
}

namespace sonavell {

// "Select Mp3 Player": the mounted portable drives, sorted, the first one selected.
class PlayerDriveDialog : public QDialog
{
    Q_OBJECT

public:
    // drives: the mount points to offer.
    explicit PlayerDriveDialog(const QStringList &drives, QWidget *parent = nullptr);
    ~PlayerDriveDialog() override;

    // The selected drive, or an empty text when the list is empty.
    QString selectedDrive() const;

private:
    std::unique_ptr<Ui::PlayerDriveDialog> m_ui;
};

} // namespace sonavell
