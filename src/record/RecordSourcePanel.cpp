#include "record/RecordSourcePanel.h"

#include "controls/ControlId.h"
#include "controls/RecordRedioBtn.h"
#include "controls/SkinSlider.h"
#include "controls/TransparentStatic.h"
#include "platform/AppEvent.h"
#include "platform/audio/AudioBackend.h"
#include "record/MixerState.h"

#include <QRadioButton>
#include <QResizeEvent>
#include <algorithm>
#include <memory>

namespace
{
const char* const kTitle = "Record Control";

// Row layout inside the frame: the first row clears the frame's title.
constexpr int kFirstRowTop = 22;
constexpr int kBottomMargin = 6;
constexpr int kSideMargin = 8;
constexpr int kMaxRowHeight = 24;
constexpr int kRadioWidthPercent = 42;
constexpr int kRadioSliderGap = 6;
// With few sources each row has room for its name on a line of its own above the slider, so
// long names ("Monitor of Built-in Audio Analog Stereo") stay readable.
constexpr int kStackedSliderHeight = 22;
constexpr int kStackedLineGap = 2;
constexpr int kRadioTextPadding = 4;

std::unique_ptr<RecordMixer> OpenMixer()
{
    const std::shared_ptr<AudioBackend> backend = AudioBackend::Current();
    return backend ? backend->CreateRecordMixer() : nullptr;
}

QString RowLabel(const RecordSource& source)
{
    return source.description.isEmpty() ? source.name : source.description;
}
} // namespace

CRecordSourcePanel::CRecordSourcePanel(QWidget* parent)
    : QGroupBox(QString::fromLatin1(kTitle), parent)
{
    CTransparentStatic::Attach(this);
    CreateRows();
}

int CRecordSourcePanel::ReadSelectedSource()
{
    const std::unique_ptr<RecordMixer> mixer = OpenMixer();
    if (!mixer)
        return 0;
    const int index = mixer->SelectedSource();
    return index >= 0 && index < kRowCount ? index : 0;
}

bool CRecordSourcePanel::Bind()
{
    const std::unique_ptr<RecordMixer> mixer = OpenMixer();
    std::vector<RecordSource> sources;
    if (!mixer || !mixer->EnumerateSources(sources))
        return false;

    const int selected = mixer->SelectedSource();
    MixerState::selectedSourceIndex = selected >= 0 && selected < kRowCount ? selected : 0;
    FillRows(sources);
    CheckRow(SelectedIndex());
    RememberSelectedLevel();
    return true;
}

bool CRecordSourcePanel::Rebind()
{
    const std::unique_ptr<RecordMixer> mixer = OpenMixer();
    std::vector<RecordSource> sources;
    if (!mixer || !mixer->EnumerateSources(sources))
        return false;

    FillRows(sources);
    const int checked = CheckedRow();
    if (checked != kNoSource)
        MixerState::selectedSourceIndex = checked;
    ApplySelectedLevel();
    return true;
}

bool CRecordSourcePanel::Refresh()
{
    const std::unique_ptr<RecordMixer> mixer = OpenMixer();
    std::vector<RecordSource> sources;
    if (!mixer || !mixer->EnumerateSources(sources))
        return false;

    FillRows(sources);
    CheckRow(SelectedIndex());
    RememberSelectedLevel();
    return true;
}

void CRecordSourcePanel::SelectSource(int index)
{
    if (index < 0 || index >= m_sourceCount)
        return;
    CheckRow(index);
    OnRadioPicked();
}

int CRecordSourcePanel::SelectedIndex() const
{
    return MixerState::selectedSourceIndex.load(std::memory_order_relaxed);
}

int CRecordSourcePanel::SelectedLevel() const
{
    return MixerState::selectedLevel.load(std::memory_order_relaxed);
}

QRadioButton* CRecordSourcePanel::RadioButton(int row) const
{
    return row >= 0 && row < kRowCount ? m_radios[std::size_t(row)] : nullptr;
}

CSkinSlider* CRecordSourcePanel::Slider(int row) const
{
    return row >= 0 && row < kRowCount ? m_sliders[std::size_t(row)] : nullptr;
}

bool CRecordSourcePanel::event(QEvent* event)
{
    // A round button of this panel was picked by the user.
    if (event->type() == AppEventType::kSourceSelected) {
        OnRadioPicked();
        return true;
    }
    return QGroupBox::event(event);
}

void CRecordSourcePanel::resizeEvent(QResizeEvent* event)
{
    QGroupBox::resizeEvent(event);
    LayOutRows();
}

void CRecordSourcePanel::CreateRows()
{
    for (int row = 0; row < kRowCount; ++row) {
        QRadioButton* radio = CRecordRedioBtn::Create(QString(), this);
        ControlId::Set(radio, kFirstRadioId + row);
        radio->hide();
        m_radios[std::size_t(row)] = radio;

        auto* slider = new CSkinSlider(Qt::Horizontal, this);
        ControlId::Set(slider, kSliderIds[std::size_t(row)]);
        slider->setTickPosition(QSlider::NoTicks);
        slider->hide();
        connect(slider, &QSlider::valueChanged, this, [this, row] { OnSliderValueChanged(row); });
        m_sliders[std::size_t(row)] = slider;
    }
    LayOutRows();
}

