#include "wave_editor/CutPlayDlg.h"

#include "app/DataFileStore.h"
#include "app/DialogSeams.h"
#include "app/RecordSettings.h"
#include "app/WidgetClassRegistry.h"
#include "audio/Mp3ToWavJob.h"
#include "audio/ProcessDialog.h"
#include "audio/WavToMp3Job.h"
#include "audio/WavePlayer.h"
#include "codec/RecordFormat.h"
#include "codec/WaveFile.h"
#include "controls/ControlId.h"
#include "platform/ReplacementFile.h"
#include "record/RecordingNames.h"
#include "wave_editor/WaveData.h"
#include "wave_editor/WaveEditCtrl.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

namespace
{
constexpr const char* kCaption = "Cut and play what you are interest";
constexpr const char* kOpenCaption = "Open";
constexpr const char* kSaveCaption = "Save selection as audio file";
constexpr const char* kAudioFilter = "MP3 File(*.MP3 *.mp3);;WAV File(*.WAV *.wav)";
constexpr const char* kDefaultSaveSuffix = "mp3";
constexpr const char* kBitrateLabel = "MP3 Bit  Rate";
constexpr const char* kMp3Extension = ".mp3";
constexpr const char* kWavExtension = ".wav";
constexpr int kExtensionLength = 4;

// 407 x 95 dialog units to begin with: the wave control over the whole width, the readout under
// it, the scroll bar and the toolbar in a row below. The user may make it larger; the wave
// control takes what is added.
constexpr int kDialogWidth = 610;
constexpr int kDialogHeight = 210;
constexpr int kMinimumWidth = 360;
constexpr int kMinimumHeight = 150;
constexpr int kBottomRowHeight = 30;
constexpr int kRowGap = 4;
constexpr int kButtonSize = 24;
constexpr int kIconSize = 18;
constexpr int kBitsPerByte = 8;
constexpr int kMillisecondsPerSecond = 1000;
constexpr int kMillisecondsPerMinute = 60 * kMillisecondsPerSecond;

// The playback loop looks at the player this often; the event loop runs in between.
constexpr int kPlayPollMs = 10;
// WAV selections are copied through a buffer of this size, never the whole range at once.
constexpr std::uint32_t kCopyChunkBytes = 256 * 1024;

struct CommandButton
{
    int commandId;
    int bitmapId;
    bool checkable;
};

constexpr CommandButton kButtons[] = {
    {CCutPlayDlg::kOpenCommand, 3121, false},          {CCutPlayDlg::kSaveSelectionCommand, 3122, false},
    {CCutPlayDlg::kPlaySelectionCommand, 3119, false}, {CCutPlayDlg::kStopCommand, 3120, false},
    {CCutPlayDlg::kRepeatCommand, 3125, true},         {CCutPlayDlg::kZoomInCommand, 3123, false},
    {CCutPlayDlg::kZoomOutCommand, 3124, false},
};

bool HasExtension(const QString& path, const char* extension)
{
    return path.right(kExtensionLength).compare(QLatin1String(extension), Qt::CaseInsensitive) == 0;
}

QString OpenErrorText(const QString& path)
{
    return QStringLiteral("Open File %1 Error").arg(path);
}

QString CannotOpenText(const QString& path)
{
    return QStringLiteral("Cannot open %1: it holds no sound Sorvane can read.").arg(path);
}

// "m:ss.mmm" of a frame.
QString FrameTime(std::int64_t frame, int sampleRate)
{
    const std::int64_t ms = sampleRate > 0 ? frame * kMillisecondsPerSecond / sampleRate : 0;
    return QStringLiteral("%1:%2.%3")
        .arg(ms / kMillisecondsPerMinute)
        .arg(ms % kMillisecondsPerMinute / kMillisecondsPerSecond, 2, 10, QLatin1Char('0'))
        .arg(ms % kMillisecondsPerSecond, 3, 10, QLatin1Char('0'));
}

// True when the store can show the file (a WAV of a sample layout it knows), without building
// its cache.
bool IsShowableWav(const QString& path)
{
    CWaveFile wave;
    return wave.Open(path, nullptr, CWaveFile::kModeRead) == CWaveFile::S_OK && wave.Format() != nullptr &&
           wave.Format()->channels * (wave.Format()->bitsPerSample / kBitsPerByte) > 0;
}

QString CreateErrorText(const QString& path)
{
    return QStringLiteral("Create File %1 Error").arg(path);
}

bool IsInsideFolder(const QString& path, const QString& folderPath)
{
    const QString folder = QDir::cleanPath(folderPath) + QLatin1Char('/');
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath()).startsWith(folder);
}

