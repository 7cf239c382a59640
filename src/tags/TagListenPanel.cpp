#include "tags/TagListenPanel.h"

#include "app/DataFileStore.h"
#include "app/DialogSeams.h"
#include "app/ElapsedTimeLabel.h"
#include "app/RecordSettings.h"
#include "controls/ControlId.h"
#include "controls/DialogSkinning.h"
#include "controls/SkinButton.h"
#include "controls/SkinSlider.h"
#include "platform/AppEvent.h"
#include "platform/FileLock.h"
#include "platform/audio/AudioBackend.h"
#include "platform/audio/PlaybackVolume.h"
#include "tags/ClipPlayer.h"
#include "tags/GenreTable.h"
#include "tags/Mp3TagFile.h"
#include "tags/TagText.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <climits>

namespace
{
constexpr int kMillisecondsPerSecond = 1000;
constexpr int kSecondsPerMinute = 60;
constexpr int kNoGenreEntry = 0;
// The track as players take it: a whole number, empty for none.
constexpr const char* kTrackPattern = "\\d{0,5}";
// The Data folder file ("ListenVolume.dat") that keeps the playback volume between runs: its
// level as decimal text and a terminating zero byte, like the folder files beside it.
constexpr const char* kListenVolumeKey = "ListenVolume";

// Geometry (the panel's own; the main window moves it onto its placeholder frame).
constexpr int kPanelWidth = 704;
constexpr int kPanelHeight = 156;
constexpr int kGroupGap = 8;
constexpr int kGroupTop = 18;
constexpr int kInset = 8;
constexpr int kLabelWidth = 60;
constexpr int kRowHeight = 22;
constexpr int kRowPitch = 26;
constexpr int kMinimumGenreListWidth = 80;
// Year and track share the rows of artist and album, at the right.
constexpr int kShortCaptionWidth = 36;
constexpr int kYearEditWidth = 52;
constexpr int kTrackEditWidth = 52;
constexpr int kInformationRows = 5;
constexpr int kButtonGap = 4;
constexpr int kTimeTextWidth = 140;
constexpr int kTimeTextHeight = 28;
constexpr int kSliderThickness = 24;
constexpr int kVolumeSliderWidth = 26;
// The size a skinned button takes when its pictures are missing, so it can still be clicked.
constexpr int kFallbackButtonSize = 28;

// Skin pictures (up, down) of the seven buttons.
constexpr int kStopUp = 143, kStopDown = 156;
constexpr int kEndUp = 145, kEndDown = 144;
constexpr int kPauseUp = 147, kPauseDown = 146;
constexpr int kPlayUp = 149, kPlayDown = 148;
constexpr int kStartUp = 151, kStartDown = 150;
constexpr int kRemoveUp = 159, kRemoveDown = 158;
constexpr int kSaveUp = 157, kSaveDown = 160;

QString FormatTime(std::int64_t positionMs, std::int64_t lengthMs)
{
    const std::int64_t lengthSeconds = lengthMs / kMillisecondsPerSecond;
    const std::int64_t positionSeconds = std::min(positionMs / kMillisecondsPerSecond, lengthSeconds);
    return QString::asprintf("%02d:%02d / %02d:%02d", int(positionSeconds / kSecondsPerMinute),
                             int(positionSeconds % kSecondsPerMinute), int(lengthSeconds / kSecondsPerMinute),
                             int(lengthSeconds % kSecondsPerMinute));
}
} // namespace

CTagListenPanel::CTagListenPanel(QWidget* parent)
    : QWidget(parent)
{
    ControlId::Set(this, kDialogId);
    resize(kPanelWidth, kPanelHeight);
    CreateControls();
    SkinDialogControls(this);

    m_handlers = {
        {kPlayButtonId, [this] { Play(); }},    {kPauseButtonId, [this] { TogglePause(); }},
        {kStopButtonId, [this] { Stop(); }},    {kStartButtonId, [this] { SeekStart(); }},
        {kEndButtonId, [this] { SeekEnd(); }},  {kRemoveButtonId, [this] { RemoveTag(); }},
        {kSaveButtonId, [this] { SaveTag(); }},
    };
    for (const auto& [id, handler] : m_handlers) {
        auto* button = ControlId::Find<CSkinButton>(this, id);
        connect(button, &CSkinButton::clicked, this, [this, id = id] { OnCommand(id); });
    }
    connect(m_positionSlider, &QAbstractSlider::actionTriggered, this, &CTagListenPanel::OnPositionSliderAction);
    connect(m_positionSlider, &QAbstractSlider::sliderReleased, this,
            [this] { CAppEvent::Post(this, AppEventType::kListenSeek, 0, m_positionSlider->sliderPosition()); });
    connect(m_volumeSlider, &QAbstractSlider::valueChanged, this, &CTagListenPanel::OnVolumeSliderMoved);
    connect(m_volumeSlider, &QAbstractSlider::sliderReleased, this, &CTagListenPanel::RememberVolume);

    m_genreList->addItem(QString());
    for (const char* name : GenreTable::kGenreNames) {
        m_genreList->addItem(QString::fromLatin1(name));
    }
    RestoreRememberedVolume();
    BindVolumeSlider();
    UpdateControlsFromMembers();
    m_pauseButton->setEnabled(false);
}

