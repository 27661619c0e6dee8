#pragma once

#include <QString>

class QWidget;

// The panel's dark grey theme as Qt style sheets.
namespace Theme {

// The main window's style sheet (inherited by every child widget and by the
// windows it parents), including the three-state sprite skins of the motion,
// zoom, focus and preview buttons.
QString mainWindowStyleSheet();

// The help and about windows, which are created without a parent: the same
// theme with the dialog itself as the dark background.
QString dialogStyleSheet();

// Camera selection buttons: normal and selected. Both colour a button by its
// dynamic property "tally" ("program" red, "preview" green, else plain).
QString cameraButtonStyle();
QString selectedCameraButtonStyle();

// Sprite buttons carry no disabled frame: draw `widget` faded while it is
// disabled.
void dimWhenDisabled(QWidget *widget);

} // namespace Theme
