#pragma once

class QScreen;
class QWidget;

// The screen the user works on, for every window and box the panel opens:
// the one under the pointer, else the primary one.
QScreen* WorkScreen();
// Puts a window about to be shown in the middle of that screen's free area.
void CentreOnWorkScreen(QWidget* window);