bool RemoveIfExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo::exists(path) && QFile::remove(path);
}
} // namespace

CCutPlayDlg::CCutPlayDlg(QWidget* parent)
    : QDialog(parent)
{
    ControlId::Set(this, kTemplateId);
    setWindowTitle(QString::fromLatin1(kCaption));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setSizeGripEnabled(true);
    CreateControls();
    resize(kDialogWidth, kDialogHeight);
    // The controls get their places now, not only once the dialog shows: a file may be
    // loaded and measured before that.
    layout()->activate();
    // The store is the program's one: a file an earlier dialog showed is not this one's.
    if (m_waveEdit->Data().IsLoaded()) {
        m_waveEdit->LoadFile(QString());
    }
}

CCutPlayDlg::~CCutPlayDlg()
{
    FinishPlayback();
    DeleteTemporaryWorkingFile();
}

void CCutPlayDlg::CreateControls()
{
    QWidget* created =
        CWidgetClassRegistry::Instance().Create(QString::fromLatin1(CWidgetClassRegistry::kWaveEditClass), this);
    m_waveEdit = qobject_cast<CWaveEditCtrl*>(created);
    if (m_waveEdit == nullptr) {
        // The class is not bound to its factory (or to another widget): build the control here.
        std::unique_ptr<QWidget> unusable(created);
        m_waveEdit = new CWaveEditCtrl(this);
    }
    ControlId::Set(m_waveEdit, kWaveEditId);
    m_waveEdit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(m_waveEdit, &CWaveEditCtrl::selectionChanged, this, &CCutPlayDlg::UpdateReadout);

    m_readout = new QLabel(this);
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_toolBar = new QToolBar(this);
    ControlId::Set(m_toolBar, kToolbarFrameId);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(kIconSize, kIconSize));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const CommandButton& button : kButtons) {
        AddCommand(button.commandId, button.bitmapId, button.checkable);
    }
    m_toolBar->setFixedHeight(kBottomRowHeight);

    m_scrollBar = new QScrollBar(Qt::Horizontal, this);
    ControlId::Set(m_scrollBar, kScrollBarId);
    m_scrollBar->setRange(0, 0);
    // Every kind of move (arrows, page, thumb drag) arrives here as the new position.
    connect(m_scrollBar, &QScrollBar::valueChanged, this, [this](int position) { m_waveEdit->SetScroll(position); });

    auto* bottomRow = new QHBoxLayout;
    bottomRow->setSpacing(kRowGap);
    bottomRow->addWidget(m_scrollBar, 1, Qt::AlignVCenter);
    bottomRow->addWidget(m_toolBar, 0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kRowGap);
    layout->addWidget(m_waveEdit, 1);
    layout->addWidget(m_readout, 0);
    layout->addLayout(bottomRow, 0);

    m_playTimer = new QTimer(this);
    m_playTimer->setInterval(kPlayPollMs);
    connect(m_playTimer, &QTimer::timeout, this, &CCutPlayDlg::OnPlayTick);
}

void CCutPlayDlg::AddCommand(int commandId, int bitmapId, bool checkable)
{
    auto* action = new QAction(QIcon(QStringLiteral(":/bitmap/%1.png").arg(bitmapId)), TooltipText(commandId), this);
    action->setToolTip(TooltipText(commandId));
    action->setData(commandId);
    action->setCheckable(checkable);
    action->setChecked(checkable && m_repeat);
    connect(action, &QAction::triggered, this, [this, commandId] { OnCommand(commandId); });
    m_toolBar->addAction(action);
    if (QWidget* button = m_toolBar->widgetForAction(action)) {
        button->setFixedSize(kButtonSize, kButtonSize);
    }
}

QAction* CCutPlayDlg::CommandAction(int commandId) const
{
    for (QAction* action : m_toolBar->actions()) {
        if (action->data().toInt() == commandId) {
            return action;
        }
    }
    return nullptr;
}

