#pragma once

#include <QDialog>

#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace Ui {
class WavToMp3Dialog;
}

namespace sonavell {

class EditCtrl;

// "Wav to Mp3 Convert": the WAV file, the MP3 file it becomes and the Data Rate. The volume
// field is shown but WAV data is encoded as it is.
class WavToMp3Dialog : public QDialog
{
    Q_OBJECT

public:
    explicit WavToMp3Dialog(QWidget *parent = nullptr);
    ~WavToMp3Dialog() override;

    void setDataRateIndex(int index);
    int dataRateIndex() const;
    int bitrateKbps() const;
    float volumeScale() const;
    QString wavPath() const;
    QString mp3Path() const;

    QComboBox *rateList() const;
    EditCtrl *volumeEdit() const;
    QLineEdit *wavEdit() const;
    QLineEdit *mp3Edit() const;
    QPushButton *wavButton() const;
    QPushButton *mp3Button() const;

private:
    void chooseWav();
    void chooseMp3();

    std::unique_ptr<Ui::WavToMp3Dialog> m_ui;
};

} // namespace sonavell
