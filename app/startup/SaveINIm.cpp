#include "SaveINIm.h"

#include "Tray.h"
#include "app_globals.h"
#include "settings_file.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace {

bool asking = false;  // the question is on screen

// Room beside the title for the window manager's icon and buttons.
constexpr int TitleBarExtras = 120;

// The box is as wide as its text, which is shorter than its title; window
// managers draw the title bold and larger, and cut it where it does not fit.
void makeRoomForTitle(QMessageBox& box)
{
    QFont titleFont = box.font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + TitleBarExtras;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
}

// Yes, No with No preselected; closing the box also answers No.
bool userConfirmsExit(QWidget& form)
{
    QMessageBox box(QMessageBox::Warning, ProgramTitle(), QStringLiteral("Закрыть программу?"),
                    QMessageBox::Yes | QMessageBox::No, &form);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    makeRoomForTitle(box);
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