QString CCutPlayDlg::TooltipText(int commandId)
{
    switch (commandId) {
    case kOpenCommand:
        return QStringLiteral("Open audio file");
    case kSaveSelectionCommand:
        return QStringLiteral("Save selection as audio file ");
    case kPlaySelectionCommand:
        return QStringLiteral("Play selection");
    case kStopCommand:
        return QStringLiteral("Stop play selection");
    case kRepeatCommand:
        return QStringLiteral("Repeat play selection");
    case kZoomInCommand:
        return QStringLiteral("Zoom In");
    case kZoomOutCommand:
        return QStringLiteral("Zoom Out");
    default:
        return {};
    }
}

void CCutPlayDlg::OnCommand(int commandId)
{
    switch (commandId) {
    case kOpenCommand:
        OpenAudioFile();
        break;
    case kSaveSelectionCommand:
        SaveSelection();
        break;
    case kPlaySelectionCommand:
        PlaySelection();
        break;
    case kStopCommand:
        m_stopRequest = true;
        FinishPlayback();
        m_waveEdit->update();
        break;
    case kRepeatCommand:
        m_repeat = !m_repeat;
        if (QAction* repeat = CommandAction(kRepeatCommand)) {
            repeat->setChecked(m_repeat);
        }
        break;
    case kZoomInCommand:
        m_waveEdit->ZoomIn();
        UpdateScrollBar();
        break;
    case kZoomOutCommand:
        m_waveEdit->ZoomOut();
        UpdateScrollBar();
        break;
    default:
        break;
    }
}

void CCutPlayDlg::Run(QWidget* parent, const QString& selectedFile)
{
    CCutPlayDlg dialog(parent);
    if (!selectedFile.isEmpty()) {
        // A WAV needs no decoding: it is shown in place, as Open would.
        if (HasExtension(selectedFile, kWavExtension)) {
            if (IsShowableWav(selectedFile)) {
                dialog.ReplaceWorkingFile(selectedFile, false);
            } else {
                dialog.ReportCannotOpen(selectedFile);
            }
        } else {
            dialog.Decode(selectedFile);
        }
    }
    if (dialog.HasWorkingFile()) {
        dialog.ShowWorkingFile();
    }
    dialog.exec();
}

bool CCutPlayDlg::Decode(const QString& mp3Path)
{
    FinishPlayback();
    if (!m_decodeFolder) {
        m_decodeFolder = std::make_unique<QTemporaryDir>();
    }
    if (!m_decodeFolder->isValid()) {
        DialogSeams::ShowMessage(this, CreateErrorText(QDir::tempPath()), QMessageBox::Warning);
        m_decodeFolder.reset();
        return false;
    }
    const QString temporaryFolder = m_decodeFolder->path();
    const QString decoded = CMp3ToWavJob::OutputPathFor(temporaryFolder, mp3Path);
    CMp3ToWavJob job;
    job.SetFiles({mp3Path});
    job.SetOutputFolder(temporaryFolder);
    // The decoded copy in the temporary folder is the program's own working file.
    job.SetReplaceExisting(true);
    CProcessDialog progress(CProcessDialog::kDecodeMp3Template, job, this);
    if (progress.exec() != QDialog::Accepted) {
        // A cancelled decode leaves half a file that nothing will ever show.
        if (decoded != m_workingFile) {
            RemoveIfExists(decoded);
        }
        return false;
    }
    if (!QFileInfo::exists(decoded)) {
        // Said once: the decoder may have told the user already why.
        if (progress.MessagesShown() == 0) {
            ReportCannotOpen(mp3Path);
        }
        return false;
    }
    ReplaceWorkingFile(decoded, true);
    return true;
}

bool CCutPlayDlg::IsPlaying() const
{
    return m_playTimer->isActive();
}

bool CCutPlayDlg::HasWorkingFile() const
{
    return !m_workingFile.isEmpty() && QFileInfo::exists(m_workingFile);
}

void CCutPlayDlg::ReplaceWorkingFile(const QString& path, bool temporary)
{
    // Decoding the same MP3 again rewrites the same file, which must then stay.
    if (path != m_workingFile) {
        DeleteTemporaryWorkingFile();
    }
    m_workingFile = path;
    m_workingFileIsTemporary = temporary;
}

