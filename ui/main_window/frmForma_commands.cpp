// Menu commands and closing the main window.
#include "frmForma.h"

#include "OpURL.h"
#include "app_globals.h"
#include "frmOprog.h"

#include <QCloseEvent>

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
    close();
}

void frmForma::pMenuHideShow_Click()
{
    FormVisible = FormVisible != 0 ? 0 : -1;
    setVisible(FormVisible != 0);
}

void frmForma::HelpCallHelp_Click()
{
    ShellOpen(QStringLiteral("Справка.html"));
}

void frmForma::HelpOprog_Click()
{
    // A fresh window each time, with no owner, modal until it closes.
    frmOprog about;
    about.exec();
}

void frmForma::pMenuReStart_Click()
{
    tune();
}
