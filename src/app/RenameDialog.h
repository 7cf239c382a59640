#pragma once

#include <QDialog>

class QLineEdit;

// Dialog 141, "Rename": one edit (1052) holding the file's current name, OK and Cancel.
class CRenameDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 141;
    static constexpr int kNameEditId = 1052;
    static constexpr int kOkButtonId = 1;     // IDOK
    static constexpr int kCancelButtonId = 2; // IDCANCEL

    explicit CRenameDialog(const QString& currentName, QWidget* parent = nullptr);

    QString NewName() const;

private:
    QLineEdit* m_nameEdit;
};
