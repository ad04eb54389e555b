#include "frmForma.h"

#include "MediaPlayer.h"
#include "app_globals.h"
#include "program_icon.h"
#include "station_list_geometry.h"
#include "usrReklamaX.h"
#include "virtual_key.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <QWheelEvent>

frmForma::frmForma(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                              | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(ProgramTitle());
    // One size now; the rest, for the desktop's other places, after the first frame.
    setWindowIcon(ProgramPixmap());
    buildControls();
    buildMenus();

    // The menu bar sits above the fixed client area, as on the classic frame.
    const int wrapped = menuBar()->heightForWidth(ClientWidth);
    setFixedSize(ClientWidth, ClientHeight + (wrapped > 0 ? wrapped : menuBar()->sizeHint().height()));

    connect(qApp, &QApplication::focusChanged, this, &frmForma::onFocusChanged);
}

frmForma::~frmForma()
{
    // QWidget's destructor closes the window, which moves the focus: the signal
    // must not reach this part of the object once it is gone.
    disconnect(qApp, &QApplication::focusChanged, this, &frmForma::onFocusChanged);
}

void frmForma::buildControls()
{
    auto* client = new QWidget(this);
    client->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(client);

    // Tab order is creation order: the list comes first and gets the focus.
    picBox = new QFrame(client);
    picBox->setGeometry(4, 130, 624, 255);
    picBox->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picBox->setLineWidth(2);
    // Takes the focus by click and by Tab, and hands it to the list at once.
    picBox->setFocusPolicy(Qt::StrongFocus);
    QPalette viewportPalette = picBox->palette();
    viewportPalette.setColor(QPalette::Window, StationList::ViewportBackground());
    picBox->setPalette(viewportPalette);
    picBox->setAutoFillBackground(true);

    // Children are clipped to their parent's whole rectangle, frame included,
    // so the list lives in a widget that is exactly picBox's client area.
    viewport_ = new QWidget(picBox);
    viewport_->setGeometry(picBox->contentsRect());
    viewport_->setPalette(viewportPalette);
    viewport_->setAutoFillBackground(true);

    ListPicture = new RetainedSurface(StationList::Background(), viewport_);
    ListPicture->setFont(StationList::Font());
    ListPicture->setGeometry(0, 0, StationList::SurfaceWidth, 340);
    ListPicture->clear();

    VScroll1 = new QScrollBar(Qt::Vertical, client);
    VScroll1->setGeometry(609, 132, 17, 251);
    VScroll1->setRange(0, 0);
    VScroll1->setSingleStep(1);
    VScroll1->setPageStep(StationList::PageRows);
    VScroll1->raise();
    // A click on the scrollbar focuses it, which hands the focus to the list.
    VScroll1->setFocusPolicy(Qt::ClickFocus);

    picIcon = new QLabel(client);
    picIcon->setGeometry(0, 16, 36, 36);
    picIcon->setPixmap(windowIcon().pixmap(QSize(32, 32)));
    picIcon->setVisible(false);

    usrReklamaX1 = new usrReklamaX(client);
    usrReklamaX1->setGeometry(4, 0, 625, 73);

    // Created with an empty address: nothing plays before the first tuning.
    WindowsMediaPlayer = new MediaPlayer(client);
    WindowsMediaPlayer->setGeometry(4, 80, 624, 46);

    ListPicture->setFocus();
    // Focus that leaves the list by Tab lands on the viewport.
    setTabOrder(ListPicture, picBox);
    // The wheel anywhere over the list turns the scrollbar.
    ListPicture->installEventFilter(this);
    picBox->installEventFilter(this);

    connect(VScroll1, &QScrollBar::valueChanged, this, &frmForma::VScroll1_Change);
    connect(VScroll1, &QScrollBar::sliderMoved, this, &frmForma::VScroll1_Scroll);

    connect(ListPicture, &RetainedSurface::keyDown, this,
            [this](qint16 keyCode, Qt::KeyboardModifiers modifiers) {
                ListPicture_KeyDown(keyCode, ShiftState(modifiers));
            });
    connect(ListPicture, &RetainedSurface::mouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y) {
                ListPicture_MouseDown(static_cast<qint16>(button), ShiftState(modifiers), x, y);
            });
    connect(ListPicture, &RetainedSurface::mouseUp, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y) {
                ListPicture_MouseUp(static_cast<qint16>(button), ShiftState(modifiers), x, y);
            });
    connect(ListPicture, &RetainedSurface::doubleClicked, this, &frmForma::ListPicture_DblClick);
}

void frmForma::buildMenus()
{
    Menu = menuBar()->addMenu(QStringLiteral("Меню"));
    MenuExit = Menu->addAction(QStringLiteral("Выход"));

    Help = menuBar()->addMenu(QStringLiteral("Справка"));
    HelpCallHelp = Help->addAction(QStringLiteral("Вызов справки"));
    HelpCallHelp->setShortcut(Qt::Key_F1);
    // Also on the window itself, so F1 works from any control without the menu.
    addAction(HelpCallHelp);
    HelpOprog = Help->addAction(QStringLiteral("О программе"));

    // The tray's pop-up; it is never put into the menu bar.
    pMenu = new QMenu(this);
    pMenuHideShow = pMenu->addAction(QStringLiteral("Скрыть / Показать"));
    pMenuReStart = pMenu->addAction(QStringLiteral("Повторить подключение"));
    pMenuReStart->setEnabled(false);
    pMenuSep = pMenu->addSeparator();
    pMenuExit = pMenu->addAction(QStringLiteral("Выход"));

    connect(MenuExit, &QAction::triggered, this, &frmForma::MenuExit_Click);
    connect(HelpCallHelp, &QAction::triggered, this, &frmForma::HelpCallHelp_Click);
    connect(HelpOprog, &QAction::triggered, this, &frmForma::HelpOprog_Click);
    connect(pMenuHideShow, &QAction::triggered, this, &frmForma::pMenuHideShow_Click);
    connect(pMenuReStart, &QAction::triggered, this, &frmForma::pMenuReStart_Click);
    connect(pMenuExit, &QAction::triggered, this, &frmForma::pMenuExit_Click);
}

void frmForma::showEvent(QShowEvent* event)
{
    if (!centred_ && !event->spontaneous()) {
        centred_ = true;
        if (const QScreen* target = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(target->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QMainWindow::showEvent(event);
}

void frmForma::paintEvent(QPaintEvent* event)
{
    if (!iconComplete_) {
        iconComplete_ = true;
        QTimer::singleShot(0, this, [this] { setWindowIcon(ProgramIcon()); });
    }
    QMainWindow::paintEvent(event);
}

bool frmForma::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == ListPicture || watched == picBox) && event->type() == QEvent::Wheel) {
        // Over the list or the empty viewport below it the scrollbar takes
        // the wheel as it takes its own: the view moves, the highlight stays.
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPointF at = VScroll1->mapFromGlobal(wheel->globalPosition());
        QWheelEvent forwarded(at, wheel->globalPosition(), wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(),
                              wheel->modifiers(), wheel->phase(), wheel->inverted(), wheel->source());
        QCoreApplication::sendEvent(VScroll1, &forwarded);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool frmForma::focusNextPrevChild(bool next)
{
    // Tab and Shift+Tab from the list both land on the viewport, which hands
    // the focus back, so the keys stay with the list.
    if (ListPicture->hasFocus()) {
        picBox->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return QMainWindow::focusNextPrevChild(next);
}

void frmForma::onFocusChanged(QWidget*, QWidget* now)
{
    if (now == VScroll1)
        VScroll1_GotFocus();
    else if (now == picBox)
        picBox_GotFocus();
}