void CCutPlayDlg::DeleteTemporaryWorkingFile()
{
    if (!m_workingFileIsTemporary || !m_decodeFolder || !IsInsideFolder(m_workingFile, m_decodeFolder->path())) {
        return;
    }
    RemoveIfExists(m_workingFile);
    RemoveIfExists(WorkingCacheFile());
    m_workingFileIsTemporary = false;
}

QString CCutPlayDlg::WorkingCacheFile() const
{
    // The store may have had to keep the cache elsewhere than beside the file.
    const CWaveData& store = m_waveEdit->Data();
    if (store.FileName() == m_workingFile && !store.CacheFile().isEmpty()) {
        return store.CacheFile();
    }
    return CWaveData::CacheFileFor(m_workingFile);
}

bool CCutPlayDlg::ShowWorkingFile()
{
    m_waveEdit->setEnabled(true);
    const bool shown = m_waveEdit->LoadFile(m_workingFile);
    UpdateScrollBar();
    UpdateReadout();
    update();
    if (!shown) {
        ReportCannotOpen(m_workingFile);
    }
    return shown;
}

void CCutPlayDlg::ReportCannotOpen(const QString& path)
{
    DialogSeams::ShowMessage(this, CannotOpenText(path), QMessageBox::Warning);
}

QString CCutPlayDlg::ReadoutText(const CWaveData& data)
{
    if (!data.IsLoaded()) {
        return {};
    }
    const int rate = data.SampleRate();
    if (!data.HasSelection()) {
        return QStringLiteral("Caret %1").arg(FrameTime(data.CursorFrame(), rate));
    }
    const std::int64_t first = std::min(data.CursorFrame(), data.AnchorFrame());
    const std::int64_t last = std::max(data.CursorFrame(), data.AnchorFrame());
    return QStringLiteral("Start %1    End %2    Length %3")
        .arg(FrameTime(first, rate), FrameTime(last, rate), FrameTime(last - first, rate));
}

void CCutPlayDlg::UpdateReadout()
{
    m_readout->setText(ReadoutText(m_waveEdit->Data()));
}

void CCutPlayDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // The wave control follows through the layout; the scroll bar's page follows its width.
    UpdateScrollBar();
}

void CCutPlayDlg::UpdateScrollBar()
{
    int extent = 0;
    if (m_waveEdit->Data().IsLoaded() && m_waveEdit->FrameSize() > 0) {
        extent = m_waveEdit->ScrollExtent();
    }
    const int pageWidth = m_scrollBar->width();
    // The range is 0 .. width + extent with a page of one width; Qt counts its maximum as the
    // last position the page can start at, which is that range's end less the page, plus one.
    // The view stays where it is (a zoom has placed it on the selection; a new file starts at 0).
    const int position = std::clamp(m_waveEdit->Data().IsLoaded() ? m_waveEdit->Data().Scroll() : 0, 0, extent + 1);
    const QSignalBlocker blocker(m_scrollBar);
    m_scrollBar->setRange(0, extent + 1);
    m_scrollBar->setPageStep(pageWidth);
    m_scrollBar->setSingleStep(1);
    m_scrollBar->setValue(position);
    m_waveEdit->SetScroll(position);
}

CCutPlayDlg::PlayRange CCutPlayDlg::SelectedRange() const
{
    const CWaveData::ByteRange selection = m_waveEdit->SelectionBytes();
    const std::int64_t dataLength = m_waveEdit->DataLength();
    if (selection.start < 0) {
        return {0, dataLength};
    }
    if (selection.start == selection.end) {
        return {selection.start, dataLength};
    }
    return {selection.start, selection.end};
}

// --- open and save

void CCutPlayDlg::OpenAudioFile()
{
    DialogSeams::FileRequest request;
    request.mode = DialogSeams::FileRequest::Mode::OpenOne;
    request.caption = QString::fromLatin1(kOpenCaption);
    request.directory = DataFileStore::LoadFolder(QString::fromLatin1(DataFileStore::kOpenDirKey));
    request.filter = QString::fromLatin1(kAudioFilter);
    const QStringList chosen = DialogSeams::RunFileDialog(this, request);
    if (chosen.isEmpty() || chosen.front().isEmpty()) {
        return;
    }
    const QString path = chosen.front();
    if (HasExtension(path, kMp3Extension)) {
        if (!Decode(path)) {
            return;
        }
    } else if (HasExtension(path, kWavExtension)) {
        if (!IsShowableWav(path)) {
            // The file shown stays.
            ReportCannotOpen(path);
            return;
        }
        FinishPlayback();
        ReplaceWorkingFile(path, false);
    } else {
        // Neither kind: the file shown stays, and so does the caption naming it.
        return;
    }
    ShowWorkingFile();
    setWindowTitle(path);
}

