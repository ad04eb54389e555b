#pragma once

class frmForma;

// Offers the program to the desktop's media keys and media controls (MPRIS 2
// on the session bus). Where there is no session bus it does nothing.
void MediaKeysAdd(frmForma& form);
