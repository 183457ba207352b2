// Small painting helpers shared by the skinned windows.
#pragma once

class QPixmap;
class QWidget;

// Fills the widget's background with the picture stretched to its size,
// keeping the picture's device pixel ratio so it stays crisp on dense screens.
void setScaledBackground(QWidget* widget, const QPixmap& picture);

// Clips a frameless window to a rectangle with rounded corners.
void applyRoundedMask(QWidget* widget, int radius);
