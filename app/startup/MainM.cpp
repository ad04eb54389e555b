#include "MainM.h"

#include "LoadRadioM.h"
#include "MediaKeysM.h"
#include "MediaPlayer.h"
#include "PlaybackEngine.h"
#include "SaveINIm.h"
#include "Tray.h"
#include "app_globals.h"
#include "frmForma.h"
#include "settings_file.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <stdexcept>
#include <utility>

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

// Runs work on the turn of the event loop after the one that put the window's
// first frame on screen, or a second after it was shown should no frame come
// (a window manager that keeps it unmapped); it goes with the window.
class AfterFirstFrame : public QObject {
public:
    AfterFirstFrame(QWidget& window, std::function<void()> work)
        : QObject(&window)
        , work_(std::move(work))
    {
        QWindow* const frame = window.windowHandle();
        if (frame && !frame->isExposed()) {
            frame->installEventFilter(this);
            QTimer::singleShot(1000, this, [this] { run(); });
        } else {
            QTimer::singleShot(0, this, [this] { run(); });
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The frame is painted and flushed while this event is handled.
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] { run(); });
        }
        return false;
    }

private:
    void run()
    {
        if (!work_)
            return;
        const auto work = std::exchange(work_, nullptr);
        work();
        deleteLater();
    }

    std::function<void()> work_;
};

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
    // The tray icon, the desktop's media controls (both over the session bus) and
    // the player's engine are not needed to draw the window: they come once the
    // list is on screen, the icon first.
    passOver([] {
        frmForma& f = openForm();
        new AfterFirstFrame(f, [&f] {
            passOver([&f] { TrayAdd(*f.picIcon, *f.pMenu, ProgramTitle()); });
            passOver([&f] { MediaKeysAdd(f); });
            passOver([&f] { f.WindowsMediaPlayer->engine().prepare(); });
        });
    });
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
