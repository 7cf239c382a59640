#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QListWidget;

// "Select Mp3 Player": the removable volumes in a sorted list; OK hands back the chosen one.
class CSelectPlayerDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kTemplateId = 11144;
    static constexpr int kDriveListId = 1064;

    CSelectPlayerDialog(const QStringList& drives, QWidget* parent = nullptr);

    // The selected drive; "" while the list is empty.
    QString Drive() const { return m_drive; }

    // Shows the dialog modally over the removable volumes; "" on Cancel or with no volume.
    static QString Choose(QWidget* parent);

private:
    QListWidget* m_list = nullptr;
    QString m_drive;
};
