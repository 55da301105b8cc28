#pragma once

#include <QDialog>

#include <memory>
#include <optional>

class QLineEdit;

namespace Ui {
class SilenceDetectorDialog;
}

namespace sonavell {

class RecorderSettings;

// "Voice Activation Process": the silence detector's six settings. OK stores all of them at
// once, after both second counts pass their check; the capture and encode threads read them
// live, so a running recording follows at once. Cancel stores nothing.
class SilenceDetectorDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMinSeconds = 1;
    static constexpr int kMaxSeconds = 1000;

    // The settings are not owned and must outlive the dialog.
    explicit SilenceDetectorDialog(RecorderSettings &settings, QWidget *parent = nullptr);
    ~SilenceDetectorDialog() override;

    // The seconds in an edit's text, or the message that rejects it.
    static std::optional<int> parseSeconds(const QString &text, QString *message);

    void accept() override;

private:
    // Shows the message and puts the focus back on the edit when its text is not a valid count.
    std::optional<int> checkedSeconds(QLineEdit *edit);

    std::unique_ptr<Ui::SilenceDetectorDialog> m_ui;
    RecorderSettings &m_settings;
};

} // namespace sonavell
