#include "app/RecordingsList.h"

#include "app/CommandIds.h"
#include "app/DataFileStore.h"
#include "app/DialogSeams.h"
#include "app/RecordSettings.h"
#include "app/RecordingFiles.h"
#include "app/RecordingRow.h"
#include "app/RenameDialog.h"
#include "controls/ControlId.h"
#include "record/RecordingNames.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMimeData>
#include <QResizeEvent>
#include <QSet>
#include <QSignalBlocker>
#include <QToolTip>
#include <QUrl>

namespace
{
constexpr const char* kMp3Filter = "mp3 File (*.mp3)";
constexpr const char* kOpenCaption = "Open";
constexpr const char* kSaveAsCaption = "Save As";
constexpr const char* kReplaceQuestion = "%1 already exists.\nDo you want to replace it?";
constexpr const char* kDeleteForGoodQuestion =
    "These files are on a removable drive and will be deleted for good, not moved to the trash:\n%1\n\n"
    "Delete them?";
constexpr const char* kNotAddedText = "These files were not added: only MP3 files that can be read are listed.\n%1";
constexpr const char* kMp3Extension = ".mp3";
} // namespace

CRecordingsList::CRecordingsList(QWidget* parent)
    : CDragDropListCtrl(parent)
{
    ControlId::Set(this, MainControlId::kRecordingsList);
    SetColumns({QStringLiteral("File Name"), QStringLiteral("Size"), QStringLiteral("Time(m:s)"),
                QStringLiteral("Save Directory")});
    UpdateColumnWidths();
    SetLabelEditHandler([this](int row, const QString& text) {
        if (!RenameRow(row, text)) {
            return false;
        }
        // The edit writes the new text once this returns; tell the listeners after that.
        QMetaObject::invokeMethod(this, &CRecordingsList::NotifySelectedPath, Qt::QueuedConnection);
        return true;
    });

    connect(this, &QTreeWidget::itemSelectionChanged, this, &CRecordingsList::NotifySelectedPath);
    connect(this, &QTreeWidget::itemClicked, this, &CRecordingsList::NotifySelectedPath);
    connect(this, &CDragDropListCtrl::rowsReordered, this, &CRecordingsList::NotifySelectedPath);
    // Files from a file manager; the rows' own moving does not go through Qt's drag and drop.
    setAcceptDrops(true);
}

int CRecordingsList::AddOutsideFiles(const QStringList& paths)
{
    // They are the user's own files: they join the recordings, not a player's files on show.
    if (ShowsPlayerFiles()) {
        ShowRecordings();
    }
    QStringList notAdded;
    int added = 0;
    for (const QString& path : paths) {
        const QFileInfo file(path);
        if (file.isFile() && path.endsWith(QLatin1String(kMp3Extension), Qt::CaseInsensitive) && AddFile(path)) {
            ++added;
        } else {
            notAdded << path;
        }
    }
    if (!notAdded.isEmpty()) {
        DialogSeams::ShowMessage(window(), QString::fromLatin1(kNotAddedText).arg(notAdded.join(QLatin1Char('\n'))),
                                 QMessageBox::Warning);
    }
    return added;
}

QStringList CRecordingsList::DroppedFiles(const QMimeData* data)
{
    QStringList files;
    if (data == nullptr || !data->hasUrls()) {
        return files;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            files << url.toLocalFile();
        }
    }
    return files;
}

