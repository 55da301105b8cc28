#include "gui/record/silencedetectordialog.h"

#include "core/settings/recordersettings.h"
#include "ui_silencedetectordialog.h"

#include <QMessageBox>

namespace sonavell {

SilenceDetectorDialog::SilenceDetectorDialog(RecorderSettings &settings, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SilenceDetectorDialog>()), m_settings(settings)
{
    m_ui->setupUi(this);
    m_ui->enabledCheck->setChecked(settings.silenceEnabled());
    m_ui->sensitivitySlider->setValue(settings.sensitivity());
    m_ui->skipCheck->setChecked(settings.skipSilence());
    (settings.silenceAction() == 1 ? m_ui->newFileRadio : m_ui->stopRadio)->setChecked(true);
    m_ui->stopSecondsEdit->setText(QString::number(settings.stopAfterSeconds()));
    m_ui->newFileSecondsEdit->setText(QString::number(settings.newFileAfterSeconds()));
}

SilenceDetectorDialog::~SilenceDetectorDialog() = default;

std::optional<int> SilenceDetectorDialog::parseSeconds(const QString &text, QString *message)
{
    bool isNumber = false;
    const int value = text.trimmed().toInt(&isNumber);
    if (!isNumber) {
        *message = QStringLiteral("Please enter an integer.");
        return std::nullopt;
    }
    if (value < kMinSeconds || value > kMaxSeconds) {
        *message =
            QStringLiteral("Please enter an integer between %1 and %2.").arg(kMinSeconds).arg(kMaxSeconds);
        return std::nullopt;
    }
    return value;
}

std::optional<int> SilenceDetectorDialog::checkedSeconds(QLineEdit *edit)
{
    QString message;
    const std::optional<int> seconds = parseSeconds(edit->text(), &message);
    if (!seconds) {
        QMessageBox::warning(this, QStringLiteral("Sonavell"), message);
        edit->setFocus();
        edit->selectAll();
    }
    return seconds;
}

void SilenceDetectorDialog::accept()
{
    const std::optional<int> stopAfter = checkedSeconds(m_ui->stopSecondsEdit);
    if (!stopAfter)
        return;
    const std::optional<int> newFileAfter = checkedSeconds(m_ui->newFileSecondsEdit);
    if (!newFileAfter)
        return;
    m_settings.setSilenceEnabled(m_ui->enabledCheck->isChecked());
    m_settings.setSensitivity(m_ui->sensitivitySlider->value());
    m_settings.setSkipSilence(m_ui->skipCheck->isChecked());
    m_settings.setSilenceAction(m_ui->newFileRadio->isChecked() ? 1 : 0);
    m_settings.setStopAfterSeconds(*stopAfter);
    m_settings.setNewFileAfterSeconds(*newFileAfter);
    QDialog::accept();
}

} // namespace sonavell
