#pragma once

#include <QDialog>

#include <array>

class LinkLabel;
class QFrame;
class QLabel;
class QPushButton;

// The About window: who made the program, its version and dates, and a link
// to the maker's site. Made afresh for every showing, over the main window:
//     frmOprog dialog(mainWindow);
//     dialog.exec();
class frmOprog : public QDialog {
    Q_OBJECT
public:
    explicit frmOprog(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void Label1_Click();
    void OK_Click();

    QLabel* AddLabel(const QString& name, const QString& text, int x, int y);

    QPushButton* OK = nullptr;
    LinkLabel* Label1 = nullptr;
    // Elements 0 and 3 to 7; 1 and 2 do not exist.
    std::array<QLabel*, 8> Label2{};
    QLabel* Image1 = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Line2 = nullptr;
    QLabel* Picture1 = nullptr;
};
