#include "gui/record/recordsourcegroup.h"

#include "core/record/recordsourcepanel.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>

namespace sonavell {

RecordSourceGroup::RecordSourceGroup(QWidget *parent) : QGroupBox(QStringLiteral("Record Control"), parent)
{
    setObjectName(QStringLiteral("recordControl"));
    auto *layout = new QGridLayout(this);
    auto *radios = new QButtonGroup(this);
    for (int row = 0; row < kRows; ++row) {
        auto *radio = new QRadioButton(this);
        auto *slider = new QSlider(Qt::Horizontal, this);
        radio->setObjectName(QStringLiteral("source%1").arg(RecordSourcePanel::kRadioIds[static_cast<std::size_t>(row)]));
        slider->setObjectName(QStringLiteral("level%1").arg(RecordSourcePanel::kSliderIds[static_cast<std::size_t>(row)]));
        radios->addButton(radio, row);
        layout->addWidget(radio, row, 0);
        layout->addWidget(slider, row, 1);
        m_radios[static_cast<std::size_t>(row)] = radio;
        m_sliders[static_cast<std::size_t>(row)] = slider;
        radio->hide();
        slider->hide();
        connect(radio, &QRadioButton::clicked, this, [this, row] {
            if (!m_panel || m_refreshing)
                return;
            m_panel->radioClicked(row);
            refresh();
        });
        connect(slider, &QSlider::valueChanged, this, [this, row](int value) {
            if (!m_panel || m_refreshing)
                return;
            m_panel->sliderMoved(row, static_cast<std::uint32_t>(value));
            Q_EMIT levelChanged();
        });
    }
    layout->setColumnStretch(1, 1);
}

void RecordSourceGroup::bind(RecordSourcePanel *panel)
{
    m_panel = panel;
    m_panel->setRowsChanged([this] { refresh(); });
    refresh();
}

void RecordSourceGroup::refresh()
{
    if (!m_panel)
        return;
    m_refreshing = true;
    for (int i = 0; i < kRows; ++i) {
        const RecordSourcePanel::Row &row = m_panel->row(i);
        QRadioButton *radio = m_radios[static_cast<std::size_t>(i)];
        QSlider *slider = m_sliders[static_cast<std::size_t>(i)];
        radio->setVisible(row.visible);
        slider->setVisible(row.visible);
        radio->setText(row.caption);
        radio->setChecked(row.visible && i == m_panel->chosen());
        // Volume controls are 16-bit on every card seen; clamp to what a slider holds.
        slider->setRange(static_cast<int>(std::min<std::uint32_t>(row.minimum, INT32_MAX)),
                         static_cast<int>(std::min<std::uint32_t>(row.maximum, INT32_MAX)));
        slider->setValue(static_cast<int>(std::min<std::uint32_t>(row.position, INT32_MAX)));
    }
    m_refreshing = false;
}

} // namespace sonavell
