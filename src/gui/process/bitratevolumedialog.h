#pragma once

#include <QDialog>

#include <memory>

class QComboBox;

namespace Ui {
class BitrateVolumeDialog;
}

namespace sonavell {

class EditCtrl;

// "Change bitrate/Volume": the Data Rate and volume scale the selected files are encoded again with.
class BitrateVolumeDialog : public QDialog
{
    Q_OBJECT

public:
    explicit BitrateVolumeDialog(QWidget *parent = nullptr);
    ~BitrateVolumeDialog() override;

    void setDataRateIndex(int index);
    int dataRateIndex() const;
    int bitrateKbps() const;
    float volumeScale() const;

    QComboBox *rateList() const;
    EditCtrl *volumeEdit() const;

private:
    std::unique_ptr<Ui::BitrateVolumeDialog> m_ui;
};

} // namespace sonavell
