#include "program_icon.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QtMath>

#include <iterator>

// The resource file is compiled into this static library; make sure the
// linker keeps it. Outside any namespace, as Q_INIT_RESOURCE declares a function.
static void initResources()
{
    static bool done = false;
    if (!done) {
        Q_INIT_RESOURCE(main_window);
        done = true;
    }
}

namespace {

constexpr int Sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QString fileOf(int size)
{
    initResources();
    return size == 32 ? QStringLiteral(":/tolva/tolva.png") : QStringLiteral(":/tolva/tolva-%1.png").arg(size);
}

}  // namespace

QIcon ProgramIcon()
{
    QIcon icon;
    for (const int size : Sizes)
        icon.addFile(fileOf(size), QSize(size, size));
    return icon;
}

QPixmap ProgramPixmap()
{
    // Only the picture the screen needs is read, as the whole icon would pick
    // it: the smallest that is large enough, else the largest.
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    const int wanted = qCeil(32 * ratio);
    int size = Sizes[std::size(Sizes) - 1];
    for (const int candidate : Sizes)
        if (candidate >= wanted) {
            size = candidate;
            break;
        }
    // Read as the PNG it is: a reader left to guess the format loads every
    // image format plugin to ask it.
    QImageReader reader(fileOf(size), "png");
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (image.width() != wanted)
        image = image.scaled(wanted, wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPixmap picture = QPixmap::fromImage(image);
    picture.setDevicePixelRatio(ratio);
    return picture;
}
