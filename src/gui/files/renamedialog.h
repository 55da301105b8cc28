#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class RenameDialog;
}

namespace sonavell {

// "Rename": one edit box holding the file's current name.
class RenameDialog : public QDialog
{
    Q_OBJECT

public:
    explicit RenameDialog(const QString &name, QWidget *parent = nullptr);
    ~RenameDialog() override;

    QString newName() const;

private:
    std::unique_ptr<Ui::RenameDialog> m_ui;
};

} // namespace sonavell
