#pragma once

#include <QObject>

#include <optional>

class AppSettings;
class QJoysticks;

// Camera actions a game controller can ask for. The mapper calls them on the
// main thread; the implementation acts on the panel's current camera with the
// panel's own speeds. Every move, zoom or focus start is followed, sooner or
// later, by the matching stop call.
class JoystickActions
{
public:
    enum class Direction
    {
        Up,
        Down,
        Left,
        Right,
        UpLeft,
        UpRight,
        DownLeft,
        DownRight
    };
    enum class Zoom
    {
        In, // tele
        Out // wide
    };
    enum class Focus
    {
        In, // near
        Out // far
    };

    virtual ~JoystickActions() = default;

    // Pan/tilt drive in a direction; replaces any drive in progress.
    virtual void move(Direction direction) = 0;
    virtual void stopMove() = 0;
    virtual void home() = 0;
    virtual void zoom(Zoom direction) = 0;
    virtual void stopZoom() = 0;
    virtual void focus(Focus direction) = 0;
    virtual void stopFocus() = 0;
    virtual void toggleAutoFocus() = 0;
    // presetNum 1 ... 3 (buttons 2, 3, 0).
    virtual void recallPreset(int presetNum) = 0;
    virtual void osdMenu() = 0;
    virtual void osdEnter() = 0;
    virtual void osdBack() = 0;
};

// Turns the selected controller's changes into JoystickActions calls.
//
// A change is accepted when the setting "is joystick available" is true and
// its joystick index equals "selected_joystick"; both are read on every
// change, so a saved dialog applies from the next one.
//
// Pan/tilt: the hat, while pushed, decides the direction; otherwise the right
// stick (axis 3 pan, positive right; axis 4 tilt, positive down) with a dead
// zone of |value| <= 0.2 per axis, both axes out of the dead zone giving a
// diagonal. A call is made only when the resulting direction changes: a new
// direction -> move(), back to centre -> stopMove().
//
// Buttons (0 ... 11), acting on press:   4 zoom out, 5 zoom in, 6 focus out,
// 7 focus in, each stopped on release (or handed to the other button of the
// pair while that one is still held);
// acting on release of a press seen:     0 preset 3, 1 auto focus toggle,
// 2 preset 1, 3 preset 2, 8 OSD back, 9 OSD enter, 10 OSD menu, 11 home.
//
// Stops always arrive: when the controller list changes (a controller
// plugged or unplugged), when the selection or the enable setting no longer
// matches the controller that was driving, or on releaseAll(), every move,
// zoom or focus in progress gets its stop and the held state is forgotten.
class JoystickMapper : public QObject
{
    Q_OBJECT
public:
    static constexpr double kDeadZone = 0.2;
    static constexpr int kPanAxis = 3;
    static constexpr int kTiltAxis = 4;

    // `layer` and `settings` must outlive the mapper; `actions` too.
    JoystickMapper(QJoysticks *layer, AppSettings *settings, JoystickActions *actions,
                   QObject *parent = nullptr);

public slots:
    void joystickCountChanged();
    void joystickPOVChanged(int js, int pov, int angle);
    void joystickAxisChanged(int js, int axis, qreal value);
    void joystickButtonChanged(int js, int button, bool pressed);
    // Stops whatever the controller is driving and forgets held controls
    // (the next reported change of a still-held control drives again).
    void releaseAll();

private:
    using Direction = JoystickActions::Direction;
    static constexpr int kButtons = 12;

    // True when events of `js` drive the camera; releases everything first
    // when the accepted controller differs from the one that was driving.
    bool accept(int js);
    void updateMotion();
    void updateZoom();
    void updateFocus();

    JoystickActions *m_actions;
    AppSettings *m_settings;

    // Controller whose held state is tracked (-1 none).
    int m_activeJs = -1;
    int m_panZone = 0;  // -1 left, 0 centre, +1 right
    int m_tiltZone = 0; // -1 up, 0 centre, +1 down
    std::optional<Direction> m_hat;
    std::optional<Direction> m_moving;
    bool m_held[kButtons] = {};
    // Most recently pressed button of a held zoom / focus pair (-1 none).
    int m_zoomButton = -1;
    int m_focusButton = -1;
    int m_zooming = -1;
    int m_focusing = -1;
};
