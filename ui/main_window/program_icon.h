#pragma once

#include <QIcon>
#include <QPixmap>

// The program's icon: a portable radio with its antenna up, drawn for every
// size the desktop asks for; at 32 x 32 it is the classic 16-colour picture.
QIcon ProgramIcon();
// The 32 x 32 picture, at the screen's device pixel ratio, read from the one
// size it is drawn from.
QPixmap ProgramPixmap();
