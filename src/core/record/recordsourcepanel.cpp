#include "core/record/recordsourcepanel.h"

#include "core/settings/silencetest.h"

#include <algorithm>

namespace sonavell {

RecordSourcePanel::RecordSourcePanel(Mixer &mixer) : m_mixer(mixer) {}

RecordSourcePanel::~RecordSourcePanel()
{
    m_mixer.setLinesChanged({});
}

void RecordSourcePanel::watchLines(std::function<void()> post)
{
    m_mixer.setLinesChanged(std::move(post));
}

void RecordSourcePanel::linesChanged()
{
    m_chosen = m_mixer.currentSource();
    showRows();
    load();
}

void RecordSourcePanel::notify()
{
    if (m_rowsChanged)
        m_rowsChanged();
}

void RecordSourcePanel::setSliderPosition(int row, std::uint32_t position)
{
    if (row >= 0 && row < kRows)
        m_rows[static_cast<size_t>(row)].position = position;
}

void RecordSourcePanel::showRows()
{
    QList<RecordSource> sources;
    if (!m_mixer.listSources(sources))
        return;
    m_count = static_cast<int>(sources.size());
    for (int i = 0; i < kRows; ++i) {
        Row &row = m_rows[static_cast<size_t>(i)];
        if (i < sources.size()) {
            const RecordSource &source = sources[i];
            row = Row{true, source.name, source.minimum, source.maximum, source.level};
        } else {
            row.visible = false;
        }
    }
    notify();
}

void RecordSourcePanel::exchange(bool save, int row)
{
    if (m_count <= 0 || row < 0 || row >= m_count)
        return;
    if (save) {
        m_mixer.setSourceLevel(row, m_rows[static_cast<size_t>(row)].position);
    } else {
        QList<RecordSource> sources;
        if (!m_mixer.listSources(sources))
            return;
        m_count = static_cast<int>(sources.size());
        for (int i = 0; i < std::min<int>(kRows, m_count); ++i)
            m_rows[static_cast<size_t>(i)].position = sources[i].level;
        notify();
    }
    // The row may lie beyond the inputs found by a load; its slider keeps its old position.
    if (row < kRows) {
        const Row &chosen = m_rows[static_cast<size_t>(row)];
        setRecordLevel(static_cast<std::int32_t>(std::min<std::uint32_t>(chosen.position, INT32_MAX)),
                       static_cast<std::int32_t>(std::min<std::uint32_t>(chosen.minimum, INT32_MAX)),
                       static_cast<std::int32_t>(std::min<std::uint32_t>(chosen.maximum, INT32_MAX)));
    }
}

void RecordSourcePanel::create()
{
    m_chosen = m_mixer.currentSource();
}

void RecordSourcePanel::initialise()
{
    showRows();
    load();
}

void RecordSourcePanel::load()
{
    exchange(false, m_chosen);
}

void RecordSourcePanel::radioClicked(int row)
{
    m_chosen = row;
    exchange(true, m_chosen);
    m_mixer.selectSource(m_chosen);
}

void RecordSourcePanel::sliderMoved(int row, std::uint32_t position)
{
    setSliderPosition(row, position);
    exchange(true, m_chosen);
}

void RecordSourcePanel::setupAccepted()
{
    showRows();
    exchange(true, m_chosen);
}

} // namespace sonavell