void CTagListenPanel::RestoreRememberedVolume()
{
    const std::optional<QByteArray> stored = DataFileStore::LoadDataFile(QLatin1String(kListenVolumeKey));
    if (!stored) {
        return;
    }
    bool valid = false;
    const int level = QByteArray(stored->constData()).toInt(&valid); // up to the zero byte
    if (valid) {
        PlaybackVolume::SetLevel(level);
    }
}

void CTagListenPanel::RememberVolume()
{
    QByteArray payload = QByteArray::number(PlaybackVolume::Level());
    payload.append('\0');
    DataFileStore::SaveDataFile(QLatin1String(kListenVolumeKey), payload);
}

CTagListenPanel::~CTagListenPanel() = default;

QSize CTagListenPanel::sizeHint() const
{
    return {kPanelWidth, kPanelHeight};
}

CSkinButton* CTagListenPanel::CreateButton(QWidget* parent, int id, const char* text, int upImage, int downImage)
{
    auto* button = new CSkinButton(parent);
    ControlId::Set(button, id);
    button->setText(QString::fromLatin1(text));
    if (!button->LoadSkin(upImage, downImage)) {
        button->resize(kFallbackButtonSize, kFallbackButtonSize);
    }
    return button;
}

void CTagListenPanel::CreateControls()
{
    m_informationBox = new QGroupBox(QStringLiteral("Information"), this);
    m_listenBox = new QGroupBox(QStringLiteral("Listen"), this);

    const auto makeEdit = [this](int id, const char* label) {
        auto* caption = new QLabel(QString::fromLatin1(label), m_informationBox);
        caption->setObjectName(QString::fromLatin1(label));
        auto* edit = new QLineEdit(m_informationBox);
        ControlId::Set(edit, id);
        return edit;
    };
    m_titleEdit = makeEdit(kTitleEditId, "Title");
    m_artistEdit = makeEdit(kArtistEditId, "Artist");
    m_albumEdit = makeEdit(kAlbumEditId, "Album");
    m_yearEdit = makeEdit(kYearEditId, "Year");
    m_trackEdit = makeEdit(kTrackEditId, "Track");
    m_trackEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QLatin1String(kTrackPattern)), m_trackEdit));
    m_commentEdit = makeEdit(kCommentEditId, "Comment");
    auto* genreCaption = new QLabel(QStringLiteral("Genre"), m_informationBox);
    genreCaption->setObjectName(QStringLiteral("Genre"));
    m_genreList = new QComboBox(m_informationBox);
    ControlId::Set(m_genreList, kGenreListId);
    m_genreList->setMaxVisibleItems(20);
    m_removeButton = CreateButton(m_informationBox, kRemoveButtonId, "Remove (Permanent)", kRemoveUp, kRemoveDown);
    m_saveButton = CreateButton(m_informationBox, kSaveButtonId, "Save", kSaveUp, kSaveDown);

    m_playButton = CreateButton(m_listenBox, kPlayButtonId, "Play", kPlayUp, kPlayDown);
    m_pauseButton = CreateButton(m_listenBox, kPauseButtonId, "Pause", kPauseUp, kPauseDown);
    m_stopButton = CreateButton(m_listenBox, kStopButtonId, "Stop", kStopUp, kStopDown);
    m_startButton = CreateButton(m_listenBox, kStartButtonId, "Start", kStartUp, kStartDown);
    m_endButton = CreateButton(m_listenBox, kEndButtonId, "End", kEndUp, kEndDown);
    m_playButton->SetToggleMode(true);
    m_pauseButton->SetToggleMode(true);

    m_positionSlider = new CSkinSlider(Qt::Horizontal, m_listenBox);
    ControlId::Set(m_positionSlider, kPositionSliderId);
    m_positionSlider->SetFillMode(false);
    m_positionSlider->setRange(0, 0);

    m_timeLabel = new CElapsedTimeLabel(m_listenBox, false);
    ControlId::Set(m_timeLabel, kTimeTextId);
    m_timeLabel->SetText(QLatin1String(kInitialTimeText));

    m_volumeSlider = new CSkinSlider(Qt::Vertical, m_listenBox);
    ControlId::Set(m_volumeSlider, kVolumeSliderId);
    // Minimum at the top, as the slider shows maximum - volume: the top is loudest.
    m_volumeSlider->setInvertedAppearance(true);
}

void CTagListenPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayOutControls();
}

void CTagListenPanel::LayOutControls()
{
    const int half = (width() - kGroupGap) / 2;
    m_informationBox->setGeometry(0, 0, half, height());
    m_listenBox->setGeometry(half + kGroupGap, 0, width() - half - kGroupGap, height());

    // Rows and captions grow with a larger desktop font instead of cutting its letters.
    const auto captions = m_informationBox->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    int labelWidth = kLabelWidth;
    for (const QLabel* caption : captions) {
        labelWidth = std::max(labelWidth, caption->sizeHint().width());
    }
    // Never more than the rows the panel has room for: the text still fits then, the boxes
    // just have a thinner margin.
    const int rowGap = kRowPitch - kRowHeight;
    const int roomyPitch = std::max(kRowPitch, (height() - kGroupTop - kInset) / kInformationRows);
    const int rowPitch = std::clamp(m_titleEdit->sizeHint().height() + rowGap, kRowPitch, roomyPitch);
    const int rowHeight = rowPitch - rowGap;
    const int editLeft = kInset + labelWidth;
    const int editWidth = std::max(0, half - editLeft - kInset);
    const auto rowTop = [rowPitch](int row) { return kGroupTop + row * rowPitch; };
    const auto place = [this, rowHeight](const char* caption, QWidget* field, int top, int captionLeft,
                                         int captionWidth, int fieldWidth) {
        if (auto* label = m_informationBox->findChild<QLabel*>(QLatin1String(caption))) {
            label->setGeometry(captionLeft, top, captionWidth, rowHeight);
        }
        field->setGeometry(captionLeft + captionWidth, top, std::max(0, fieldWidth), rowHeight);
    };
    // Title; artist and year; album and track; comment; genre with the two buttons.
    int shortCaptionWidth = kShortCaptionWidth;
    for (const char* caption : {"Year", "Track"}) {
        if (const auto* label = m_informationBox->findChild<QLabel*>(QLatin1String(caption))) {
            shortCaptionWidth = std::max(shortCaptionWidth, label->sizeHint().width());
        }
    }
    const int shortFieldsWidth = shortCaptionWidth + std::max(kYearEditWidth, kTrackEditWidth) + kButtonGap;
    const int shortLeft = half - kInset - shortFieldsWidth + kButtonGap;
    place("Title", m_titleEdit, rowTop(0), kInset, labelWidth, editWidth);
    place("Artist", m_artistEdit, rowTop(1), kInset, labelWidth, editWidth - shortFieldsWidth);
    place("Year", m_yearEdit, rowTop(1), shortLeft, shortCaptionWidth, kYearEditWidth);
    place("Album", m_albumEdit, rowTop(2), kInset, labelWidth, editWidth - shortFieldsWidth);
    place("Track", m_trackEdit, rowTop(2), shortLeft, shortCaptionWidth, kTrackEditWidth);
    place("Comment", m_commentEdit, rowTop(3), kInset, labelWidth, editWidth);
    // The genre list takes what the two buttons beside it leave.
    const int genreTop = rowTop(kInformationRows - 1);
    const int buttonsWidth = m_removeButton->width() + kButtonGap + m_saveButton->width();
    const int genreWidth = std::max(kMinimumGenreListWidth, half - editLeft - kInset - buttonsWidth - kButtonGap);
    place("Genre", m_genreList, genreTop, kInset, labelWidth, genreWidth);
    int x = editLeft + genreWidth + kButtonGap;
    for (CSkinButton* button : {m_removeButton, m_saveButton}) {
        button->move(x, genreTop + (rowHeight - button->height()) / 2);
        x += button->width() + kButtonGap;
    }

    // Listen: the buttons, the position slider under them and the time text under that; the
    // volume slider stands at the right edge.
    const int listenWidth = m_listenBox->width();
    const int volumeLeft = listenWidth - kInset - kVolumeSliderWidth;
    m_volumeSlider->setGeometry(volumeLeft, kGroupTop - kButtonGap, kVolumeSliderWidth,
                                std::max(0, m_listenBox->height() - kGroupTop - kInset + kButtonGap));
    x = kInset;
    int buttonsBottom = kGroupTop;
    for (CSkinButton* button : {m_playButton, m_pauseButton, m_stopButton, m_startButton, m_endButton}) {
        button->move(x, kGroupTop);
        x += button->width() + kButtonGap;
        buttonsBottom = std::max(buttonsBottom, kGroupTop + button->height());
    }
    const int trackWidth = std::max(0, volumeLeft - 2 * kInset);
    m_positionSlider->setGeometry(kInset, buttonsBottom + kButtonGap, trackWidth, kSliderThickness);
    m_timeLabel->setGeometry(kInset + std::max(0, (trackWidth - kTimeTextWidth) / 2),
                             m_positionSlider->geometry().bottom() + 1, kTimeTextWidth, kTimeTextHeight);
}

