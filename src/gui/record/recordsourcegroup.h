#pragma once

#include <QGroupBox>

#include <array>

class QRadioButton;
class QSlider;

namespace sonavell {

class RecordSourcePanel;

// The "Record Control" group: a radio button and a level slider for each of up to eight
// recording inputs, mirroring the record-source panel.
class RecordSourceGroup : public QGroupBox
{
    Q_OBJECT

public:
    static constexpr int kRows = 8;

    explicit RecordSourceGroup(QWidget *parent = nullptr);

    // The panel is not owned and must outlive the group.
    void bind(RecordSourcePanel *panel);
    // Shows the panel's rows again (after a listing or an exchange).
    void refresh();

    QRadioButton *radio(int row) const { return m_radios[static_cast<std::size_t>(row)]; }
    QSlider *slider(int row) const { return m_sliders[static_cast<std::size_t>(row)]; }

Q_SIGNALS:
    void levelChanged();

private:
    RecordSourcePanel *m_panel = nullptr;
    std::array<QRadioButton *, kRows> m_radios{};
    std::array<QSlider *, kRows> m_sliders{};
    bool m_refreshing = false;
};

} // namespace sonavell
