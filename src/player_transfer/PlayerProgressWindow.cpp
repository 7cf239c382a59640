#include "player_transfer/PlayerProgressWindow.h"

#include "controls/ControlId.h"
#include "controls/WindowPlacement.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

namespace
{
const QString kTemplateCaption = QStringLiteral("Process of update MP3 Player the files play order ...");
constexpr int kWindowWidth = 360;
constexpr int kWindowHeight = 60;

// Owned by the main window (Qt parent); the guard clears itself should the owner go first.
QPointer<CPlayerProgressWindow>& Window()
{
    static QPointer<CPlayerProgressWindow> window;
    return window;
}
} // namespace

CPlayerProgressWindow::CPlayerProgressWindow(QWidget* owner)
    : QDialog(owner ? owner->window() : nullptr)
{
    setModal(false);
    setWindowTitle(kTemplateCaption);
    ControlId::Set(this, kTemplateId);
    auto* layout = new QVBoxLayout(this);
    m_bar = new QProgressBar(this);
    m_bar->setTextVisible(false);
    ControlId::Set(m_bar, kProgressBarId);
    layout->addWidget(m_bar);
    resize(kWindowWidth, kWindowHeight);
}

CPlayerProgressWindow* CPlayerProgressWindow::OpenProgress(QWidget* owner, const QString& caption)
{
    if (Window())
        return Window().data();
    auto* window = new CPlayerProgressWindow(owner);
    Window() = window;
    if (!caption.isEmpty())
        window->setWindowTitle(caption);
    window->show();
    return window;
}

void CPlayerProgressWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Placed once its layout has given it its final size.
    WindowPlacement::CentreOverParent(this);
}

CPlayerProgressWindow* CPlayerProgressWindow::Current()
{
    return Window().data();
}

void CPlayerProgressWindow::SetProgressRange(int count)
{
    if (Window())
        Window()->m_bar->setRange(0, count);
}

void CPlayerProgressWindow::StepProgress(int index)
{
    if (Window())
        Window()->m_bar->setValue(index);
    QCoreApplication::processEvents();
}

void CPlayerProgressWindow::CloseProgress()
{
    if (!Window())
        return;
    Window()->hide();
    // Gone from view now, freed once control is back in the event loop.
    Window()->deleteLater();
    Window().clear();
}