void CTagListenPanel::BindVolumeSlider()
{
    OutputVolume volume;
    const auto mixer = AudioBackend::Current()->CreateRecordMixer();
    m_volumeBound = mixer && mixer->ReadOutputVolume(volume);
    if (m_volumeBound) {
        m_volumeMinimum = volume.minimum;
        m_volumeMaximum = volume.maximum;
    }
    m_fillingVolume = true;
    m_volumeSlider->setRange(m_volumeMinimum, m_volumeMaximum);
    m_fillingVolume = false;
    m_volumeSlider->setEnabled(m_volumeBound);
}

void CTagListenPanel::UpdateMembersFromControls()
{
    m_title = m_titleEdit->text();
    m_artist = m_artistEdit->text();
    m_album = m_albumEdit->text();
    m_year = m_yearEdit->text();
    m_track = m_trackEdit->text();
    m_comment = m_commentEdit->text();
    m_genreSelection = m_genreList->currentIndex();
    // The speakers volume is written only when the user moves its slider, so a volume changed
    // in the desktop's own mixer is never put back behind the user's back.
}

void CTagListenPanel::UpdateControlsFromMembers()
{
    m_titleEdit->setText(m_title);
    m_artistEdit->setText(m_artist);
    m_albumEdit->setText(m_album);
    m_yearEdit->setText(m_year);
    m_trackEdit->setText(m_track);
    m_commentEdit->setText(m_comment);
    m_genreList->setCurrentIndex(m_genreSelection);
    RefreshVolumeSlider();
}

void CTagListenPanel::RefreshVolumeSlider()
{
    if (!m_volumeBound) {
        // Bound late when nothing could be read before.
        BindVolumeSlider();
    }
    OutputVolume volume;
    const auto mixer = AudioBackend::Current()->CreateRecordMixer();
    if (m_volumeBound && mixer && mixer->ReadOutputVolume(volume)) {
        m_fillingVolume = true;
        m_volumeSlider->setValue(m_volumeMaximum - volume.level);
        m_fillingVolume = false;
    }
}

bool CTagListenPanel::OnCommand(int commandId)
{
    const auto handler = m_handlers.find(commandId);
    if (handler == m_handlers.end()) {
        return false;
    }
    handler->second();
    return true;
}

bool CTagListenPanel::event(QEvent* event)
{
    switch (static_cast<int>(event->type())) {
    case AppEventType::kCommand:
        OnCommand(int(static_cast<CAppEvent*>(event)->WParam()));
        return true;
    case AppEventType::kClipMode: {
        const auto* report = static_cast<CAppEvent*>(event);
        OnModeNotify(report->WParam(), int(report->LParam()));
        return true;
    }
    case AppEventType::kClipPosition: {
        const auto* report = static_cast<CAppEvent*>(event);
        OnPositionNotify(report->WParam(), report->LParam());
        return true;
    }
    case AppEventType::kListenSeek:
        OnListenSeek(static_cast<CAppEvent*>(event)->LParam());
        return true;
    default:
        return QWidget::event(event);
    }
}