void CRecordingsList::dragEnterEvent(QDragEnterEvent* event)
{
    if (DroppedFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CRecordingsList::dragMoveEvent(QDragMoveEvent* event)
{
    if (DroppedFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CRecordingsList::dropEvent(QDropEvent* event)
{
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    // The file manager keeps its files: they are listed, never moved.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    AddOutsideFiles(files);
}

bool CRecordingsList::AddFile(const QString& path)
{
    const QString absolute = QFileInfo(path).isRelative() ? QFileInfo(path).absoluteFilePath() : path;
    const QString name = RecordingNames::FileNamePart(absolute);
    QString folder = RecordingNames::DirectoryPart(absolute);
    folder.chop(1);
    for (int row = RowCount() - 1; row >= 0; --row) {
        if (Text(row, kNameColumn) == name && Text(row, kFolderColumn) == folder) {
            RemoveRow(row);
        }
    }
    const std::optional<RecordingRow> recording = RecordingRows::Read(absolute);
    if (!recording) {
        return false;
    }
    AppendRow(recording->Texts());
    viewport()->update();
    return true;
}

void CRecordingsList::FillFromSettings(const CRecordSettings& settings)
{
    const QStringList paths = settings.Recordings();
    if (RowCount() > 0) {
        for (const QString& path : paths) {
            AddFile(path);
        }
        return;
    }
    // A path stored twice keeps its last place, as adding it again would have given it.
    QStringList unique;
    QSet<QString> seen;
    for (auto path = paths.crbegin(); path != paths.crend(); ++path) {
        const QString absolute = QFileInfo(*path).isRelative() ? QFileInfo(*path).absoluteFilePath() : *path;
        if (!seen.contains(absolute)) {
            seen.insert(absolute);
            unique.prepend(absolute);
        }
    }
    QStringList shown;
    for (const QString& path : unique) {
        if (const std::optional<RecordingRow> recording = RecordingRows::Read(path, false)) {
            AppendRow(recording->Texts());
            shown << recording->FullPath();
        }
    }
    viewport()->update();
    m_timeReader = std::make_unique<CRecordingTimeReader>(
        shown, this, [this](const CRecordingTimeReader::TimeBatch& batch) { ApplyTimes(batch); });
}

bool CRecordingsList::TimesPending() const
{
    for (int row = 0; row < RowCount(); ++row) {
        if (Text(row, kTimeColumn).isEmpty()) {
            return true;
        }
    }
    return false;
}

void CRecordingsList::ApplyTimes(const CRecordingTimeReader::TimeBatch& batch)
{
    QHash<QString, QString> times;
    for (const auto& [path, time] : batch) {
        times.insert(path, time);
    }
    // Recordings kept aside while a player's files show get their times as well.
    if (m_keptRecordings) {
        for (QStringList& row : m_keptRecordings->rows) {
            const auto time =
                times.constFind(RecordingRows::JoinPath(row.value(kFolderColumn), row.value(kNameColumn)));
            if (row.value(kTimeColumn).isEmpty() && time != times.constEnd() && row.size() > kTimeColumn) {
                row[kTimeColumn] = *time;
            }
        }
    }
    // Rows may have moved, been renamed or removed meanwhile: match them by their path.
    for (int row = 0; row < RowCount(); ++row) {
        if (!Text(row, kTimeColumn).isEmpty()) {
            continue;
        }
        const auto time = times.constFind(RecordingRows::JoinPath(Text(row, kFolderColumn), Text(row, kNameColumn)));
        if (time != times.constEnd()) {
            SetText(row, kTimeColumn, *time);
        }
    }
}

void CRecordingsList::RefreshFiles(const QStringList& paths)
{
    const QSet<QString> changed(paths.cbegin(), paths.cend());
    for (int row = 0; row < RowCount(); ++row) {
        const QString path = PathOfRow(row);
        if (!changed.contains(path)) {
            continue;
        }
        // A file that can no longer be read keeps the row as it was.
        if (const std::optional<RecordingRow> recording = RecordingRows::Read(path)) {
            SetText(row, kSizeColumn, recording->sizeText);
            SetText(row, kTimeColumn, recording->timeText);
        }
    }
}

void CRecordingsList::SaveToSettings(CRecordSettings& settings) const
{
    QStringList paths;
    if (m_keptRecordings) {
        for (const QStringList& row : m_keptRecordings->rows) {
            paths.append(RecordingRows::JoinPath(row.value(kFolderColumn), row.value(kNameColumn)));
        }
    } else {
        AllPaths(paths);
    }
    settings.SetRecordings(paths);
}

void CRecordingsList::BeginPlayerFiles()
{
    if (!m_keptRecordings) {
        KeptRecordings kept;
        for (int row = 0; row < RowCount(); ++row) {
            kept.rows.append(RowTexts(row));
        }
        kept.selectedRows = SelectedRows();
        m_keptRecordings = std::move(kept);
    }
    RemoveAllRows();
}

void CRecordingsList::ShowRecordings()
{
    if (!m_keptRecordings) {
        return;
    }
    const KeptRecordings kept = std::move(*m_keptRecordings);
    m_keptRecordings.reset();
    {
        // One notification for the whole change, after the selection is back.
        const QSignalBlocker quiet(this);
        RemoveAllRows();
        for (const QStringList& row : kept.rows) {
            AppendRow(row);
        }
        for (const int row : kept.selectedRows) {
            SetRowSelected(row, true);
        }
    }
    viewport()->update();
    NotifySelectedPath();
}

void CRecordingsList::AddRecording(const QString& path)
{
    if (!m_keptRecordings) {
        AddFile(path);
        return;
    }
    const std::optional<RecordingRow> recording = RecordingRows::Read(path);
    if (!recording) {
        return;
    }
    // As AddFile does: a path listed before moves to the end.
    QList<QStringList>& rows = m_keptRecordings->rows;
    std::vector<int>& selected = m_keptRecordings->selectedRows;
    for (int row = int(rows.size()) - 1; row >= 0; --row) {
        if (rows[row].value(kNameColumn) == recording->name && rows[row].value(kFolderColumn) == recording->folder) {
            rows.removeAt(row);
            std::erase(selected, row);
            for (int& later : selected) {
                later -= later > row ? 1 : 0;
            }
        }
    }
    rows.append(recording->Texts());
}

QString CRecordingsList::PathOfRow(int row) const
{
    return RecordingRows::JoinPath(Text(row, kFolderColumn), Text(row, kNameColumn));
}

QString CRecordingsList::SelectedPath() const
{
    const int row = FirstSelectedRow();
    return row == kNoRow ? QString() : PathOfRow(row);
}

int CRecordingsList::SelectedPaths(QStringList& paths) const
{
    const std::vector<int> rows = SelectedRows();
    for (const int row : rows) {
        paths.append(PathOfRow(row));
    }
    return static_cast<int>(rows.size());
}

void CRecordingsList::AllPaths(QStringList& paths) const
{
    for (int row = 0; row < RowCount(); ++row) {
        paths.append(PathOfRow(row));
    }
}

QString CRecordingsList::SelectedName() const
{
    const int row = FirstSelectedRow();
    return row == kNoRow ? QString() : Text(row, kNameColumn);
}

bool CRecordingsList::RenameSelected(const QString& newName)
{
    const int row = FirstSelectedRow();
    if (row == kNoRow || !RenameRow(row, newName)) {
        return false;
    }
    SetText(row, kNameColumn, newName);
    NotifySelectedPath();
    return true;
}

bool CRecordingsList::IsListCommand(int id)
{
    switch (id) {
    case CommandId::kSelectAll:
    case CommandId::kInvertSelection:
    case CommandId::kDeleteSelectedItems:
    case CommandId::kDeleteSelectedFiles:
    case CommandId::kDeleteAllItems:
    case CommandId::kDeleteAllFiles:
    case CommandId::kRename:
    case CommandId::kOpen:
    case CommandId::kSaveAs:
        return true;
    default:
        return false;
    }
}

bool CRecordingsList::HandleCommand(int id)
{
    switch (id) {
    case CommandId::kSelectAll:
        SelectAllRows();
        break;
    case CommandId::kInvertSelection:
        InvertSelection();
        break;
    case CommandId::kDeleteSelectedItems:
        DeleteSelectedItems();
        break;
    case CommandId::kDeleteSelectedFiles:
        DeleteSelectedFiles();
        break;
    case CommandId::kDeleteAllItems:
        DeleteAllItems();
        break;
    case CommandId::kDeleteAllFiles:
        DeleteAllFiles();
        break;
    case CommandId::kRename:
        RenameWithDialog();
        break;
    case CommandId::kOpen:
        OpenFiles();
        break;
    case CommandId::kSaveAs:
        SaveSelectedAs();
        break;
    default:
        return false;
    }
    return true;
}

void CRecordingsList::SelectAllRows()
{
    selectAll();
}

void CRecordingsList::DeleteSelectedItems()
{
    for (int row = FirstSelectedRow(); row != kNoRow; row = FirstSelectedRow()) {
        RemoveRow(row);
    }
}

bool CRecordingsList::ConfirmDeletingForGood(const QStringList& paths)
{
    QStringList forGood;
    for (const QString& path : paths) {
        if (RecordingFiles::IsDeletedForGood(path)) {
            forGood << path;
        }
    }
    if (forGood.isEmpty()) {
        return true;
    }
    DialogSeams::MessageRequest request;
    request.text = QString::fromLatin1(kDeleteForGoodQuestion).arg(forGood.join(QLatin1Char('\n')));
    request.icon = QMessageBox::Question;
    request.buttons = QMessageBox::Yes | QMessageBox::No;
    request.defaultButton = QMessageBox::No;
    return DialogSeams::ShowMessage(window(), request) == QMessageBox::Yes;
}

bool CRecordingsList::DeleteSelectedFiles()
{
    QStringList paths;
    SelectedPaths(paths);
    if (!ConfirmDeletingForGood(paths)) {
        return false;
    }
    for (int row = FirstSelectedRow(); row != kNoRow; row = FirstSelectedRow()) {
        const RecordingFiles::FileResult result = RecordingFiles::Discard(PathOfRow(row));
        if (!result.ok) {
            ReportFileError(result);
            return false;
        }
        RemoveRow(row);
    }
    return true;
}

void CRecordingsList::DeleteAllItems()
{
    RemoveAllRows();
}

bool CRecordingsList::DeleteAllFiles()
{
    QStringList paths;
    AllPaths(paths);
    if (!ConfirmDeletingForGood(paths)) {
        return false;
    }
    // Row by row, so a failure leaves exactly the rows whose files are still there.
    while (RowCount() > 0) {
        const RecordingFiles::FileResult result = RecordingFiles::Discard(PathOfRow(0));
        if (!result.ok) {
            ReportFileError(result);
            return false;
        }
        RemoveRow(0);
    }
    return true;
}

void CRecordingsList::RenameWithDialog()
{
    const QString name = SelectedName();
    if (name.isEmpty()) {
        return;
    }
    CRenameDialog dialog(name, window());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QString text = dialog.NewName();
    if (!text.isEmpty()) {
        RenameSelected(RecordingNames::WithMp3Extension(text));
    }
}

void CRecordingsList::OpenFiles()
{
    DialogSeams::FileRequest request;
    request.mode = DialogSeams::FileRequest::Mode::OpenMany;
    request.caption = QString::fromLatin1(kOpenCaption);
    request.directory = DataFileStore::LoadFolder(QString::fromLatin1(DataFileStore::kOpenDirKey));
    request.filter = QString::fromLatin1(kMp3Filter);
    const QStringList paths = DialogSeams::RunFileDialog(window(), request);
    if (paths.isEmpty()) {
        return;
    }
    for (const QString& path : paths) {
        AddFile(path);
    }
    DataFileStore::SaveFolder(QString::fromLatin1(DataFileStore::kOpenDirKey),
                              RecordingNames::DirectoryPart(paths.last()));
}

void CRecordingsList::SaveSelectedAs()
{
    DialogSeams::FileRequest request;
    request.mode = DialogSeams::FileRequest::Mode::Save;
    request.caption = QString::fromLatin1(kSaveAsCaption);
    request.directory = DataFileStore::LoadFolder(QString::fromLatin1(DataFileStore::kOpenDirKey));
    request.filter = QString::fromLatin1(kMp3Filter);
    const QStringList chosen = DialogSeams::RunFileDialog(window(), request);
    if (chosen.isEmpty()) {
        return;
    }
    const QString target = RecordingRows::SaveAsPath(chosen.front());
    const QString source = SelectedPath();
    // The dialog only asked about the name as typed; a different file under the fixed name is
    // not replaced without asking.
    bool mayCopy = !source.isEmpty();
    if (mayCopy && target != chosen.front() && QFileInfo::exists(target)) {
        DialogSeams::MessageRequest question;
        question.text = QString::fromLatin1(kReplaceQuestion).arg(target);
        question.icon = QMessageBox::Warning;
        question.buttons = QMessageBox::Yes | QMessageBox::No;
        question.defaultButton = QMessageBox::No;
        mayCopy = DialogSeams::ShowMessage(window(), question) == QMessageBox::Yes;
    }
    if (mayCopy) {
        const RecordingFiles::FileResult result = RecordingFiles::CopyReplacing(source, target);
        if (!result.ok) {
            ReportFileError(result);
        }
    }
    DataFileStore::SaveFolder(QString::fromLatin1(DataFileStore::kOpenDirKey),
                              RecordingNames::DirectoryPart(chosen.front()));
}

void CRecordingsList::UpdateColumnWidths()
{
    const auto widths = RecordingRows::ColumnWidths(viewport()->width());
    for (int column = 0; column < RecordingRows::kColumnCount; ++column) {
        header()->resizeSection(column, std::max(widths[static_cast<std::size_t>(column)], 0));
    }
}

void CRecordingsList::resizeEvent(QResizeEvent* event)
{
    CDragDropListCtrl::resizeEvent(event);
    if (event->size().width() != event->oldSize().width()) {
        UpdateColumnWidths();
    }
}

bool CRecordingsList::RenameRow(int row, const QString& newName)
{
    if (newName.isEmpty()) {
        return false;
    }
    const RecordingFiles::FileResult result =
        RecordingFiles::RenameInFolder(Text(row, kFolderColumn), Text(row, kNameColumn), newName);
    if (!result.ok) {
        ReportFileError(result);
        return false;
    }
    return true;
}

void CRecordingsList::ReportFileError(const RecordingFiles::FileResult& result)
{
    DialogSeams::ShowMessage(window(), RecordingFiles::ErrorMessage(result), QMessageBox::Warning);
}

void CRecordingsList::NotifySelectedPath()
{
    emit selectedPathChanged(SelectedPath());
}

bool CRecordingsList::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        QTreeWidgetItem* item = itemAt(help->pos());
        const QString text = item ? RecordingRows::TagToolTip(PathOfRow(indexOfTopLevelItem(item))) : QString();
        if (text.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), text, viewport());
        }
        return true;
    }
    return CDragDropListCtrl::viewportEvent(event);
}
