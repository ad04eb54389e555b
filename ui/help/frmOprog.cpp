#include "frmOprog.h"

#include "LinkLabel.h"
#include "SaveFileUrlm.h"
#include "skip_taskbar.h"
#include "tolva_config.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>
#include <QUrl>
#include <QtMath>

namespace {
const QColor Grey(224, 224, 224);
constexpr int LabelHeight = 20;

QFont WindowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(12);
    font.setBold(true);
    return font;
}

// The link shows the site's host name, so it names whatever site Tag holds.
QString SiteTagLine(const QString& address)
{
    const QString host = QUrl(address).host();
    return host.isEmpty() ? address : host;
}

void SizeToText(QLabel& label, int x, int y)
{
    const qreal width = QFontMetricsF(label.font()).horizontalAdvance(label.text());
    label.setGeometry(x, y, qCeil(width), LabelHeight);
}

// Busy pointer for as long as the link is being handed to the browser; the
// override shows it even over the link's own hand pointer.
class BusyPointer {
public:
    explicit BusyPointer(QWidget& window)
        : window_(window)
    {
        window_.setCursor(Qt::WaitCursor);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyPointer()
    {
        QGuiApplication::restoreOverrideCursor();
        window_.unsetCursor();
    }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    QWidget& window_;
};
}  // namespace

frmOprog::frmOprog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    Q_INIT_RESOURCE(frmOprog);

    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(356, 209);
    setFont(WindowFont());
    QPalette grey = palette();
    grey.setColor(QPalette::Window, Grey);
    grey.setColor(QPalette::Button, Grey);
    setPalette(grey);
    setAutoFillBackground(true);

    // Created in tab order: the button first, so it has the focus.
    OK = new QPushButton(QStringLiteral("OK"), this);
    OK->setObjectName(QStringLiteral("OK"));
    OK->setGeometry(256, 164, 89, 33);
    OK->setDefault(true);
    // Drawn flat in the window's grey, as the design's graphical button; the
    // style would tint a default button with its highlight colour.
    OK->setStyleSheet(QStringLiteral("QPushButton { background-color: rgb(224, 224, 224);"
                                     " border: 1px solid rgb(128, 128, 128); }"
                                     "QPushButton:focus { border: 2px solid rgb(0, 0, 0); }"
                                     "QPushButton:pressed { background-color: rgb(200, 200, 200); }"));
    connect(OK, &QPushButton::clicked, this, &frmOprog::OK_Click);

    Label1 = new LinkLabel(SiteTagLine(QString::fromUtf8(TolvaConfig::SiteUrl)), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTag(QString::fromUtf8(TolvaConfig::SiteUrl));
    QFont underlined = font();
    underlined.setUnderline(true);
    Label1->setFont(underlined);
    QPalette blue = Label1->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 192));
    Label1->setPalette(blue);
    SizeToText(*Label1, 152, 56);
    connect(Label1, &LinkLabel::clicked, this, &frmOprog::Label1_Click);

    Label2[3] = AddLabel(QStringLiteral("Label2_3"), QStringLiteral("Автор: команда Tolva"), 104, 8);
    Label2[4] = AddLabel(QStringLiteral("Label2_4"), QStringLiteral("E-mail: dev@tolva.example"), 104, 32);
    Label2[5] = AddLabel(QStringLiteral("Label2_5"), QStringLiteral("Сайт:"), 104, 56);
    Label2[6] = AddLabel(QStringLiteral("Label2_6"), QStringLiteral("Версия: v7.3"), 104, 80);
    Label2[7] = AddLabel(QStringLiteral("Label2_7"), QStringLiteral("Дата: 1 июля 2010 год -"), 104, 104);

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));

    Label2[0] = AddLabel(QStringLiteral("Label2_0"), QStringLiteral("29 августа 2015 год"), 156, 128);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1_0"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/tolva/about_radio.png")));
    Image1->setGeometry(16, 8, 71, 126);

    // Dark over light, one pixel apart: an etched separator.
    const auto addLine = [this](const QString& name, int y, QPalette::ColorRole role) {
        auto* line = new QFrame(this);
        line->setObjectName(name);
        line->setGeometry(8, y, 344 - 8 + 1, 1);
        QPalette colour = line->palette();
        colour.setColor(QPalette::Window, QApplication::palette().color(role));
        line->setPalette(colour);
        line->setAutoFillBackground(true);
        return line;
    };
    Line1 = addLine(QStringLiteral("Line1"), 152, QPalette::WindowText);
    Line2 = addLine(QStringLiteral("Line2"), 153, QPalette::Base);

    OK->setFocus();
    Form_Load();
}

void frmOprog::showEvent(QShowEvent* event)
{
    // Centred on the screen frame and all. A window manager tells the frame
    // only once it has drawn it, so the owner's serves until then.
    if (!event->spontaneous()) {
        QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
        if (const QWidget* owner = parentWidget(); frame.isNull() && owner && owner->window()->windowHandle())
            frame = owner->window()->windowHandle()->frameMargins();
        if (const QScreen* target = screen()) {
            QRect outer = QRect(pos(), size()).marginsAdded(frame);
            outer.moveCenter(target->availableGeometry().center());
            // move() places the frame by the offset Qt knows so far, which
            // is none on X11 before the window manager has framed the window.
            const QPoint known = geometry().topLeft() - frameGeometry().topLeft();
            move(outer.topLeft() + QPoint(frame.left(), frame.top()) - known);
        }
        SkipTaskbar(*this);
    }
    QDialog::showEvent(event);
}

QLabel* frmOprog::AddLabel(const QString& name, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    SizeToText(*label, x, y);
    return label;
}

void frmOprog::Form_Load()
{
    QPixmap flag(80, 45);
    flag.fill(Qt::white);
    {
        QPainter painter(&flag);
        // Both corners included; the red's bottom row, y 45, falls outside.
        painter.fillRect(QRect(QPoint(0, 15), QPoint(79, 30)), QColor(0, 0, 255));
        painter.fillRect(QRect(QPoint(0, 31), QPoint(79, 45)), QColor(255, 0, 0));
    }
    Picture1->setPixmap(flag);
    Picture1->setGeometry(8, 160, 80, 45);
}

void frmOprog::Label1_Click()
{
    const BusyPointer busy(*this);
    SaveFileUrl(Label1->Tag());
}

void frmOprog::OK_Click()
{
    close();
}
