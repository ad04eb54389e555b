#pragma once

#include "RetainedSurface.h"

#include <QMainWindow>

#include <functional>

class MediaPlayer;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QScrollBar;
class usrReklamaX;

// The main window: the station list with its scrollbar, the places of the
// advertisement panel and the player, the menus and the hidden tray menu.
// Every control is owned by its Qt parent.
class frmForma : public QMainWindow {
    Q_OBJECT

public:
    explicit frmForma(QWidget* parent = nullptr);
    ~frmForma() override;

    // Controls.
    RetainedSurface* ListPicture = nullptr;  // the list, 603 wide, as tall as its rows
    QFrame* picBox = nullptr;                // viewport around the list, clips it
    QScrollBar* VScroll1 = nullptr;
    QLabel* picIcon = nullptr;               // never visible; holds the program icon
    usrReklamaX* usrReklamaX1 = nullptr;     // the advertisement panel
    MediaPlayer* WindowsMediaPlayer = nullptr;

    // Menus: Menu and Help in the menu bar, pMenu only as the tray's pop-up.
    QMenu* Menu = nullptr;
    QAction* MenuExit = nullptr;
    QMenu* Help = nullptr;
    QAction* HelpCallHelp = nullptr;
    QAction* HelpOprog = nullptr;
    QMenu* pMenu = nullptr;
    QAction* pMenuHideShow = nullptr;
    QAction* pMenuReStart = nullptr;
    QAction* pMenuSep = nullptr;
    QAction* pMenuExit = nullptr;

    // Row of a pending click: where a button went down, -1 for none.
    qint32 NomerDown = -1;

    // Draws row NomerSel: highlighted when Index is not 0; a highlighted row is
    // brought into view unless NewLine is 1.
    void Add(qint32 Index, qint32 NewLine);
    // Builds the whole list from the catalog and highlights NomerRadio.
    void ShowRadio();

    // Every close request asks this routine first; a non-zero answer keeps
    // the window open. Without a routine the window simply closes.
    void setExitRoutine(std::function<qint32()> routine);

    // The client area below the menu bar, in logical pixels.
    static constexpr int ClientWidth = 632;
    static constexpr int ClientHeight = 389;

public Q_SLOTS:
    void MenuExit_Click();
    void HelpCallHelp_Click();
    void HelpOprog_Click();
    void pMenuHideShow_Click();
    void pMenuReStart_Click();
    void pMenuExit_Click();

    void ListPicture_KeyDown(qint16 KeyCode, qint16 Shift);
    void ListPicture_MouseDown(qint16 Button, qint16 Shift, double X, double Y);
    void ListPicture_MouseUp(qint16 Button, qint16 Shift, double X, double Y);
    void ListPicture_DblClick();

    void VScroll1_Change();
    void VScroll1_Scroll();
    void VScroll1_GotFocus();
    void picBox_GotFocus();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void Form_Unload(qint16& Cancel);
    void SetupScroll();
    void tune();
    void updateReStart();
    void moveSurfaceToScroll();
    void onFocusChanged(QWidget* old, QWidget* now);

    void buildMenus();
    void buildControls();

    QWidget* viewport_ = nullptr;  // picBox's client area, the parent of ListPicture
    std::function<qint32()> exitRoutine_;
    bool centred_ = false;
    bool iconComplete_ = false;  // every size of the icon is set, or about to be
    bool tuned_ = false;  // a station has been tuned since start
};
