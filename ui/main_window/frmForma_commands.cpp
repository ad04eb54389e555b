// Menu commands and closing the main window.
#include "frmForma.h"

#include "OpURL.h"
#include "app_globals.h"
#include "frmOprog.h"

#include <QApplication>
#include <QCloseEvent>

namespace {

// The tray's menu reaches the program even while a modal window (About, the
// exit question) is open, since a status-notifier host draws it: its
// commands then only bring that window forward.
bool modalWindowForward()
{
    QWidget* const modal = QApplication::activeModalWidget();
    if (!modal)
        return false;
    modal->raise();
    modal->activateWindow();
    return true;
}

}  // namespace

void frmForma::setExitRoutine(std::function<qint32()> routine)
{
    exitRoutine_ = std::move(routine);
}

void frmForma::closeEvent(QCloseEvent* event)
{
    qint16 Cancel = 0;
    Form_Unload(Cancel);
    if (Cancel != 0)
        event->ignore();
    else
        event->accept();
}

void frmForma::Form_Unload(qint16& Cancel)
{
    if (exitRoutine_)
        Cancel = static_cast<qint16>(exitRoutine_());
}

void frmForma::MenuExit_Click()
{
    close();  // the same path as the close box
}

void frmForma::pMenuExit_Click()
{
    if (modalWindowForward())
        return;
    close();
}

void frmForma::pMenuHideShow_Click()
{
    if (modalWindowForward())
        return;
    FormVisible = FormVisible != 0 ? 0 : -1;
    setVisible(FormVisible != 0);
}

void frmForma::HelpCallHelp_Click()
{
    ShellOpen(QStringLiteral("Справка.html"));
}

void frmForma::HelpOprog_Click()
{
    // A fresh window each time, modal until it closes. The main window is
    // its parent only for the window manager: it keeps the dialog above it,
    // off the taskbar and centred; nothing of the program goes through it.
    frmOprog about(this);
    about.setWindowIcon(windowIcon());
    about.exec();
}

void frmForma::pMenuReStart_Click()
{
    if (modalWindowForward())
        return;
    tune();
}
