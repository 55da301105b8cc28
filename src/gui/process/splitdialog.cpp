#include "gui/process/splitdialog.h"

#include "gui/process/volumefield.h"
#include "gui/ui/editctrl.h"
#include "ui_splitdialog.h"

#include <cmath>

namespace sonavell {

SplitDialog::SplitDialog(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::SplitDialog>())
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setupVolumeField(m_ui->volumeEdit);
    m_ui->countEdit->setRange(2, 100);
    m_ui->countEdit->setValue(2);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

SplitDialog::~SplitDialog() = default;

float SplitDialog::volumeScale() const
{
    return static_cast<float>(m_ui->volumeEdit->value());
}

int SplitDialog::partCount() const
{
    return static_cast<int>(std::lround(m_ui->countEdit->value()));
}

EditCtrl *SplitDialog::volumeEdit() const
{
    return m_ui->volumeEdit;
}

EditCtrl *SplitDialog::countEdit() const
{
    return m_ui->countEdit;
}

} // namespace sonavell
