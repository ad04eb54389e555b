#pragma once

class frmForma;

// Start-up: fills the catalog, restores the current station, opens the main
// window with its list and puts up the tray icon. Runs once, then the event
// loop drives the program until the main window closes.
void Main();

// The main window Main opened; null once it has closed and been destroyed.
frmForma* MainForm();
// Destroys a main window still left when the event loop has ended, so that
// it never outlives the application object.
void DestroyMainForm();
