#include "gui/files/renamedialog.h"

#include "ui_renamedialog.h"

namespace sonavell {

RenameDialog::RenameDialog(const QString &name, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::RenameDialog>())
{
    m_ui->setupUi(this);
    m_ui->newNameEdit->setText(name);
    // Typing over the name without the extension is the common case; ".mp3" comes back anyway.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    m_ui->newNameEdit->setSelection(0, static_cast<int>(dot > 0 ? dot : name.size()));
}

RenameDialog::~RenameDialog() = default;

QString RenameDialog::newName() const
{
    return m_ui->newNameEdit->text();
}

} // namespace sonavell
