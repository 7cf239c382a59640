#include "controls/FolderBrowser.h"

#include "controls/ControlId.h"
#include "controls/FolderBrowserSeam.h"
#include "platform/Volumes.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace
{
// A temporary "drive" with folders, and a second folder standing in for a share of server NAS.
class FolderBrowserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_drive = m_dir.filePath(QStringLiteral("drive"));
        m_share = m_dir.filePath(QStringLiteral("share"));
        for (const char* folder : {"drive/Data/Sub", "drive/WINDOWS", "share"})
            ASSERT_TRUE(QDir(m_dir.path()).mkpath(QString::fromLatin1(folder)));
        QFile file(m_drive + QStringLiteral("/notes.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        qputenv(Volumes::kRootsVariable,
                (m_drive + QStringLiteral(";") + m_share + QStringLiteral("=//NAS/music")).toUtf8());
    }
    void TearDown() override { qunsetenv(Volumes::kRootsVariable); }

    static QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& label)
    {
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->text(0) == label)
                return parent->child(i);
        return nullptr;
    }

    QTemporaryDir m_dir;
    QString m_drive;
    QString m_share;
};
} // namespace

TEST_F(FolderBrowserTest, FillsFoldersLazilyAndReturnsPathsWithSeparator)
{
    CFolderBrowser browser;
    auto* tree = ControlId::Find<QTreeWidget>(&browser, CFolderBrowser::kTreeId);
    auto* ok = ControlId::Find<QPushButton>(&browser, CFolderBrowser::kOkId);
    ASSERT_TRUE(tree && ok);
    EXPECT_EQ(browser.windowTitle(), QStringLiteral("Search for Folder"));
    EXPECT_EQ(ControlId::Find<QLabel>(&browser, CFolderBrowser::kPromptId)->text(),
              QStringLiteral("Select the folder where the search is to begin."));
    EXPECT_FALSE(ok->isEnabled());

    ASSERT_EQ(tree->topLevelItemCount(), 3);
    QTreeWidgetItem* drive = tree->topLevelItem(0);
    EXPECT_EQ(drive->text(0), m_drive);
    EXPECT_EQ(drive->data(0, CFolderBrowser::kImageRole).toInt(), static_cast<int>(Volumes::DriveType::Fixed));
    EXPECT_EQ(CFolderBrowser::FullPath(drive), m_drive + QStringLiteral("/"));
    EXPECT_EQ(tree->topLevelItem(2)->text(0), QStringLiteral("Network Neighborhood"));
    EXPECT_EQ(drive->childCount(), 0);

    // Expanding reads the folders (not the file) and selects the node.
    tree->expandItem(drive);
    ASSERT_EQ(drive->childCount(), 2);
    EXPECT_EQ(tree->currentItem(), drive);
    EXPECT_TRUE(ok->isEnabled());

    // The all-caps name is shown re-cased, but the path keeps the real name.
    QTreeWidgetItem* windows = Child(drive, QStringLiteral("Windows"));
    ASSERT_NE(windows, nullptr);
    EXPECT_EQ(CFolderBrowser::FullPath(windows), m_drive + QStringLiteral("/WINDOWS/"));
    tree->expandItem(windows);
    EXPECT_EQ(windows->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);

    QTreeWidgetItem* data = Child(drive, QStringLiteral("Data"));
    ASSERT_NE(data, nullptr);
    tree->expandItem(data);
    EXPECT_EQ(data->childCount(), 1);
    EXPECT_EQ(data->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    tree->collapseItem(data);
    tree->expandItem(data);
    EXPECT_EQ(data->childCount(), 1);

    tree->setCurrentItem(data);
    ok->click();
    EXPECT_EQ(browser.result(), QDialog::Accepted);
    EXPECT_EQ(browser.ChosenFolder(), m_drive + QStringLiteral("/Data/"));
}

TEST_F(FolderBrowserTest, NetworkContainersCannotBeChosenButTheirSharesCan)
{
    CFolderBrowser browser(nullptr, QStringLiteral("Record File Path"), QStringLiteral("Blar blar..."));
    EXPECT_EQ(browser.windowTitle(), QStringLiteral("Record File Path"));
    EXPECT_EQ(ControlId::Find<QLabel>(&browser, CFolderBrowser::kPromptId)->text(), QStringLiteral("Blar blar..."));
    auto* tree = ControlId::Find<QTreeWidget>(&browser, CFolderBrowser::kTreeId);
    auto* ok = ControlId::Find<QPushButton>(&browser, CFolderBrowser::kOkId);

    EXPECT_EQ(tree->topLevelItem(1)->data(0, CFolderBrowser::kImageRole).toInt(),
              static_cast<int>(Volumes::DriveType::Remote));
    QTreeWidgetItem* network = tree->topLevelItem(2);
    tree->expandItem(network);
    EXPECT_FALSE(ok->isEnabled());
    ASSERT_EQ(network->childCount(), 1);
    QTreeWidgetItem* server = network->child(0);
    EXPECT_EQ(server->text(0), QStringLiteral("Nas"));
    EXPECT_EQ(server->data(0, CFolderBrowser::kImageRole).toInt(), CFolderBrowser::kImageNetworkRoot + 2);

    tree->setCurrentItem(server);
    EXPECT_FALSE(ok->isEnabled());
    browser.accept();
    EXPECT_EQ(browser.result(), QDialog::Rejected);

    tree->expandItem(server);
    ASSERT_EQ(server->childCount(), 1);
    QTreeWidgetItem* share = server->child(0);
    EXPECT_EQ(share->text(0), QStringLiteral("music"));
    tree->setCurrentItem(share);
    EXPECT_TRUE(ok->isEnabled());
    browser.accept();
    EXPECT_EQ(browser.ChosenFolder(), m_share + QStringLiteral("/"));
}

TEST(FolderBrowserSeamTest, BufferSizeLimitsTheResultAndCancelLeavesItEmpty)
{
    QString askedTitle;
    bool confirm = true;
    FolderBrowserSeam::CScopedHandler handler(
        [&](QWidget*, const FolderBrowserSeam::FolderRequest& request, QString& chosen) {
            askedTitle = request.title;
            chosen = QStringLiteral("/music/recordings/");
            return confirm;
        });

    QString buffer;
    EXPECT_TRUE(FolderBrowserSeam::BrowseForFolder(nullptr, QStringLiteral("Pick"), {}, buffer, 10));
    EXPECT_EQ(askedTitle, QStringLiteral("Pick"));
    EXPECT_EQ(buffer, QStringLiteral("/music/re"));
    EXPECT_TRUE(FolderBrowserSeam::BrowseForFolder(nullptr, {}, {}, buffer));
    EXPECT_EQ(buffer, QStringLiteral("/music/recordings/"));

    confirm = false;
    EXPECT_FALSE(FolderBrowserSeam::BrowseForFolder(nullptr, {}, {}, buffer));
    EXPECT_TRUE(buffer.isEmpty());
}
