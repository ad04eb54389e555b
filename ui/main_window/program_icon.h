#pragma once

#include <QIcon>
#include <QPixmap>

// The program's 32 x 32 icon: a portable radio with its antenna up.
QPixmap ProgramPixmap();
QIcon ProgramIcon();
