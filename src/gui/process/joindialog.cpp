#include "gui/process/joindialog.h"

#include "gui/process/datarate.h"
#include "gui/process/filechooser.h"
#include "gui/process/processfilters.h"
#include "ui_joindialog.h"

namespace sonavell {

JoinDialog::JoinDialog(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::JoinDialog>())
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    fillDataRateList(m_ui->rateList);
    m_ui->rateList->setCurrentIndex(currentDataRateIndex());
    connect(m_ui->outputButton, &QPushButton::clicked, this, &JoinDialog::chooseOutput);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

JoinDialog::~JoinDialog() = default;

void JoinDialog::setDataRateIndex(int index)
{
    m_ui->rateList->setCurrentIndex(index);
}

int JoinDialog::dataRateIndex() const
{
    return m_ui->rateList->currentIndex();
}

int JoinDialog::bitrateKbps() const
{
    return dataRateAt(dataRateIndex());
}

QString JoinDialog::outputPath() const
{
    return m_ui->outputEdit->text();
}

QComboBox *JoinDialog::rateList() const
{
    return m_ui->rateList;
}

QLineEdit *JoinDialog::outputEdit() const
{
    return m_ui->outputEdit;
}

QPushButton *JoinDialog::outputButton() const
{
    return m_ui->outputButton;
}

void JoinDialog::chooseOutput()
{
    const QString path = chooseFileToSave(this, mp3SaveFilter(), openDirKey(), QStringLiteral("mp3"));
    if (!path.isEmpty())
        m_ui->outputEdit->setText(path);
}

} // namespace sonavell
