#pragma once

#include "core/settings/recordersettings.h"

#include <QDateTime>
#include <QDialog>
#include <QHash>

#include <functional>
#include <memory>

class QTimeEdit;

namespace Ui {
class TimedRecordingDialog;
}

namespace sonavell {

// "Time Record Setup": up to ten start/end windows, each row a pair of time-of-day pickers.
// The dialog edits its own copy of the list; OK stores it, Cancel stores nothing. Add and Delete
// keep what was typed into the pickers so far.
class TimedRecordingDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kRows = 10;
    // An added window lasts ten minutes.
    static constexpr int kAddedSeconds = 600;

    // The settings are not owned and must outlive the dialog.
    explicit TimedRecordingDialog(RecorderSettings &settings, QWidget *parent = nullptr);
    ~TimedRecordingDialog() override;

    // Where "now" comes from for Add; replaceable for tests.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // The dialog's list as the pickers show it.
    QList<TimedRecording> entries() const;
    // -1 when no row is selected.
    int selectedRow() const { return m_selected; }
    void selectRow(int row);
    QTimeEdit *startPicker(int row) const;
    QTimeEdit *endPicker(int row) const;
    bool isHighlighted(int row) const;

    void addEntry();
    void deleteEntry();
    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void readPickers();
    void showEntries();
    void setHighlighted(int row, bool on);

    std::unique_ptr<Ui::TimedRecordingDialog> m_ui;
    RecorderSettings &m_settings;
    QList<TimedRecording> m_entries;
    int m_selected = -1;
    QHash<QObject *, int> m_rowOf;
    std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTime(); };
};

} // namespace sonavell