void CRecordSourcePanel::LayOutRows()
{
    const int inner = std::max(0, width() - 2 * kSideMargin);
    const int shownRows = std::max(m_sourceCount, 1);
    const int roomyPitch = std::max(1, (height() - kFirstRowTop - kBottomMargin) / shownRows);
    const int radioHeight = std::max(fontMetrics().height() + kRadioTextPadding, kMaxRowHeight - 4);
    if (roomyPitch >= radioHeight + kStackedLineGap + kStackedSliderHeight) {
        const int rowHeight = radioHeight + kStackedLineGap + kStackedSliderHeight;
        const int pitch = std::min(roomyPitch, rowHeight + kStackedLineGap * 4);
        for (int row = 0; row < kRowCount; ++row) {
            const int top = kFirstRowTop + row * pitch;
            m_radios[std::size_t(row)]->setGeometry(kSideMargin, top, inner, radioHeight);
            m_sliders[std::size_t(row)]->setGeometry(kSideMargin, top + radioHeight + kStackedLineGap, inner,
                                                     kStackedSliderHeight);
        }
        return;
    }
    const int pitch = std::max(1, (height() - kFirstRowTop - kBottomMargin) / kRowCount);
    const int rowHeight = std::min(pitch, kMaxRowHeight);
    const int radioWidth = inner * kRadioWidthPercent / 100;
    const int sliderLeft = kSideMargin + radioWidth + kRadioSliderGap;
    const int sliderWidth = std::max(0, width() - kSideMargin - sliderLeft);
    for (int row = 0; row < kRowCount; ++row) {
        const int top = kFirstRowTop + row * pitch + (pitch - rowHeight) / 2;
        m_radios[std::size_t(row)]->setGeometry(kSideMargin, top, radioWidth, rowHeight);
        m_sliders[std::size_t(row)]->setGeometry(sliderLeft, top, sliderWidth, rowHeight);
    }
}

void CRecordSourcePanel::FillRows(const std::vector<RecordSource>& sources)
{
    m_filling = true;
    m_sourceCount = static_cast<int>(std::min<std::size_t>(sources.size(), kRowCount));
    for (int row = 0; row < kRowCount; ++row) {
        QRadioButton* radio = m_radios[std::size_t(row)];
        CSkinSlider* slider = m_sliders[std::size_t(row)];
        if (row >= m_sourceCount) {
            radio->hide();
            slider->hide();
            continue;
        }
        const RecordSource& source = sources[std::size_t(row)];
        slider->setRange(source.minimum, source.maximum);
        slider->setValue(source.level);
        slider->show();
        radio->setText(RowLabel(source));
        // The whole name, also when the row has to shorten it.
        radio->setToolTip(source.description.isEmpty() || source.description == source.name
                              ? source.name
                              : source.description + QLatin1Char('\n') + source.name);
        radio->setAccessibleName(RowLabel(source));
        slider->setAccessibleName(QStringLiteral("Recording level of %1").arg(RowLabel(source)));
        radio->show();
    }
    m_filling = false;
    LayOutRows();
}

void CRecordSourcePanel::CheckRow(int row)
{
    if (row < 0 || row >= m_sourceCount)
        return;
    QRadioButton* radio = m_radios[std::size_t(row)];
    if (CRecordRedioBtn* skin = CRecordRedioBtn::Of(radio))
        skin->SetCheck(true);
    else
        radio->setChecked(true);
}

int CRecordSourcePanel::CheckedRow() const
{
    for (int row = 0; row < m_sourceCount; ++row) {
        if (m_radios[std::size_t(row)]->isChecked())
            return row;
    }
    return kNoSource;
}

void CRecordSourcePanel::ApplySelectedLevel()
{
    const int selected = SelectedIndex();
    if (selected < 0 || selected >= m_sourceCount)
        return;
    if (const std::unique_ptr<RecordMixer> mixer = OpenMixer())
        mixer->SetSourceLevel(selected, m_sliders[std::size_t(selected)]->value());
    RememberSelectedLevel();
}

void CRecordSourcePanel::RememberSelectedLevel()
{
    const int selected = SelectedIndex();
    if (selected < 0 || selected >= m_sourceCount)
        return;
    const int level = m_sliders[std::size_t(selected)]->value();
    if (MixerState::selectedLevel.exchange(level) != level)
        emit selectedLevelChanged(level);
}

void CRecordSourcePanel::OnSliderValueChanged(int row)
{
    // Another row's slider has no say over the mixer: only the selected source records.
    if (m_filling || row != SelectedIndex())
        return;
    ApplySelectedLevel();
}

void CRecordSourcePanel::OnRadioPicked()
{
    const int row = CheckedRow();
    if (row == kNoSource)
        return;
    MixerState::selectedSourceIndex = row;
    // The newly chosen source takes the level its slider shows, then becomes the recorded one.
    ApplySelectedLevel();
    if (const std::unique_ptr<RecordMixer> mixer = OpenMixer())
        mixer->SelectSource(row);
    emit sourceSelected(row);
}
