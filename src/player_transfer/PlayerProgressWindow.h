#pragma once

#include <QDialog>
#include <QString>

class QProgressBar;

// The one modeless progress window of the player transfer: created on first use, destroyed when
// the operation ends. While it runs, each step lets the rest of the interface repaint.
class CPlayerProgressWindow : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kTemplateId = 11145;
    static constexpr int kProgressBarId = 1065;

    // The existing window, or a new one centred over `owner`'s window with `caption` (the
    // template's caption when empty).
    static CPlayerProgressWindow* OpenProgress(QWidget* owner, const QString& caption);
    // The window while one exists (tests).
    static CPlayerProgressWindow* Current();
    static void SetProgressRange(int count);
    // Sets the position, then handles every pending event of the thread.
    static void StepProgress(int index);
    static void CloseProgress();

    QProgressBar* ProgressBar() const { return m_bar; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    explicit CPlayerProgressWindow(QWidget* owner);

    QProgressBar* m_bar = nullptr;
};
