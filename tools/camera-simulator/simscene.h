#pragma once

// SimScene: what the simulated camera sees. A wide synthetic panorama (sky,
// ground, a degree grid with labelled columns every 20 degrees and coloured
// markers) drawn as vector shapes, so every zoom is sharp; the view is the
// part the simulated head points at.
//
// Geometry: positions are the simulator's signed steps, 14.4 steps a degree
// (pan -2448..2448 is -170..170 degrees, tilt -432..1296 is -30..90). The
// view is centred on (pan, tilt) in degrees; pan to the right and tilt up
// move the scene left and down in the picture. The horizontal field of view
// is 60 degrees at zoom 0 and narrows exponentially to 3 degrees at zoom
// 16384 (20x); the vertical one follows the picture's aspect ratio. With
// manual focus the picture blurs with the distance of the focus position from
// kSharpFocus; auto focus is always sharp. Main thread or any single thread:
// render() is reentrant (no shared state).

#include <QImage>
#include <QSize>
#include <QString>

namespace SimScene {

constexpr double kStepsPerDegree = 14.4;
constexpr double kWideFovDegrees = 60.0;
constexpr double kMaxZoomRatio = 20.0;
constexpr int kMaxZoom = 16384;
constexpr int kSharpFocus = 12288;
// The red disc marker: centre (degrees) and diameter (degrees).
constexpr double kMarkerPan = 0.0;
constexpr double kMarkerTilt = 0.0;
constexpr double kMarkerDiameter = 4.0;

struct View
{
    int pan = 0;  // steps
    int tilt = 0; // steps
    int zoom = 0; // 0..16384
    int focus = kSharpFocus;
    bool autoFocus = true;
    // Printed in a corner when not empty (position read-out, tally).
    QString overlay;
    // A red (program) or green (preview) frame around the picture: 0 none,
    // 1 program, 2 preview.
    int tally = 0;
};

// Horizontal field of view in degrees at `zoom`.
double horizontalFov(int zoom);
// Picture pixels per degree of the scene at `zoom` for a picture `width` wide.
double pixelsPerDegree(int zoom, int width);
// The view as an RGB32 picture of `size`.
QImage render(const View &view, const QSize &size);

} // namespace SimScene
