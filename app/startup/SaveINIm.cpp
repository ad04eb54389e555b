#include "SaveINIm.h"

#include "Tray.h"
#include "app_globals.h"
#include "settings_file.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace {

bool asking = false;  // the question is on screen

// Yes, No with No preselected; closing the box also answers No.
bool userConfirmsExit(QWidget& form)
{
    QMessageBox box(QMessageBox::Warning, ProgramTitle(), QStringLiteral("Закрыть программу?"),
                    QMessageBox::Yes | QMessageBox::No, &form);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace

qint32 SaveINI(QWidget& form)
{
    // A close request that arrives while the question is open keeps the window;
    // the question itself decides.
    if (asking)
        return 1;
    if (FormVisible == 0) {
        FormVisible = -1;
        form.setVisible(true);
        const QPointer<QWidget> guard(&form);
        asking = true;
        // Draw the window before the question covers it.
        QCoreApplication::processEvents();
        const bool exit = guard && userConfirmsExit(form);
        asking = false;
        if (guard && !exit)
            return 1;
    }
    SettingsFile::WriteSettings();
    TrayDelete();
    return 0;
}
