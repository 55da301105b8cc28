#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class RecordSetupDialog;
}

namespace sonavell {

class AudioInput;
class RecorderSettings;

// "Record and Convert Setup": the record format's channels and rate, the MP3 bit rate, the
// folder for new recordings and the record device. OK stores exactly these and sets
// `mixerDevice` to the device's position + 1 (0 when there is no device); where the input lets
// the user choose its device (a sound server's sources), OK also makes the device the one
// recordings take. Cancel changes nothing. The caller binds the record sources again after OK.
class RecordSetupDialog : public QDialog
{
    Q_OBJECT

public:
    // Callers of the folder browser pass room for 198 characters.
    static constexpr int kFolderSize = 199;

    // The settings and the input device are not owned and must outlive the dialog.
    RecordSetupDialog(RecorderSettings &settings, AudioInput &input, QWidget *parent = nullptr);
    ~RecordSetupDialog() override;

    // The size of a minute of MP3 at `kbps`, "%.3f MB/min".
    static QString estimateText(int kbps);

    void accept() override;

private:
    void showEstimate();
    void browse();

    std::unique_ptr<Ui::RecordSetupDialog> m_ui;
    RecorderSettings &m_settings;
    AudioInput &m_input;
};

} // namespace sonavell
