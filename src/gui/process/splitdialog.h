#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SplitDialog;
}

namespace sonavell {

class EditCtrl;

// "Splite": the volume scale and the number of parts of a split.
class SplitDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SplitDialog(QWidget *parent = nullptr);
    ~SplitDialog() override;

    float volumeScale() const;
    int partCount() const;

    EditCtrl *volumeEdit() const;
    EditCtrl *countEdit() const;

private:
    std::unique_ptr<Ui::SplitDialog> m_ui;
};

} // namespace sonavell
