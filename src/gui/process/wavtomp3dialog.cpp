#include "gui/process/wavtomp3dialog.h"

#include "gui/process/datarate.h"
#include "gui/process/filechooser.h"
#include "gui/process/processfilters.h"
#include "gui/process/volumefield.h"
#include "gui/ui/editctrl.h"
#include "ui_wavtomp3dialog.h"

namespace sonavell {

WavToMp3Dialog::WavToMp3Dialog(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::WavToMp3Dialog>())
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    fillDataRateList(m_ui->rateList);
    m_ui->rateList->setCurrentIndex(currentDataRateIndex());
    setupVolumeField(m_ui->volumeEdit);
    connect(m_ui->wavButton, &QPushButton::clicked, this, &WavToMp3Dialog::chooseWav);
    connect(m_ui->mp3Button, &QPushButton::clicked, this, &WavToMp3Dialog::chooseMp3);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

WavToMp3Dialog::~WavToMp3Dialog() = default;

void WavToMp3Dialog::setDataRateIndex(int index)
{
    m_ui->rateList->setCurrentIndex(index);
}

int WavToMp3Dialog::dataRateIndex() const
{
    return m_ui->rateList->currentIndex();
}

int WavToMp3Dialog::bitrateKbps() const
{
    return dataRateAt(dataRateIndex());
}

float WavToMp3Dialog::volumeScale() const
{
    return static_cast<float>(m_ui->volumeEdit->value());
}

QString WavToMp3Dialog::wavPath() const
{
    return m_ui->wavEdit->text();
}

QString WavToMp3Dialog::mp3Path() const
{
    return m_ui->mp3Edit->text();
}

QComboBox *WavToMp3Dialog::rateList() const
{
    return m_ui->rateList;
}

EditCtrl *WavToMp3Dialog::volumeEdit() const
{
    return m_ui->volumeEdit;
}

QLineEdit *WavToMp3Dialog::wavEdit() const
{
    return m_ui->wavEdit;
}

QLineEdit *WavToMp3Dialog::mp3Edit() const
{
    return m_ui->mp3Edit;
}

QPushButton *WavToMp3Dialog::wavButton() const
{
    return m_ui->wavButton;
}

QPushButton *WavToMp3Dialog::mp3Button() const
{
    return m_ui->mp3Button;
}

void WavToMp3Dialog::chooseWav()
{
    const QString path = chooseFileToOpen(this, wavOpenFilter(), wavOpenDirKey());
    if (!path.isEmpty())
        m_ui->wavEdit->setText(path);
}

void WavToMp3Dialog::chooseMp3()
{
    const QString path = chooseFileToSave(this, mp3SaveFilter(), openDirKey(), QStringLiteral("mp3"));
    if (!path.isEmpty())
        m_ui->mp3Edit->setText(path);
}

} // namespace sonavell