void CTagListenPanel::SetTagFile(const QString& name)
{
    if (name.isEmpty() || name == m_tagFile) {
        return;
    }
    m_tagFile = name;
    UpdateControlsFromMembers();
    LoadTag();
}

void CTagListenPanel::LoadTag()
{
    UpdateMembersFromControls();
    if (const std::optional<CMp3TagFile::Reading> reading = CMp3TagFile::Read(m_tagFile)) {
        const TagFields& fields = reading->fields;
        m_title = TagText::WithoutLeadingSpace(fields.title);
        m_artist = TagText::WithoutLeadingSpace(fields.artist);
        m_album = TagText::WithoutLeadingSpace(fields.album);
        m_comment = fields.comment;
        m_year = fields.year;
        m_track = fields.track != 0 ? QString::number(fields.track) : QString();
        const int genre = GenreTable::NumberOf(fields.genre);
        m_genreSelection = genre >= 0 && genre < GenreTable::kGenreCount ? genre + 1 : kNoGenreEntry;
        m_loadedGenre = fields.genre;
    } else {
        m_title.clear();
        m_artist.clear();
        m_album.clear();
        m_comment.clear();
        m_year.clear();
        m_track.clear();
        m_genreSelection = -1;
        m_loadedGenre.clear();
    }
    m_loadedGenreSelection = m_genreSelection;
    UpdateControlsFromMembers();
}

void CTagListenPanel::SaveTag()
{
    UpdateMembersFromControls();
    if (m_tagFile.isEmpty()) {
        return;
    }
    TagFields fields;
    fields.title = m_title;
    fields.artist = m_artist;
    fields.album = m_album;
    fields.comment = m_comment;
    fields.year = m_year;
    // The track the file had, or the one typed: never a track number of our own choosing.
    fields.track = m_track.toInt();
    if (m_genreSelection >= 1) {
        fields.genre = QString::fromLatin1(GenreTable::NameOf(m_genreSelection - 1));
    } else if (m_genreSelection == m_loadedGenreSelection) {
        fields.genre = m_loadedGenre;
    }
    // Another Sorvane task writing the file (a re-encode, say) would replace it and lose the tag.
    CFileLock lock;
    const bool busy = lock.Acquire(m_tagFile, CFileLock::Mode::Exclusive) == CFileLock::Result::Busy;
    // A file deleted since it was selected is not created anew as a bare tag.
    const bool written = !busy && CMp3TagFile::Write(m_tagFile, fields);
    lock.Release();
    if (!written) {
        DialogSeams::MessageRequest request;
        request.text = busy ? CFileLock::BusyText(m_tagFile) : QString::fromLatin1(kWriteErrorText);
        request.icon = QMessageBox::Warning;
        DialogSeams::ShowMessage(this, request);
    }
    LoadTag();
}

void CTagListenPanel::RemoveTag()
{
    if (m_tagFile.isEmpty()) {
        return;
    }
    DialogSeams::MessageRequest request;
    request.text = RemoveQuestionText();
    request.icon = QMessageBox::Warning;
    request.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    if (DialogSeams::ShowMessage(this, request) != QMessageBox::Ok) {
        return;
    }
    CFileLock lock;
    if (lock.Acquire(m_tagFile, CFileLock::Mode::Exclusive) == CFileLock::Result::Busy) {
        DialogSeams::MessageRequest busy;
        busy.text = CFileLock::BusyText(m_tagFile);
        busy.icon = QMessageBox::Warning;
        DialogSeams::ShowMessage(this, busy);
    } else if (!CMp3TagFile::Remove(m_tagFile)) {
        DialogSeams::MessageRequest failed;
        failed.text = QString::fromLatin1(kWriteErrorText);
        failed.icon = QMessageBox::Warning;
        DialogSeams::ShowMessage(this, failed);
    }
    lock.Release();
    LoadTag();
}

void CTagListenPanel::ListenSelected()
{
    m_listenFile = m_selectedFile ? m_selectedFile() : QString();
    // Only the volume is refreshed here: text being typed into the tag fields stays.
    RefreshVolumeSlider();
    if (!m_listenFile.isEmpty()) {
        m_playButton->SetHeldDown(true);
    }
    Play();
}

