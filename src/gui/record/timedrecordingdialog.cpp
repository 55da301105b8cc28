#include "gui/record/timedrecordingdialog.h"

#include "core/record/timedrecording.h"
#include "ui_timedrecordingdialog.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QTimeEdit>

namespace sonavell {

TimedRecordingDialog::TimedRecordingDialog(RecorderSettings &settings, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TimedRecordingDialog>()), m_settings(settings),
      m_entries(settings.timedRecordings().mid(0, kRows))
{
    m_ui->setupUi(this);
    for (int row = 0; row < kRows; ++row) {
        for (QTimeEdit *picker : {startPicker(row), endPicker(row)}) {
            // Hidden rows keep their place, so the dialog does not change size with the list.
            QSizePolicy policy = picker->sizePolicy();
            policy.setRetainSizeWhenHidden(true);
            picker->setSizePolicy(policy);
            // A click lands on the picker's line edit; either way it selects the row.
            for (QObject *target :
                 {static_cast<QObject *>(picker), static_cast<QObject *>(picker->findChild<QLineEdit *>())}) {
                if (!target)
                    continue;
                target->installEventFilter(this);
                m_rowOf.insert(target, row);
            }
        }
    }
    connect(m_ui->addButton, &QPushButton::clicked, this, &TimedRecordingDialog::addEntry);
    connect(m_ui->deleteButton, &QPushButton::clicked, this, &TimedRecordingDialog::deleteEntry);
    showEntries();
    selectRow(m_entries.isEmpty() ? -1 : 0);
}

TimedRecordingDialog::~TimedRecordingDialog() = default;

QTimeEdit *TimedRecordingDialog::startPicker(int row) const
{
    return findChild<QTimeEdit *>(QStringLiteral("start%1").arg(row));
}

QTimeEdit *TimedRecordingDialog::endPicker(int row) const
{
    return findChild<QTimeEdit *>(QStringLiteral("end%1").arg(row));
}

QList<TimedRecording> TimedRecordingDialog::entries() const
{
    QList<TimedRecording> shown = m_entries;
    for (int row = 0; row < shown.size(); ++row) {
        TimedRecording &entry = shown[row];
        // An untouched picker leaves its entry as it was, date and all.
        const QTime start = startPicker(row)->time();
        const QTime end = endPicker(row)->time();
        if (start != timeOfDay(entry.start))
            entry.start = withTimeOfDay(entry.start, start);
        if (end != timeOfDay(entry.end))
            entry.end = withTimeOfDay(entry.end, end);
    }
    return shown;
}

void TimedRecordingDialog::readPickers()
{
    m_entries = entries();
}

void TimedRecordingDialog::showEntries()
{
    for (int row = 0; row < kRows; ++row) {
        const bool shown = row < m_entries.size();
        startPicker(row)->setVisible(shown);
        endPicker(row)->setVisible(shown);
        if (shown) {
            startPicker(row)->setTime(timeOfDay(m_entries[row].start));
            endPicker(row)->setTime(timeOfDay(m_entries[row].end));
        }
    }
    m_ui->addButton->setEnabled(m_entries.size() < kRows);
}

void TimedRecordingDialog::selectRow(int row)
{
    if (row < -1 || row >= m_entries.size())
        return;
    if (m_selected >= 0)
        setHighlighted(m_selected, false);
    m_selected = row;
    if (m_selected >= 0)
        setHighlighted(m_selected, true);
    m_ui->deleteButton->setEnabled(m_selected >= 0);
}

void TimedRecordingDialog::setHighlighted(int row, bool on)
{
    for (QTimeEdit *picker : {startPicker(row), endPicker(row)}) {
        if (!on) {
            // An empty palette resolves nothing, so the picker inherits the dialog's again.
            picker->setPalette(QPalette());
            continue;
        }
        QPalette highlighted = palette();
        highlighted.setColor(QPalette::Base, highlighted.color(QPalette::Highlight));
        highlighted.setColor(QPalette::Text, highlighted.color(QPalette::HighlightedText));
        picker->setPalette(highlighted);
    }
}

bool TimedRecordingDialog::isHighlighted(int row) const
{
    const QTimeEdit *picker = startPicker(row);
    return picker->palette().color(QPalette::Base) == palette().color(QPalette::Highlight);
}

void TimedRecordingDialog::addEntry()
{
    if (m_entries.size() >= kRows)
        return;
    readPickers();
    const auto now = static_cast<std::int32_t>(m_clock().toSecsSinceEpoch());
    m_entries.append(TimedRecording{0, now, now + kAddedSeconds});
    showEntries();
    selectRow(static_cast<int>(m_entries.size()) - 1);
}

void TimedRecordingDialog::deleteEntry()
{
    if (m_selected < 0)
        return;
    readPickers();
    const int removed = m_selected;
    selectRow(-1);
    m_entries.removeAt(removed);
    showEntries();
    selectRow(std::min(removed, static_cast<int>(m_entries.size()) - 1));
}

void TimedRecordingDialog::accept()
{
    m_settings.setTimedRecordings(entries());
    QDialog::accept();
}

bool TimedRecordingDialog::eventFilter(QObject *watched, QEvent *event)
{
    const auto row = m_rowOf.constFind(watched);
    if (row != m_rowOf.cend()) {
        const bool leftClick = event->type() == QEvent::MouseButtonPress &&
                               static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        if (leftClick && *row != m_selected)
            selectRow(*row);
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace sonavell
