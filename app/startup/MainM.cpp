#include "MainM.h"

#include "LoadRadioM.h"
#include "MediaKeysM.h"
#include "SaveINIm.h"
#include "Tray.h"
#include "app_globals.h"
#include "frmForma.h"
#include "settings_file.h"

#include <QApplication>
#include <QPointer>

#include <stdexcept>

namespace {

// Owned by itself: it deletes itself when it closes, which ends the program.
QPointer<frmForma> form;

frmForma& openForm()
{
    if (!form)
        throw std::runtime_error("no main window");
    return *form;
}

// From the settings read on, a failing step is passed over and start-up goes on.
template <typename Step>
void passOver(Step step)
{
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

void Main()
{
    LoadRadio();
    passOver([] { SettingsFile::ReadSettings(); });
    passOver([] {
        if (!form) {
            auto* created = new frmForma;
            created->setAttribute(Qt::WA_DeleteOnClose);
            created->setExitRoutine([created] { return SaveINI(*created); });
            // The window closing is the program's end, whichever way it closed:
            // a window closed while hidden never counts as the last one closed.
            QObject::connect(created, &QObject::destroyed, qApp, &QCoreApplication::quit);
            form = created;
        }
        form->show();
    });
    passOver([] { openForm().ShowRadio(); });
    passOver([] {
        frmForma& f = openForm();
        TrayAdd(*f.picIcon, *f.pMenu, ProgramTitle());
    });
    passOver([] { MediaKeysAdd(openForm()); });
    passOver([] { FormVisible = -1; });
}

frmForma* MainForm()
{
    return form.data();
}

void DestroyMainForm()
{
    delete form.data();
}