void CTagListenPanel::Play()
{
    m_listenFile = m_selectedFile ? m_selectedFile() : QString();
    // Only the volume is refreshed here: text being typed into the tag fields stays.
    RefreshVolumeSlider();
    if (m_listenFile.isEmpty()) {
        m_playButton->SetHeldDown(false);
        return;
    }
    m_player.reset();
    m_player = std::make_unique<CClipPlayer>(m_listenFile, this);
    const bool playing = m_player->Play();
    m_positionSlider->setRange(0, int(std::min<std::int64_t>(m_player->GetLength(), INT_MAX)));
    m_positionSlider->setValue(0);
    // The time of the file now chosen, never what the last one reached.
    ShowTime(0);
    if (!playing) {
        // Nothing plays, so nothing can be paused; Play stays ready for the next file.
        m_playButton->setEnabled(true);
        m_playButton->SetHeldDown(false);
        m_pauseButton->setEnabled(false);
        m_pauseButton->SetHeldDown(false);
        return;
    }
    m_playButton->setEnabled(false);
    m_pauseButton->setEnabled(true);
}

void CTagListenPanel::Stop()
{
    if (!m_player) {
        return;
    }
    m_player->Close();
    m_playButton->setEnabled(true);
    m_pauseButton->setEnabled(false);
    m_pauseButton->SetHeldDown(false);
    m_playButton->SetHeldDown(false);
}

void CTagListenPanel::SeekStart()
{
    if (!m_player) {
        return;
    }
    m_player->SeekStart();
    m_positionSlider->setValue(0);
    m_playButton->setEnabled(false);
}

void CTagListenPanel::SeekEnd()
{
    if (!m_player) {
        return;
    }
    m_player->SeekEnd();
    m_positionSlider->setValue(m_positionSlider->maximum());
}

void CTagListenPanel::TogglePause()
{
    if (m_player) {
        m_player->TogglePause();
    }
}

bool CTagListenPanel::IsCurrentPlayer(std::intptr_t windowId) const
{
    // Reports of a player closed or replaced since they were posted are out of date.
    return m_player && windowId != 0 && windowId == m_player->WindowId();
}

void CTagListenPanel::OnModeNotify(std::intptr_t windowId, int mode)
{
    if (!IsCurrentPlayer(windowId)) {
        return;
    }
    m_playButton->setEnabled(true);
    if (mode != CClipPlayer::kModeStopped) {
        return;
    }
    if (CRecordSettings::Instance().PlayLoop()) {
        m_player->Play();
        return;
    }
    m_playButton->setEnabled(true);
    m_pauseButton->setEnabled(false);
    m_pauseButton->SetHeldDown(false);
    m_playButton->SetHeldDown(false);
}

void CTagListenPanel::OnPositionNotify(std::intptr_t windowId, std::int64_t positionMs)
{
    // While the user holds the thumb, it and the time text follow the mouse, not the player.
    if (m_busy != 0 || m_positionSlider->isSliderDown() || !IsCurrentPlayer(windowId)) {
        return;
    }
    m_positionSlider->setValue(int(std::min<std::int64_t>(positionMs, INT_MAX)));
    m_positionSlider->update();
    ShowTime(positionMs);
}

void CTagListenPanel::OnPositionSliderAction(int action)
{
    m_busy = 1;
    if (m_player) {
        if (action == QAbstractSlider::SliderMove) {
            ShowTime(m_positionSlider->sliderPosition());
        } else if (action != QAbstractSlider::SliderNoAction) {
            // Pages and keys end their move at once; a drag seeks when the thumb is let go.
            CAppEvent::Post(this, AppEventType::kListenSeek, 0, m_positionSlider->sliderPosition());
        }
    }
    m_busy = 0;
    m_positionSlider->update();
}

void CTagListenPanel::OnListenSeek(std::int64_t positionMs)
{
    if (!m_player) {
        return;
    }
    m_player->PlayFrom(positionMs);
    ShowTime(positionMs);
}

void CTagListenPanel::OnVolumeSliderMoved(int position)
{
    if (m_fillingVolume || !m_volumeBound) {
        return;
    }
    if (const auto mixer = AudioBackend::Current()->CreateRecordMixer()) {
        mixer->SetOutputVolume(m_volumeMaximum - position);
    }
    // A drag is remembered once, when the thumb is let go.
    if (!m_volumeSlider->isSliderDown()) {
        RememberVolume();
    }
    m_volumeSlider->update();
}

void CTagListenPanel::ShowTime(std::int64_t positionMs)
{
    const std::int64_t length = m_player ? m_player->GetLength() : 0;
    m_timeLabel->SetText(FormatTime(positionMs, length));
}
