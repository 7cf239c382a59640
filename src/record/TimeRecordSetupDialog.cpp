#include "record/TimeRecordSetupDialog.h"

#include "controls/ControlId.h"
#include "platform/AppEvent.h"
#include "record/SchedulePicker.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

CTimeRecordSetupDialog::CTimeRecordSetupDialog(QWidget* parent)
    : QDialog(parent)
    , m_entries(CRecordSettings::Instance().Schedule())
{
    setWindowTitle(QStringLiteral("Time Record Setup"));
    ControlId::Set(this, kDialogId);
    CreateControls();
    FillPickers();
    ShowRows();
    if (!m_entries.empty()) {
        SelectRow(0);
    }
}

bool CTimeRecordSetupDialog::Run(QWidget* parent)
{
    CTimeRecordSetupDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

void CTimeRecordSetupDialog::CreateControls()
{
    auto* rows = new QGridLayout;
    for (int row = 0; row < kMaxEntries; ++row) {
        auto* start = new CSchedulePicker(this);
        auto* end = new CSchedulePicker(this);
        ControlId::Set(start, kFirstStartPickerId + row);
        ControlId::Set(end, kFirstEndPickerId + row);
        m_startPickers[std::size_t(row)] = start;
        m_endPickers[std::size_t(row)] = end;
        rows->addWidget(start, row, 0);
        rows->addWidget(end, row, 1);
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* add = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::ActionRole);
    QPushButton* remove = buttons->addButton(QStringLiteral("Delete"), QDialogButtonBox::ActionRole);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    ControlId::Set(add, kAddButtonId);
    ControlId::Set(remove, kDeleteButtonId);
    ControlId::Set(ok, kOkButtonId);
    ControlId::Set(cancel, kCancelButtonId);
    // Enter in a picker must not close the dialog with OK by accident.
    for (QPushButton* button : {add, remove, ok, cancel}) {
        button->setAutoDefault(false);
    }
    connect(add, &QPushButton::clicked, this, &CTimeRecordSetupDialog::Add);
    connect(remove, &QPushButton::clicked, this, &CTimeRecordSetupDialog::Delete);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rows);
    layout->addStretch(1);
    layout->addWidget(buttons);
}

int CTimeRecordSetupDialog::ShownRowCount() const
{
    return std::min(int(m_entries.size()), kMaxEntries);
}

void CTimeRecordSetupDialog::SelectRow(int row)
{
    if (m_selectedRow != kNoRow) {
        StartPicker(m_selectedRow)->SetSelected(false);
        EndPicker(m_selectedRow)->SetSelected(false);
    }
    if (row != kNoRow) {
        StartPicker(row)->SetSelected(true);
        EndPicker(row)->SetSelected(true);
    }
    m_selectedRow = row;
}

void CTimeRecordSetupDialog::ReadPickers()
{
    for (int row = 0; row < ShownRowCount(); ++row) {
        ScheduleEntry& entry = m_entries[std::size_t(row)];
        entry.start = StartPicker(row)->Seconds();
        entry.end = EndPicker(row)->Seconds();
    }
}

void CTimeRecordSetupDialog::FillPickers()
{
    for (int row = 0; row < ShownRowCount(); ++row) {
        const ScheduleEntry& entry = m_entries[std::size_t(row)];
        StartPicker(row)->SetSeconds(entry.start);
        EndPicker(row)->SetSeconds(entry.end);
    }
}

void CTimeRecordSetupDialog::ShowRows()
{
    for (int row = 0; row < kMaxEntries; ++row) {
        const bool shown = row < ShownRowCount();
        StartPicker(row)->setVisible(shown);
        EndPicker(row)->setVisible(shown);
    }
}

void CTimeRecordSetupDialog::Add()
{
    if (int(m_entries.size()) >= kMaxEntries) {
        return;
    }
    ReadPickers();
    const auto now = std::uint32_t(QDateTime::currentSecsSinceEpoch());
    m_entries.push_back(ScheduleEntry{now, now + kNewEntrySeconds});
    FillPickers();
    ShowRows();
    SelectRow(int(m_entries.size()) - 1);
}

void CTimeRecordSetupDialog::Delete()
{
    if (m_selectedRow == kNoRow) {
        return;
    }
    ReadPickers();
    m_entries.erase(m_entries.begin() + m_selectedRow);
    FillPickers();
    if (m_selectedRow >= int(m_entries.size())) {
        SelectRow(m_selectedRow - 1);
    }
    ShowRows();
}

void CTimeRecordSetupDialog::accept()
{
    ReadPickers();
    CRecordSettings::Instance().SetSchedule(m_entries);
    QDialog::accept();
}

void CTimeRecordSetupDialog::OnPickerClicked(const CSchedulePicker* picker)
{
    for (int row = 0; row < ShownRowCount(); ++row) {
        if (StartPicker(row) == picker || EndPicker(row) == picker) {
            SelectRow(row);
            return;
        }
    }
}

bool CTimeRecordSetupDialog::event(QEvent* event)
{
    if (int(event->type()) == CSchedulePicker::kPickerClicked) {
        if (const auto* clicked = dynamic_cast<const CAppEvent*>(event)) {
            OnPickerClicked(reinterpret_cast<const CSchedulePicker*>(clicked->LParam()));
        }
        return true;
    }
    return QDialog::event(event);
}
