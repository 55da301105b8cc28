#include "gui/edit/saveselectiondialog.h"

#include "core/settings/recordersettings.h"
#include "ui_saveselectionpanel.h"

#include <QGridLayout>

namespace sonavell {

namespace {

const QString kMp3Filter = QStringLiteral("MP3 File(*.MP3)");
const QString kWavFilter = QStringLiteral("WAV File(*.WAV)");

} // namespace

SaveSelectionDialog::SaveSelectionDialog(const QString &folder, QWidget *parent)
    : QFileDialog(parent, QStringLiteral("Save selection as audio file"), folder),
      m_panel(std::make_unique<Ui::SaveSelectionPanel>())
{
    setObjectName(QStringLiteral("saveSelectionDialog"));
    // The panel needs the dialog's own widgets, not the desktop's.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setOption(QFileDialog::ReadOnly, false);
    setNameFilters({kMp3Filter, kWavFilter});
    setDefaultSuffix(QStringLiteral("mp3"));
    connect(this, &QFileDialog::filterSelected, this, [this](const QString &filter) {
        setDefaultSuffix(filter == kWavFilter ? QStringLiteral("wav") : QStringLiteral("mp3"));
    });

    auto *panel = new QWidget(this);
    m_panel->setupUi(panel);
    for (const int kbps : RecorderSettings::kBitRates)
        m_panel->bitRateCombo->addItem(QString::asprintf("%d kbps", kbps), kbps);
    setBitrateIndex(settings().bitRateIndex());
    if (auto *grid = qobject_cast<QGridLayout *>(layout()))
        grid->addWidget(panel, grid->rowCount(), 0, 1, grid->columnCount());
    else if (layout())
        layout()->addWidget(panel);
}

SaveSelectionDialog::~SaveSelectionDialog() = default;

int SaveSelectionDialog::bitrateKbps() const
{
    return m_panel->bitRateCombo->currentData().toInt();
}

void SaveSelectionDialog::setBitrateIndex(int index)
{
    const int count = m_panel->bitRateCombo->count();
    m_panel->bitRateCombo->setCurrentIndex(
        index >= 0 && index < count ? index : RecorderSettings::kDefaultBitRateIndex);
}

bool SaveSelectionDialog::keepOriginalBitrate() const
{
    return m_panel->keepOriginalCheck->isChecked();
}

void SaveSelectionDialog::setKeepOriginalBitrate(bool keep)
{
    m_panel->keepOriginalCheck->setChecked(keep);
}

} // namespace sonavell
