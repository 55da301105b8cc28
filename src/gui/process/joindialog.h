#pragma once

#include <QDialog>

#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace Ui {
class JoinDialog;
}

namespace sonavell {

// "Joint Mp3 File": the Data Rate and the MP3 file the selected files are joined into.
class JoinDialog : public QDialog
{
    Q_OBJECT

public:
    explicit JoinDialog(QWidget *parent = nullptr);
    ~JoinDialog() override;

    void setDataRateIndex(int index);
    int dataRateIndex() const;
    int bitrateKbps() const;
    QString outputPath() const;

    QComboBox *rateList() const;
    QLineEdit *outputEdit() const;
    QPushButton *outputButton() const;

private:
    void chooseOutput();

    std::unique_ptr<Ui::JoinDialog> m_ui;
};

} // namespace sonavell
