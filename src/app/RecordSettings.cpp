#include "app/RecordSettings.h"

#include "app/AtomicFile.h"
#include "app/DataFolder.h"
#include "codec/BitrateChoice.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <limits>
#include <memory>

namespace
{
// Counted strings: one length byte below this value; otherwise the byte is a marker.
constexpr std::uint8_t kShortLengthMarker = 0xFF;
// A 2-byte length is used below this value; otherwise the 2-byte marker announces 4 bytes.
constexpr std::uint16_t kMediumLengthLimit = 0xFFFE;
constexpr std::uint16_t kMediumLengthMarker = 0xFFFF;
constexpr qsizetype kScheduleEntrySize = 8;

const RecordFormat kDefaultFormat{};

// Little-endian reads over a file image. A read that would pass the end fails and consumes
// nothing, so every value either arrives whole or not at all.
class ByteReader
{
public:
    explicit ByteReader(const QByteArray& bytes)
        : m_bytes(bytes)
    {}

    qsizetype Remaining() const { return m_bytes.size() - m_position; }

    template <typename T>
    bool Read(T& value)
    {
        if (Remaining() < static_cast<qsizetype>(sizeof(T))) {
            return false;
        }
        value = qFromLittleEndian<T>(m_bytes.constData() + m_position);
        m_position += static_cast<qsizetype>(sizeof(T));
        return true;
    }

    bool ReadCountedString(QString& text)
    {
        const qsizetype start = m_position;
        std::uint8_t shortLength = 0;
        if (!Read(shortLength)) {
            return false;
        }
        std::uint32_t length = shortLength;
        if (shortLength == kShortLengthMarker) {
            std::uint16_t mediumLength = 0;
            if (!Read(mediumLength)) {
                return Rewind(start);
            }
            length = mediumLength;
            if (mediumLength == kMediumLengthMarker && !Read(length)) {
                return Rewind(start);
            }
        }
        // The length is checked against what is really there before anything is allocated.
        if (static_cast<quint64>(length) > static_cast<quint64>(Remaining())) {
            return Rewind(start);
        }
        text = QString::fromUtf8(m_bytes.constData() + m_position, static_cast<qsizetype>(length));
        m_position += static_cast<qsizetype>(length);
        return true;
    }

private:
    bool Rewind(qsizetype position)
    {
        m_position = position;
        return false;
    }

    const QByteArray& m_bytes;
    qsizetype m_position = 0;
};

template <typename T>
void AppendLittleEndian(QByteArray& bytes, T value)
{
    char buffer[sizeof(T)];
    qToLittleEndian<T>(value, buffer);
    bytes.append(buffer, static_cast<qsizetype>(sizeof(T)));
}

void AppendCountedString(QByteArray& bytes, const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    // The widest length field holds 32 bits; a longer text cannot be stored whole.
    if (static_cast<quint64>(utf8.size()) > std::numeric_limits<std::uint32_t>::max()) {
        utf8.truncate(static_cast<qsizetype>(std::numeric_limits<std::uint32_t>::max()));
    }
    const auto length = static_cast<std::uint32_t>(utf8.size());
    if (length < kShortLengthMarker) {
        AppendLittleEndian<std::uint8_t>(bytes, static_cast<std::uint8_t>(length));
    } else if (length < kMediumLengthLimit) {
        AppendLittleEndian<std::uint8_t>(bytes, kShortLengthMarker);
        AppendLittleEndian<std::uint16_t>(bytes, static_cast<std::uint16_t>(length));
    } else {
        AppendLittleEndian<std::uint8_t>(bytes, kShortLengthMarker);
        AppendLittleEndian<std::uint16_t>(bytes, kMediumLengthMarker);
        AppendLittleEndian<std::uint32_t>(bytes, length);
    }
    bytes.append(utf8);
}

// The capture format is always 16-bit PCM, mono or stereo; a damaged file must not hand a
// zero rate or a zero-width frame to the capture and encoder code.
RecordFormat UsableFormat(RecordFormat format)
{
    format.formatTag = RecordFormat::kPcmTag;
    format.bitsPerSample = RecordFormat::kBitsPerSample;
    format.extraSize = 0;
    if (format.channels != 1 && format.channels != 2) {
        format.channels = kDefaultFormat.channels;
    }
    if (format.samplesPerSec == 0) {
        format.samplesPerSec = kDefaultFormat.samplesPerSec;
    }
    format.RecomputeDerived();
    return format;
}

// Applies the fields in file order, each as soon as it has been read whole, so a file cut
// short keeps everything before the cut. Lists only grow by entries actually present.
bool ReadFields(ByteReader& reader, CRecordSettings& settings)
{
    RecordFormat format = settings.Format();
    const bool formatComplete = reader.Read(format.formatTag) && reader.Read(format.channels) &&
                                reader.Read(format.samplesPerSec) && reader.Read(format.avgBytesPerSec) &&
                                reader.Read(format.blockAlign) && reader.Read(format.bitsPerSample) &&
                                reader.Read(format.extraSize);
    settings.SetFormat(UsableFormat(format));
    if (!formatComplete) {
        return false;
    }

    QString saveDirectory;
    if (!reader.ReadCountedString(saveDirectory)) {
        return false;
    }
    settings.SetSaveDirectory(saveDirectory);

    std::int32_t value = 0;
    if (!reader.Read(value)) {
        return false;
    }
    settings.SetSensitivity(value);
    if (!reader.Read(value)) {
        return false;
    }
    settings.SetSkipSilentPassages(value != 0);
    if (!reader.Read(value)) {
        return false;
    }
    settings.SetLongSilenceAction(value);
    if (!reader.Read(value)) {
        return false;
    }
    settings.SetSilenceDetectorEnabled(value != 0);
    if (!reader.Read(value)) {
        return false;
    }
    settings.SetBitrateIndex(BitrateChoice::IsValidIndex(value) ? value : CRecordSettings::kDefaultBitrateIndex);

    std::uint32_t recordingCount = 0;
    if (!reader.Read(recordingCount)) {
        return false;
    }
    // Every counted string takes at least its length byte.
    QStringList recordings;
    recordings.reserve(static_cast<qsizetype>(std::min<quint64>(recordingCount, reader.Remaining())));
    bool recordingsComplete = true;
    for (std::uint32_t i = 0; i < recordingCount && recordingsComplete; ++i) {
        QString path;
        recordingsComplete = reader.ReadCountedString(path);
        if (recordingsComplete) {
            recordings.append(path);
        }
    }
    settings.SetRecordings(recordings);
    if (!recordingsComplete) {
        return false;
    }

    std::uint32_t scheduleCount = 0;
    if (!reader.Read(scheduleCount)) {
        return false;
    }
    std::vector<ScheduleEntry> schedule;
    schedule.reserve(
        static_cast<std::size_t>(std::min<quint64>(scheduleCount, reader.Remaining() / kScheduleEntrySize)));
    bool scheduleComplete = true;
    for (std::uint32_t i = 0; i < scheduleCount && scheduleComplete; ++i) {
        ScheduleEntry entry;
        scheduleComplete =
            reader.Remaining() >= kScheduleEntrySize && reader.Read(entry.start) && reader.Read(entry.end);
        if (scheduleComplete) {
            schedule.push_back(entry);
        }
    }
    settings.SetSchedule(schedule);
    return scheduleComplete;
}
} // namespace

