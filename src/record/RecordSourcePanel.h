#pragma once

#include "platform/audio/RecordMixer.h"

#include <QGroupBox>
#include <array>
#include <vector>

class CSkinSlider;
class QRadioButton;

// The "Record Control" panel: one row per capture source of the mixer (at most eight), a round
// radio button labelled with the source's name and a slider with its recording level. The
// checked row is the source capture records from. Only the selected source's slider acts on the
// mixer; moving another row's slider changes nothing there and snaps back at the next Refresh.
// The selected index and level live in MixerState, where the recorder and the silence detector
// read them. Every operation reaches the mixer of the current audio back-end afresh.
class CRecordSourcePanel : public QGroupBox
{
    Q_OBJECT

public:
    static constexpr int kRowCount = RecordMixer::kMaxSources;
    static constexpr std::array<int, kRowCount> kSliderIds = {1010, 1018, 1023, 1026, 1031, 1035, 1039, 1042};
    static constexpr int kFirstRadioId = 3055;
    static constexpr int kNoSource = -1;

    // The rows start hidden; Bind() fills them.
    explicit CRecordSourcePanel(QWidget* parent = nullptr);

    // The source the mixer records from now, as an index into its source list (0 when unknown).
    static int ReadSelectedSource();

    // The first fill: takes the mixer's selected source as the selected index, shows one row per
    // source with its range and level and checks the selected row. False, with every control left
    // as it was, when the mixer cannot be read.
    bool Bind();
    // After the record format dialog: fills the rows again and applies the checked row's level.
    bool Rebind();
    // Reads the levels back from the mixer, so sliders of other rows return to their sources'
    // levels, and checks the selected row.
    bool Refresh();
    // Checks row `index`, applies its slider's level and makes it the source capture records
    // from; ignored for a row that is not shown.
    void SelectSource(int index);

    int SourceCount() const { return m_sourceCount; }
    int SelectedIndex() const;
    int SelectedLevel() const;
    QRadioButton* RadioButton(int row) const;
    CSkinSlider* Slider(int row) const;

signals:
    // The user (or SelectSource) picked another source.
    void sourceSelected(int index);
    // The selected source's level changed.
    void selectedLevelChanged(int level);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateRows();
    void LayOutRows();
    void FillRows(const std::vector<RecordSource>& sources);
    void CheckRow(int row);
    int CheckedRow() const;
    // Writes the selected row's slider to its source and remembers it as the selected level.
    void ApplySelectedLevel();
    void RememberSelectedLevel();
    void OnSliderValueChanged(int row);
    void OnRadioPicked();

    std::array<QRadioButton*, kRowCount> m_radios{};
    std::array<CSkinSlider*, kRowCount> m_sliders{};
    int m_sourceCount = 0;
    // Set while the panel itself moves sliders, so only the user's moves reach the mixer.
    bool m_filling = false;
};