void CCutPlayDlg::SaveSelection()
{
    if (!HasWorkingFile()) {
        return;
    }
    const PlayRange range = SelectedRange();

    int bitrateIndex = CRecordSettings::Instance().BitrateIndex();
    if (bitrateIndex < 0 || bitrateIndex >= int(BitrateTable.size())) {
        bitrateIndex = CRecordSettings::kDefaultBitrateIndex;
    }
    QStringList bitrates;
    for (const int kbps : BitrateTable) {
        bitrates << QStringLiteral("%1 kbps").arg(kbps);
    }
    DialogSeams::FileRequest request;
    request.mode = DialogSeams::FileRequest::Mode::Save;
    request.caption = QString::fromLatin1(kSaveCaption);
    request.directory = DataFileStore::LoadFolder(QString::fromLatin1(DataFileStore::kSelectionSaveDirKey));
    request.filter = QString::fromLatin1(kAudioFilter);
    request.defaultSuffix = QString::fromLatin1(kDefaultSaveSuffix);
    request.choiceLabel = QString::fromLatin1(kBitrateLabel);
    request.choices = bitrates;
    request.choiceIndex = &bitrateIndex;
    const QStringList chosen = DialogSeams::RunFileDialog(this, request);
    if (chosen.isEmpty() || chosen.front().isEmpty()) {
        return;
    }
    const QString path = chosen.front();
    DataFileStore::SaveFolder(QString::fromLatin1(DataFileStore::kSelectionSaveDirKey),
                              RecordingNames::DirectoryPart(path));

    // A caret on the last frame leaves nothing to save; the encoder would read equal offsets
    // as the whole file.
    if (range.end <= range.start) {
        return;
    }
    if (HasExtension(path, kMp3Extension)) {
        bitrateIndex = std::clamp(bitrateIndex, 0, int(BitrateTable.size()) - 1);
        SaveSelectionAsMp3(path, range, BitrateTable.at(std::size_t(bitrateIndex)));
    } else if (HasExtension(path, kWavExtension)) {
        SaveSelectionAsWav(path, range);
    }
}

bool CCutPlayDlg::SaveSelectionAsMp3(const QString& path, const PlayRange& range, int bitrateKbps)
{
    CWavToMp3Job job;
    job.SetFiles({m_workingFile});
    job.SetRange(std::uint32_t(range.start), std::uint32_t(range.end));
    job.SetBitrate(bitrateKbps);
    job.SetOutputPath(path);
    // The save dialog asked before it returned an existing file.
    job.SetReplaceExisting(true);
    CProcessDialog progress(CProcessDialog::kEncodeMp3Template, job, this);
    return progress.exec() == QDialog::Accepted && job.Failures().isEmpty();
}

