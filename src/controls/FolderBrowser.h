#pragma once

#include "platform/Volumes.h"

#include <QDialog>
#include <QIcon>
#include <map>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Dialog 133: picks a folder from a tree of the volumes, their folders and the network mounts.
// A node's children are read when it is first expanded. Open it through FolderBrowserSeam.
class CFolderBrowser : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kTreeId = 1001;
    static constexpr int kPromptId = 1019;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;

    // Indexes into the node image strip; a drive's image is its drive type, a network
    // container's the network root's plus its display type.
    static constexpr int kImageOpenFolder = 0;
    static constexpr int kImageFolder = 1;
    static constexpr int kImageNetworkRoot = 7;
    // Item data roles the tree's nodes carry.
    static constexpr int kImageRole = Qt::UserRole + 1;

    explicit CFolderBrowser(QWidget* parent = nullptr, const QString& title = {}, const QString& prompt = {});
    ~CFolderBrowser() override;

    // The folder selected when OK was pressed, ending with a separator; empty before that.
    QString ChosenFolder() const { return m_chosenFolder; }
    // The folder a node stands for, ending with a separator; empty for network containers.
    static QString FullPath(const QTreeWidgetItem* item);

public slots:
    void accept() override;

private:
    enum class NodeKind
    {
        Drive,
        Folder,
        NetworkRoot,
        NetworkContainer,
    };

    void BuildImageStrip();
    void AddRoots();
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& label, NodeKind kind, int image,
                             const QString& path);
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    // Adds the children of a node not filled yet; returns how many were added.
    int FillNode(QTreeWidgetItem* item);
    int FillFromNetwork(QTreeWidgetItem* item);
    int FillFromFolder(QTreeWidgetItem* item);
    void ShowImage(QTreeWidgetItem* item, bool selected);
    static NodeKind KindOf(const QTreeWidgetItem* item);

    QTreeWidget* m_tree = nullptr;
    QLabel* m_prompt = nullptr;
    QPushButton* m_ok = nullptr;
    std::vector<QIcon> m_images;
    // The private network record of each network container.
    std::map<const QTreeWidgetItem*, Volumes::NetworkResource> m_networkRecords;
    QString m_chosenFolder;
};
