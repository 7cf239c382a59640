#pragma once

#include "app/RecordingTimeReader.h"
#include "controls/DragDropListCtrl.h"

#include <QList>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class CRecordSettings;
class QMimeData;
namespace RecordingFiles
{
struct FileResult;
}

// The main window's list of recordings (control 1002): one row per MP3 file with its name, size,
// playing time and folder. It is filled from the settings at start-up and written back at exit,
// and carries out the list's own commands (select, delete, rename, open, save as).
class CRecordingsList : public CDragDropListCtrl
{
    Q_OBJECT

public:
    enum Column
    {
        kNameColumn = 0,
        kSizeColumn = 1,
        kTimeColumn = 2,
        kFolderColumn = 3,
    };

    explicit CRecordingsList(QWidget* parent = nullptr);

    // Adds a row at the end for the file, after removing any row for the same path; false (and
    // no row) when the file cannot be read.
    bool AddFile(const QString& path);
    // Files from outside the program (dropped from a file manager, named on a command line):
    // each MP3 file is added as AddFile does, to the user's recordings; everything else is
    // named in one message. Returns how many were added.
    int AddOutsideFiles(const QStringList& paths);
    // Local files among dropped data; empty when there are none.
    static QStringList DroppedFiles(const QMimeData* data);

    // Start-up fill: the settings' recordings in stored order; files now missing are dropped.
    void FillFromSettings(const CRecordSettings& settings);
    // True while some row's playing time is still being read after the start-up fill.
    bool TimesPending() const;
    // Reads the size and playing time of the listed files again after they were rewritten.
    void RefreshFiles(const QStringList& paths);
    // Exit: the settings' recordings become the recordings' paths, top to bottom (while a
    // player's files are shown, the recordings kept aside, never the player's files).
    void SaveToSettings(CRecordSettings& settings) const;

    // A portable player's files take the list's place: the recordings, with their order and
    // selection, are kept aside (once: a second player keeps the first keeping) and the rows
    // are emptied for the player's files.
    void BeginPlayerFiles();
    // True while a player's files stand in for the recordings.
    bool ShowsPlayerFiles() const { return m_keptRecordings.has_value(); }
    // The recordings come back exactly as they were kept, plus what was recorded meanwhile.
    void ShowRecordings();
    // A finished recording: listed, or kept with the recordings while a player's files show.
    void AddRecording(const QString& path);

    QString PathOfRow(int row) const;
    // The first selected row's full path, or "" when nothing is selected.
    QString SelectedPath() const;
    // Appends the selected rows' paths, top to bottom; returns how many.
    int SelectedPaths(QStringList& paths) const;
    // Appends every row's path, top to bottom.
    void AllPaths(QStringList& paths) const;
    // The first selected row's file name, or "".
    QString SelectedName() const;
    // Renames the first selected row's file within its folder, exactly to newName.
    bool RenameSelected(const QString& newName);

    // The commands of menus 129 and 188 that act on the list.
    static bool IsListCommand(int id);
    // Runs the command; false when the id is not one of the list's.
    bool HandleCommand(int id);

    void SelectAllRows();
    void DeleteSelectedItems();
    // Files go to the desktop's trash; those on a removable volume are deleted for good after
    // one question that names them (a No leaves every file and row). Each stops at the first
    // file that cannot be removed, reports it and keeps its row and every row not yet reached;
    // false then.
    bool DeleteSelectedFiles();
    void DeleteAllItems();
    bool DeleteAllFiles();
    void RenameWithDialog();
    void OpenFiles();
    void SaveSelectedAs();

    void UpdateColumnWidths();

signals:
    // Any change the list notifies (selection, clicks, edits, moves): the first selected path,
    // which may be the same as before, or "" when nothing is selected.
    void selectedPathChanged(const QString& path);

protected:
    // Hovering a row shows the title, artist and album of the file's tags.
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool RenameRow(int row, const QString& newName);
    // Asks once before files of removable volumes among paths are deleted for good; true when
    // there are none or the user agreed.
    bool ConfirmDeletingForGood(const QStringList& paths);
    void ReportFileError(const RecordingFiles::FileResult& result);
    void NotifySelectedPath();
    void ApplyTimes(const CRecordingTimeReader::TimeBatch& batch);

    struct KeptRecordings
    {
        QList<QStringList> rows;
        std::vector<int> selectedRows;
    };

    std::unique_ptr<CRecordingTimeReader> m_timeReader;
    std::optional<KeptRecordings> m_keptRecordings;
};
