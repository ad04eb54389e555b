#include "OpenRadioM.h"

#include "MediaPlayer.h"
#include "Tray.h"
#include "app_globals.h"
#include "clsRadio.h"
#include "station_numbers.h"
#include "usrReklamaX.h"

#include <QWidget>

void OpenRadio(QWidget& form, MediaPlayer& WindowsMediaPlayer, usrReklamaX& usrReklamaX1)
{
    const QString address = Radio().List(NomerSel, 0);
    WindowsMediaPlayer.setURL(address);
    usrReklamaX1.Start();
    const QString name = Radio().List(NomerSel, 1);
    form.setWindowTitle(ProgramTitle() + QStringLiteral(" - Играет: ") + name);
    TrayTip(form.windowTitle());
    NomerRadio = NomerSel;
}
