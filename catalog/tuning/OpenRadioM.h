#pragma once

class QWidget;
class MediaPlayer;
class usrReklamaX;

// Plays the highlighted station NomerSel: the player gets its address, the
// panel a fresh advertisement, the window title and the tray tooltip its name;
// then it becomes the current station. Waits for nothing and reports nothing.
void OpenRadio(QWidget& form, MediaPlayer& WindowsMediaPlayer, usrReklamaX& usrReklamaX1);
