#pragma once

#include <QDialog>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;

namespace Ui {
class TrimDialog;
}

namespace sonavell {

class EditCtrl;

// "Trim Out Start & End Part": how much to cut off the start and the end, as hours, minutes and
// seconds, and whether to encode the rest again ("ReCode", at the Data Rate) or copy its frames.
class TrimDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TrimDialog(QWidget *parent = nullptr);
    ~TrimDialog() override;

    int startTrimSeconds() const;
    int endTrimSeconds() const;
    bool recode() const;
    void setDataRateIndex(int index);
    int dataRateIndex() const;
    int bitrateKbps() const;

    // Hour, minute and second fields of each group.
    std::array<EditCtrl *, 3> startEdits() const;
    std::array<EditCtrl *, 3> endEdits() const;
    QComboBox *rateList() const;
    QCheckBox *recodeCheck() const;

private:
    static int seconds(const std::array<EditCtrl *, 3> &edits);

    std::unique_ptr<Ui::TrimDialog> m_ui;
};

} // namespace sonavell
