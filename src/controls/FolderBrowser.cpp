#include "controls/FolderBrowser.h"

#include "controls/ControlId.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{
constexpr const char* kDefaultCaption = "Search for Folder";
constexpr const char* kDefaultPrompt = "Select the folder where the search is to begin.";
constexpr const char* kNetworkRootLabel = "Network Neighborhood";

constexpr int kKindRole = Qt::UserRole + 2;
constexpr int kPathRole = Qt::UserRole + 3;
constexpr int kFilledRole = Qt::UserRole + 4;

constexpr int kImageCount =
    CFolderBrowser::kImageNetworkRoot + static_cast<int>(Volumes::NetworkDisplayType::Share) + 1;
constexpr int kDialogWidth = 320;
constexpr int kDialogHeight = 380;

// Reading a folder or the mount table can take a moment on a slow drive.
class CWaitCursor
{
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

QStyle::StandardPixmap PixmapForImage(int image)
{
    switch (image) {
    case CFolderBrowser::kImageOpenFolder:
        return QStyle::SP_DirOpenIcon;
    case static_cast<int>(Volumes::DriveType::Removable):
        return QStyle::SP_DriveFDIcon;
    case static_cast<int>(Volumes::DriveType::Remote):
        return QStyle::SP_DriveNetIcon;
    case static_cast<int>(Volumes::DriveType::CdRom):
        return QStyle::SP_DriveCDIcon;
    case static_cast<int>(Volumes::DriveType::Fixed):
    case static_cast<int>(Volumes::DriveType::RamDisk):
        return QStyle::SP_DriveHDIcon;
    case CFolderBrowser::kImageNetworkRoot:
        return QStyle::SP_DriveNetIcon;
    case CFolderBrowser::kImageNetworkRoot + static_cast<int>(Volumes::NetworkDisplayType::Server):
        return QStyle::SP_ComputerIcon;
    default:
        return QStyle::SP_DirClosedIcon;
    }
}
} // namespace

CFolderBrowser::CFolderBrowser(QWidget* parent, const QString& title, const QString& prompt)
    : QDialog(parent)
{
    setWindowTitle(title.isEmpty() ? QString::fromLatin1(kDefaultCaption) : title);
    resize(kDialogWidth, kDialogHeight);

    m_prompt = new QLabel(prompt.isEmpty() ? QString::fromLatin1(kDefaultPrompt) : prompt, this);
    m_prompt->setWordWrap(true);
    ControlId::Set(m_prompt, kPromptId);

    m_tree = new QTreeWidget(this);
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    ControlId::Set(m_tree, kTreeId);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QDialogButtonBox::Ok);
    m_ok->setEnabled(false);
    ControlId::Set(m_ok, kOkId);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    ControlId::Set(cancel, kCancelId);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFolderBrowser::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFolderBrowser::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_tree, 1);
    layout->addWidget(buttons);

    BuildImageStrip();
    AddRoots();
    connect(m_tree, &QTreeWidget::itemExpanded, this, &CFolderBrowser::OnItemExpanded);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &CFolderBrowser::OnCurrentItemChanged);
}

CFolderBrowser::~CFolderBrowser() = default;

QString CFolderBrowser::FullPath(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kPathRole).toString() : QString();
}

void CFolderBrowser::accept()
{
    QTreeWidgetItem* current = m_tree->currentItem();
    if (!current || !m_ok->isEnabled())
        return;
    m_chosenFolder = FullPath(current);
    m_networkRecords.clear();
    QDialog::accept();
}

void CFolderBrowser::BuildImageStrip()
{
    m_images.reserve(kImageCount);
    for (int image = 0; image < kImageCount; ++image)
        m_images.push_back(style()->standardIcon(PixmapForImage(image)));
}

