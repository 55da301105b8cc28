#include "gui/record/recordsetupdialog.h"

#include "core/audio/audioinput.h"
#include "core/record/recordmixer.h"
#include "core/settings/recordersettings.h"
#include "gui/ui/folderbrowser.h"
#include "ui_recordsetupdialog.h"

namespace sonavell {

RecordSetupDialog::RecordSetupDialog(RecorderSettings &settings, AudioInput &input, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::RecordSetupDialog>()), m_settings(settings), m_input(input)
{
    m_ui->setupUi(this);
    for (int hz : RecorderSettings::kSampleRates)
        m_ui->sampleRateCombo->addItem(QStringLiteral("%1 Hz").arg(hz));
    for (int kbps : RecorderSettings::kBitRates)
        m_ui->bitRateCombo->addItem(QStringLiteral("%1 kbps").arg(kbps));
    for (int device = 0; device < input.deviceCount(); ++device)
        m_ui->deviceCombo->addItem(input.deviceName(device));

    // A channel count other than 1 or 2 shows as the nearer choice, so OK never stores 0 channels.
    (settings.recordFormat().channels >= 2 ? m_ui->stereoRadio : m_ui->monoRadio)->setChecked(true);
    m_ui->saveDirectoryEdit->setText(settings.saveDirectory());
    // A rate outside the table shows (and is stored on OK) as the first one.
    m_ui->sampleRateCombo->setCurrentIndex(settings.sampleRateIndex());
    const int bitRateIndex = settings.bitRateIndex();
    const bool inTable =
        bitRateIndex >= 0 && bitRateIndex < static_cast<int>(RecorderSettings::kBitRates.size());
    m_ui->bitRateCombo->setCurrentIndex(inTable ? bitRateIndex : RecorderSettings::kDefaultBitRateIndex);
    // An out-of-range position selects nothing; OK then stores device 0.
    const int chosen = input.chosenDevice();
    if (chosen >= 0)
        m_ui->deviceCombo->setCurrentIndex(chosen);
    else
        m_ui->deviceCombo->setCurrentIndex(mixerDevice.load() - 1 < input.deviceCount() ? mixerDevice.load() - 1
                                                                                        : -1);
    showEstimate();

    connect(m_ui->monoRadio, &QRadioButton::toggled, this, &RecordSetupDialog::showEstimate);
    connect(m_ui->sampleRateCombo, &QComboBox::currentIndexChanged, this, &RecordSetupDialog::showEstimate);
    connect(m_ui->bitRateCombo, &QComboBox::currentIndexChanged, this, &RecordSetupDialog::showEstimate);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &RecordSetupDialog::browse);
}

RecordSetupDialog::~RecordSetupDialog() = default;

QString RecordSetupDialog::estimateText(int kbps)
{
    // kbit/s × 60 s / 8 bits / 1024 KB per MB = kbps × 0.05859375.
    return QString::asprintf("%.3f MB/min", kbps * 0.05859375);
}

void RecordSetupDialog::showEstimate()
{
    const int index = m_ui->bitRateCombo->currentIndex();
    m_ui->estimateEdit->setText(
        estimateText(RecorderSettings::kBitRates[static_cast<std::size_t>(std::max(0, index))]));
}

void RecordSetupDialog::browse()
{
    QString folder;
    if (browseForFolder(this, QStringLiteral("Record File Path"), QStringLiteral("Blar blar..."), folder,
                        kFolderSize))
        m_ui->saveDirectoryEdit->setText(folder);
}

void RecordSetupDialog::accept()
{
    m_settings.setChannelsIndex(m_ui->stereoRadio->isChecked() ? 1 : 0);
    m_settings.setBitRateIndex(m_ui->bitRateCombo->currentIndex());
    m_settings.setSampleRate(
        RecorderSettings::kSampleRates[static_cast<std::size_t>(m_ui->sampleRateCombo->currentIndex())]);
    m_settings.setSaveDirectory(m_ui->saveDirectoryEdit->text());
    mixerDevice = m_ui->deviceCombo->currentIndex() + 1;
    if (m_input.chosenDevice() >= 0 && m_ui->deviceCombo->currentIndex() >= 0)
        m_input.chooseDevice(m_ui->deviceCombo->currentIndex());
    QDialog::accept();
}

} // namespace sonavell
