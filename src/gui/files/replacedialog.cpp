#include "gui/files/replacedialog.h"

#include "ui_replacedialog.h"

#include <QPushButton>

namespace sonavell {

ReplaceDialog::ReplaceDialog(const QStringList &paths, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ReplaceDialog>())
{
    m_ui->setupUi(this);
    m_ui->buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    if (!paths.isEmpty()) {
        const QString &first = paths.front();
        m_ui->sourceEdit->setText(first.mid(first.lastIndexOf(QLatin1Char('/')) + 1));
    }
    m_ui->sourceEdit->selectAll();
}

ReplaceDialog::~ReplaceDialog() = default;

QString ReplaceDialog::source() const
{
    return m_ui->sourceEdit->text();
}

QString ReplaceDialog::target() const
{
    return m_ui->targetEdit->text();
}

} // namespace sonavell
