#pragma once

#include <QFileDialog>

#include <memory>

namespace Ui {
class SaveSelectionPanel;
}

namespace sonavell {

// The save dialog of the cut-and-play editor: a file dialog for MP3 or WAV targets with a panel
// below it for the MP3 bit rate and "Keep Orignal Bitrate". The name typed gets ".mp3" or
// ".wav" after the chosen filter when it has no suffix.
class SaveSelectionDialog : public QFileDialog
{
    Q_OBJECT

public:
    explicit SaveSelectionDialog(const QString &folder, QWidget *parent = nullptr);
    ~SaveSelectionDialog() override;

    // The bit rate in kbit/s chosen in the panel.
    int bitrateKbps() const;
    void setBitrateIndex(int index);
    bool keepOriginalBitrate() const;
    void setKeepOriginalBitrate(bool keep);

private:
    std::unique_ptr<Ui::SaveSelectionPanel> m_panel;
};

} // namespace sonavell
