#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class ReplaceDialog;
}

namespace sonavell {

// "Replace File Name String": the text to look for in the names and the text to put instead.
// Of the paths it is given it reads only the first, whose name becomes the first source.
class ReplaceDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ReplaceDialog(const QStringList &paths, QWidget *parent = nullptr);
    ~ReplaceDialog() override;

    QString source() const;
    QString target() const;

private:
    std::unique_ptr<Ui::ReplaceDialog> m_ui;
};

} // namespace sonavell
