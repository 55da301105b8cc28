#include "gui/process/bitratevolumedialog.h"

#include "gui/process/datarate.h"
#include "gui/process/volumefield.h"
#include "gui/ui/editctrl.h"
#include "ui_bitratevolumedialog.h"

namespace sonavell {

BitrateVolumeDialog::BitrateVolumeDialog(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::BitrateVolumeDialog>())
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    fillDataRateList(m_ui->rateList);
    m_ui->rateList->setCurrentIndex(currentDataRateIndex());
    setupVolumeField(m_ui->volumeEdit);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

BitrateVolumeDialog::~BitrateVolumeDialog() = default;

void BitrateVolumeDialog::setDataRateIndex(int index)
{
    m_ui->rateList->setCurrentIndex(index);
}

int BitrateVolumeDialog::dataRateIndex() const
{
    return m_ui->rateList->currentIndex();
}

int BitrateVolumeDialog::bitrateKbps() const
{
    return dataRateAt(dataRateIndex());
}

float BitrateVolumeDialog::volumeScale() const
{
    return static_cast<float>(m_ui->volumeEdit->value());
}

QComboBox *BitrateVolumeDialog::rateList() const
{
    return m_ui->rateList;
}

EditCtrl *BitrateVolumeDialog::volumeEdit() const
{
    return m_ui->volumeEdit;
}

} // namespace sonavell
