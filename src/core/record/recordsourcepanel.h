#pragma once

#include "core/record/recordmixer.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

namespace sonavell {

// The "Record Control" group of the main window without its widgets: up to eight rows of a
// radio button (the recording input) and a level slider. The widgets mirror row(i) and report
// clicks and slider moves here; everything runs on the user-interface thread.
class RecordSourcePanel
{
public:
    static constexpr int kRows = RecordMixer::kMaxRows;
    static constexpr std::array<int, kRows> kSliderIds{1010, 1018, 1023, 1026, 1031, 1035, 1039, 1042};
    static constexpr std::array<int, kRows> kRadioIds{3055, 3056, 3057, 3058, 3059, 3060, 3061, 3062};

    struct Row
    {
        bool visible = false;
        QString caption;
        std::uint32_t minimum = 0;
        std::uint32_t maximum = 0;
        std::uint32_t position = 0; // the volume control's own value, unscaled
    };

    // The mixer is not owned and must outlive the panel.
    explicit RecordSourcePanel(Mixer &mixer);
    ~RecordSourcePanel();
    RecordSourcePanel(const RecordSourcePanel &) = delete;
    RecordSourcePanel &operator=(const RecordSourcePanel &) = delete;

    int count() const { return m_count; }
    int chosen() const { return m_chosen; }
    void setChosen(int row) { m_chosen = row; }
    const Row &row(int index) const { return m_rows[static_cast<size_t>(index)]; }
    // Called after the rows changed, so the widgets can show them again.
    void setRowsChanged(std::function<void()> callback) { m_rowsChanged = std::move(callback); }
    // The widget side moved a slider; nothing is written to the mixer.
    void setSliderPosition(int row, std::uint32_t position);

    // Lists the inputs and shows a row for each of the first eight; hides the rest.
    // Leaves the rows as they were when the mixer has no recording line.
    void showRows();
    // save: the chosen row's slider goes to its input's level; load: the sliders take the
    // inputs' levels. Either way the chosen row's position becomes the record level.
    void exchange(bool save, int row);

    // The main window's calling order.
    // When the window is made: the radio value becomes the mixer's current input.
    void create();
    // While the window initialises: rows shown, then the controls loaded.
    void initialise();
    // Every load of the window's controls.
    void load();
    void radioClicked(int row);
    void sliderMoved(int row, std::uint32_t position);
    // The record setup dialog ended with OK (the mixer device may have changed).
    void setupAccepted();
    // Inputs came or went, or another one was chosen elsewhere: the rows, the chosen row and
    // the levels are read again.
    void linesChanged();
    // For mixers that tell when lines come and go: `post` runs on the mixer's thread and must
    // bring linesChanged() onto the user-interface thread. Stops when the panel goes.
    void watchLines(std::function<void()> post);

    RecordMixer &mixer() { return m_mixer; }

private:
    void notify();

    RecordMixer m_mixer;
    std::array<Row, kRows> m_rows;
    int m_count = 0;
    int m_chosen = 0;
    std::function<void()> m_rowsChanged;
};

} // namespace sonavell
