#include "gui/process/trimdialog.h"

#include "gui/process/datarate.h"
#include "gui/ui/editctrl.h"
#include "ui_trimdialog.h"

#include <cmath>

namespace sonavell {

TrimDialog::TrimDialog(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::TrimDialog>())
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    for (const auto &group : {startEdits(), endEdits()}) {
        for (EditCtrl *edit : group) {
            edit->setRange(0, 60);
            edit->setValue(0);
        }
        group[2]->setValue(10);
    }
    fillDataRateList(m_ui->rateList);
    m_ui->rateList->setCurrentIndex(currentDataRateIndex());
    // The Data Rate only matters when the audio is encoded again.
    m_ui->rateList->setEnabled(false);
    connect(m_ui->recodeCheck, &QCheckBox::toggled, m_ui->rateList, &QWidget::setEnabled);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TrimDialog::~TrimDialog() = default;

int TrimDialog::seconds(const std::array<EditCtrl *, 3> &edits)
{
    auto whole = [](const EditCtrl *edit) { return static_cast<int>(std::lround(edit->value())); };
    return whole(edits[0]) * 3600 + whole(edits[1]) * 60 + whole(edits[2]);
}

int TrimDialog::startTrimSeconds() const
{
    return seconds(startEdits());
}

int TrimDialog::endTrimSeconds() const
{
    return seconds(endEdits());
}

bool TrimDialog::recode() const
{
    return m_ui->recodeCheck->isChecked();
}

void TrimDialog::setDataRateIndex(int index)
{
    m_ui->rateList->setCurrentIndex(index);
}

int TrimDialog::dataRateIndex() const
{
    return m_ui->rateList->currentIndex();
}

int TrimDialog::bitrateKbps() const
{
    return dataRateAt(dataRateIndex());
}

std::array<EditCtrl *, 3> TrimDialog::startEdits() const
{
    return {m_ui->startHourEdit, m_ui->startMinuteEdit, m_ui->startSecondEdit};
}

std::array<EditCtrl *, 3> TrimDialog::endEdits() const
{
    return {m_ui->endHourEdit, m_ui->endMinuteEdit, m_ui->endSecondEdit};
}

QComboBox *TrimDialog::rateList() const
{
    return m_ui->rateList;
}

QCheckBox *TrimDialog::recodeCheck() const
{
    return m_ui->recodeCheck;
}

} // namespace sonavell