void CFolderBrowser::AddRoots()
{
    CWaitCursor wait;
    for (const Volumes::Drive& drive : Volumes::Drives(Volumes::MountPoints())) {
        const QString label = QDir::toNativeSeparators(QDir::cleanPath(drive.rootPath));
        AddNode(nullptr, label, NodeKind::Drive, static_cast<int>(drive.type), drive.rootPath);
    }
    AddNode(nullptr, QString::fromLatin1(kNetworkRootLabel), NodeKind::NetworkRoot, kImageNetworkRoot, {});
}

QTreeWidgetItem* CFolderBrowser::AddNode(QTreeWidgetItem* parent, const QString& label, NodeKind kind, int image,
                                         const QString& path)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    item->setText(0, label);
    item->setData(0, kKindRole, static_cast<int>(kind));
    item->setData(0, kPathRole, path);
    item->setData(0, kImageRole, image);
    item->setData(0, kFilledRole, false);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    ShowImage(item, false);
    return item;
}

CFolderBrowser::NodeKind CFolderBrowser::KindOf(const QTreeWidgetItem* item)
{
    return static_cast<NodeKind>(item->data(0, kKindRole).toInt());
}

void CFolderBrowser::ShowImage(QTreeWidgetItem* item, bool selected)
{
    int image = item->data(0, kImageRole).toInt();
    if (selected && image == kImageFolder)
        image = kImageOpenFolder;
    if (image >= 0 && image < static_cast<int>(m_images.size()))
        item->setIcon(0, m_images[static_cast<size_t>(image)]);
}

void CFolderBrowser::OnItemExpanded(QTreeWidgetItem* item)
{
    if (!item->data(0, kFilledRole).toBool()) {
        item->setData(0, kFilledRole, true);
        if (FillNode(item) == 0)
            item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }
    if (m_tree->currentItem() != item)
        m_tree->setCurrentItem(item);
}

int CFolderBrowser::FillNode(QTreeWidgetItem* item)
{
    CWaitCursor wait;
    const NodeKind kind = KindOf(item);
    if (kind == NodeKind::NetworkRoot || kind == NodeKind::NetworkContainer)
        return FillFromNetwork(item);
    return FillFromFolder(item);
}

int CFolderBrowser::FillFromNetwork(QTreeWidgetItem* item)
{
    const QList<Volumes::MountPoint> mounts = Volumes::MountPoints();
    QList<Volumes::NetworkResource> resources;
    if (KindOf(item) == NodeKind::NetworkRoot) {
        resources = Volumes::NetworkServers(mounts);
    } else {
        const auto record = m_networkRecords.find(item);
        if (record == m_networkRecords.end())
            return 0;
        resources = Volumes::NetworkShares(mounts, record->second);
    }

    for (const Volumes::NetworkResource& resource : resources) {
        const QString label = Volumes::DisplayLabel(Volumes::NetworkLabel(resource));
        if (resource.displayType == Volumes::NetworkDisplayType::Share) {
            AddNode(item, label, NodeKind::Folder, kImageFolder, resource.localName);
        } else {
            const int image = kImageNetworkRoot + static_cast<int>(resource.displayType);
            m_networkRecords[AddNode(item, label, NodeKind::NetworkContainer, image, {})] = resource;
        }
    }
    return static_cast<int>(resources.size());
}

int CFolderBrowser::FillFromFolder(QTreeWidgetItem* item)
{
    const QString folder = FullPath(item);
    const QStringList names = Volumes::SubfolderNames(folder);
    // The label may be re-cased for display; the path keeps the name as the file system has it.
    for (const QString& name : names)
        AddNode(item, Volumes::DisplayLabel(name), NodeKind::Folder, kImageFolder, folder + name + QLatin1Char('/'));
    return static_cast<int>(names.size());
}

void CFolderBrowser::OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (previous)
        ShowImage(previous, false);
    if (current)
        ShowImage(current, true);
    const bool choosable = current && (KindOf(current) == NodeKind::Drive || KindOf(current) == NodeKind::Folder);
    m_ok->setEnabled(choosable);
}
