#pragma once

#include "joystickmapper.h"

#include <QObject>

class AppSettings;
class QJoysticks;

// The game controller as a set of panel signals: a JoystickMapper whose
// actions are emitted as the signals below (direct connections, main thread).
// Connect them to the panel's motion, zoom, focus, preset and on-screen-menu
// slots. luminance/contrast/hueChangeTriggered and switchCamera are not
// emitted by any controller input.
class JoystickWrapper : public QObject, private JoystickActions
{
    Q_OBJECT
public:
    // Disables the layer's virtual (keyboard) joystick: the keyboard drives
    // the camera through the panel's hotkeys only.
    JoystickWrapper(QJoysticks *layer, AppSettings *settings, QObject *parent = nullptr);

    JoystickMapper *mapper() { return &m_mapper; }

signals:
    void osdMenuBtnTriggered();
    void enterBtnTriggered();
    void backBtnTriggered();
    void moveLeftBtnTriggered();
    void moveRightBtnTriggered();
    void moveTopBtnTriggered();
    void moveBottomBtnTriggered();
    void moveTopLeftBtnTriggered();
    void moveTopRightBtnTriggered();
    void moveBottomRightBtnTriggered();
    void moveBottomLeftBtnTriggered();
    void moveStop();
    void moveHome();
    void zoomInBtnTriggered();
    void zoomOutBtnTriggered();
    void zoomStop();
    void focusInBtnTriggered();
    void focusOutBtnTriggered();
    void focusStop();
    void focusStateChange();
    void luminanceChangeTriggered(bool increase);
    void contrastChangeTriggered(bool increase);
    void hueChangeTriggered(bool increase);
    void switchCamera(int index);
    void callPreset(int presetNum);

public slots:
    // Stops whatever the controller drives (see JoystickMapper::releaseAll).
    void releaseAll() { m_mapper.releaseAll(); }

private:
    void move(Direction direction) override;
    void stopMove() override { emit moveStop(); }
    void home() override { emit moveHome(); }
    void zoom(Zoom direction) override;
    void stopZoom() override { emit zoomStop(); }
    void focus(Focus direction) override;
    void stopFocus() override { emit focusStop(); }
    void toggleAutoFocus() override { emit focusStateChange(); }
    void recallPreset(int presetNum) override { emit callPreset(presetNum); }
    void osdMenu() override { emit osdMenuBtnTriggered(); }
    void osdEnter() override { emit enterBtnTriggered(); }
    void osdBack() override { emit backBtnTriggered(); }

    JoystickMapper m_mapper;
};
