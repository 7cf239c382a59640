#pragma once

#include <QDialog>

// Dialog 100: "About Sorvane" with the version text, the About picture and an OK button.
class CAboutDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 100;
    static constexpr int kPictureId = 187;
    static constexpr const char* kTitle = "About Sorvane";
    static constexpr const char* kVersionText = "Sorvane Version 2.1";

    explicit CAboutDialog(QWidget* parent = nullptr);
};