bool CCutPlayDlg::SaveSelectionAsWav(const QString& path, const PlayRange& range)
{
    CWaveFile source;
    if (source.Open(m_workingFile, nullptr, CWaveFile::kModeRead) != CWaveFile::S_OK || source.Format() == nullptr) {
        DialogSeams::ShowMessage(this, OpenErrorText(m_workingFile), QMessageBox::Warning);
        return false;
    }
    // The copy goes into a file of its own beside the destination and is renamed over it only
    // when complete, so a failure half-way leaves the destination as it was.
    CReplacementFile partial(path);
    if (!partial.Create()) {
        DialogSeams::ShowMessage(this, OpenErrorText(path), QMessageBox::Warning);
        return false;
    }
    CWaveFile destination;
    if (destination.Open(partial.TemporaryPath(), source.Format(), CWaveFile::kModeWrite) != CWaveFile::S_OK) {
        DialogSeams::ShowMessage(this, OpenErrorText(path), QMessageBox::Warning);
        return false;
    }

    std::uint32_t skipped = 0;
    if (source.Read(nullptr, std::uint32_t(range.start), &skipped) != CWaveFile::S_OK) {
        DialogSeams::ShowMessage(this, OpenErrorText(m_workingFile), QMessageBox::Warning);
        return false;
    }
    std::vector<std::uint8_t> buffer(kCopyChunkBytes);
    std::int64_t remaining = std::max<std::int64_t>(0, range.end - range.start);
    while (remaining > 0) {
        const auto wanted = std::uint32_t(std::min<std::int64_t>(remaining, kCopyChunkBytes));
        std::uint32_t bytesRead = 0;
        if (source.Read(buffer.data(), wanted, &bytesRead) != CWaveFile::S_OK) {
            DialogSeams::ShowMessage(this, OpenErrorText(m_workingFile), QMessageBox::Warning);
            return false;
        }
        if (bytesRead == 0) {
            break; // the data ends before the selection does: keep what there is
        }
        std::uint32_t bytesWritten = 0;
        if (destination.Write(bytesRead, buffer.data(), &bytesWritten) != CWaveFile::S_OK ||
            bytesWritten != bytesRead) {
            DialogSeams::ShowMessage(this, CreateErrorText(path), QMessageBox::Warning);
            return false;
        }
        remaining -= bytesRead;
    }
    source.Close();

    // A file it replaces keeps its permissions.
    const bool permissionsKept =
        !QFileInfo::exists(path) || QFile::setPermissions(partial.TemporaryPath(), QFile::permissions(path));
    if (destination.Close() != CWaveFile::S_OK || !permissionsKept || !partial.Commit()) {
        DialogSeams::ShowMessage(this, CreateErrorText(path), QMessageBox::Warning);
        return false;
    }
    return true;
}

// --- playback

void CCutPlayDlg::PlaySelection()
{
    if (!HasWorkingFile() || IsPlaying()) {
        return;
    }
    if (QAction* play = CommandAction(kPlaySelectionCommand)) {
        play->setEnabled(false);
    }
    m_waveEdit->update();
    m_waveEdit->setEnabled(false);
    m_playRange = SelectedRange();
    m_stopRequest = false;
    if (!StartPlayer()) {
        FinishPlayback();
        return;
    }
    m_playTimer->start();
}

bool CCutPlayDlg::StartPlayer()
{
    if (m_player) {
        m_player->Stop();
    }
    m_player = std::make_unique<CWavePlayer>();
    return m_player->Open(m_workingFile, std::uint32_t(m_playRange.start), std::uint32_t(m_playRange.end));
}

void CCutPlayDlg::OnPlayTick()
{
    if (m_stopRequest || !m_player) {
        FinishPlayback();
        return;
    }
    // The player starts from the beginning when the start lies beyond the data.
    const std::int64_t position = std::int64_t(m_player->StartOffset()) + m_player->GetPosition();
    const int frameSize = m_waveEdit->FrameSize();
    if (frameSize > 0) {
        m_waveEdit->ShowPlayCursor(position / frameSize);
    }
    // The player goes on with silence after the data; the end of the range is ours to see.
    if (position >= m_playRange.end) {
        m_player->Stop();
    }
    if (m_player->IsPlaying()) {
        return;
    }
    // A player that cannot start again (the output went away) ends the loop rather than
    // retrying for ever.
    if (!m_repeat || !StartPlayer()) {
        FinishPlayback();
    }
}

void CCutPlayDlg::FinishPlayback()
{
    m_stopRequest = true;
    if (m_playTimer != nullptr) {
        m_playTimer->stop();
    }
    if (m_player) {
        m_player->Stop();
        m_player.reset();
    }
    if (m_waveEdit != nullptr) {
        m_waveEdit->ShowPlayCursor(-1);
        m_waveEdit->setEnabled(true);
        m_waveEdit->update();
    }
    if (QAction* play = m_toolBar != nullptr ? CommandAction(kPlaySelectionCommand) : nullptr) {
        play->setEnabled(true);
    }
}

// --- closing

void CCutPlayDlg::EndSession()
{
    FinishPlayback();
    if (!m_workingFile.isEmpty()) {
        RemoveIfExists(WorkingCacheFile());
    }
}

void CCutPlayDlg::closeEvent(QCloseEvent* event)
{
    EndSession();
    QDialog::closeEvent(event);
}

void CCutPlayDlg::done(int result)
{
    EndSession();
    QDialog::done(result);
}