CRecordSettings::CRecordSettings()
    : m_saveDirectory(CDataFolder::UserDefaultFolder())
{}

CRecordSettings& CRecordSettings::Instance()
{
    static const std::unique_ptr<CRecordSettings> instance = [] {
        auto settings = std::make_unique<CRecordSettings>();
        settings->Load();
        return settings;
    }();
    return *instance;
}

bool CRecordSettings::SaveInstance()
{
    return Instance().Save();
}

QString CRecordSettings::DefaultPath()
{
    return CDataFolder::FilePath(QString::fromLatin1(kFileName));
}

bool CRecordSettings::Load(const QString& path)
{
    // Only regular files: a FIFO or device under this name would block or never end.
    if (!QFileInfo(path).isFile()) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return false;
    }
    return LoadFromBytes(bytes);
}

bool CRecordSettings::Save(const QString& path) const
{
    return WriteFileAtomically(path, ToBytes());
}

bool CRecordSettings::LoadFromBytes(const QByteArray& bytes)
{
    ByteReader reader(bytes);
    return ReadFields(reader, *this);
}

QByteArray CRecordSettings::ToBytes() const
{
    QByteArray bytes;
    AppendLittleEndian(bytes, m_format.formatTag);
    AppendLittleEndian(bytes, m_format.channels);
    AppendLittleEndian(bytes, m_format.samplesPerSec);
    AppendLittleEndian(bytes, m_format.avgBytesPerSec);
    AppendLittleEndian(bytes, m_format.blockAlign);
    AppendLittleEndian(bytes, m_format.bitsPerSample);
    AppendLittleEndian(bytes, m_format.extraSize);
    AppendCountedString(bytes, m_saveDirectory);
    AppendLittleEndian<std::int32_t>(bytes, m_sensitivity.load(std::memory_order_relaxed));
    AppendLittleEndian<std::int32_t>(bytes, m_skipSilentPassages.load(std::memory_order_relaxed));
    AppendLittleEndian<std::int32_t>(bytes, std::max(0, m_longSilenceAction.load(std::memory_order_relaxed)));
    AppendLittleEndian<std::int32_t>(bytes, m_silenceDetectorEnabled.load(std::memory_order_relaxed));
    AppendLittleEndian<std::int32_t>(bytes, BitrateChoice::IsValidIndex(m_bitrateIndex) ? m_bitrateIndex
                                                                                        : kDefaultBitrateIndex);
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(m_recordings.size()));
    for (const QString& path : m_recordings) {
        AppendCountedString(bytes, path);
    }
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(m_schedule.size()));
    for (const ScheduleEntry& entry : m_schedule) {
        AppendLittleEndian(bytes, entry.start);
        AppendLittleEndian(bytes, entry.end);
    }
    return bytes;
}

void CRecordSettings::SetFormat(const RecordFormat& format)
{
    m_format = format;
    m_format.RecomputeDerived();
}

void CRecordSettings::SetChannels(std::uint16_t channels)
{
    m_format.channels = channels;
    m_format.RecomputeDerived();
}

void CRecordSettings::SetSamplesPerSec(std::uint32_t samplesPerSec)
{
    m_format.samplesPerSec = samplesPerSec;
    m_format.RecomputeDerived();
}

int CRecordSettings::SampleRateIndex() const
{
    const auto found = std::find(SampleRateTable.begin(), SampleRateTable.end(), m_format.samplesPerSec);
    return found == SampleRateTable.end() ? 0 : static_cast<int>(found - SampleRateTable.begin());
}

int CRecordSettings::Bitrate() const
{
    const int index = BitrateChoice::IsValidIndex(m_bitrateIndex) ? m_bitrateIndex : kDefaultBitrateIndex;
    if (BitrateChoice::IsVbrIndex(index)) {
        return BitrateChoice::TypicalVbrKbps(BitrateChoice::VbrQuality(index), m_format.samplesPerSec);
    }
    return BitrateTable[static_cast<std::size_t>(index)];
}

int CRecordSettings::VbrQuality() const
{
    return BitrateChoice::VbrQuality(m_bitrateIndex);
}
