#pragma once

#include "app/RecordSettings.h"

#include <QDialog>
#include <array>
#include <vector>

class CSchedulePicker;

// Dialog 11143, "Time Record Setup": up to ten daily recording windows, one row each with a start
// picker (1001 + row) and an end picker (1011 + row). Add appends a window from now to ten
// minutes later, Delete removes the selected row. Times typed into the pickers are taken in
// before Add and Delete refill them, so an edit is never lost. OK replaces the schedule of
// CRecordSettings (it reaches the disk with the settings at exit); Cancel changes nothing.
class CTimeRecordSetupDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 11143;
    static constexpr int kMaxEntries = 10;
    static constexpr int kFirstStartPickerId = 1001;
    static constexpr int kFirstEndPickerId = 1011;
    static constexpr int kAddButtonId = 3;
    static constexpr int kDeleteButtonId = 4;
    static constexpr int kOkButtonId = 1;
    static constexpr int kCancelButtonId = 2;
    static constexpr int kNoRow = -1;
    // A new window lasts ten minutes.
    static constexpr std::uint32_t kNewEntrySeconds = 600;

    // Edits a copy of the settings' schedule.
    explicit CTimeRecordSetupDialog(QWidget* parent = nullptr);

    // Runs the dialog modally; true when it was closed with OK (the schedule is then replaced).
    static bool Run(QWidget* parent);

    const std::vector<ScheduleEntry>& Entries() const { return m_entries; }
    int SelectedRow() const { return m_selectedRow; }
    CSchedulePicker* StartPicker(int row) const { return m_startPickers.at(std::size_t(row)); }
    CSchedulePicker* EndPicker(int row) const { return m_endPickers.at(std::size_t(row)); }

    void Add();
    void Delete();
    void accept() override;

protected:
    bool event(QEvent* event) override;

private:
    void CreateControls();
    int ShownRowCount() const;
    void SelectRow(int row);
    // Takes what the shown pickers hold into the list.
    void ReadPickers();
    void FillPickers();
    void ShowRows();
    void OnPickerClicked(const CSchedulePicker* picker);

    std::vector<ScheduleEntry> m_entries;
    std::array<CSchedulePicker*, kMaxEntries> m_startPickers{};
    std::array<CSchedulePicker*, kMaxEntries> m_endPickers{};
    int m_selectedRow = kNoRow;
};
