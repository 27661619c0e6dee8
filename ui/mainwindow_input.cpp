// Keyboard hotkeys and the game controller of the main window.

#include "mainwindow.h"

#include "appsettings.h"
#include "cameracontrol.h"
#include "joystickdlg.h"
#include "joystickwrapper.h"
#include "messagepresenter.h"
#include "qjoysticks.h"
#include "theme.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QSignalBlocker>
#include <QTimer>

namespace {

// Preset number 1-9 of a function key; 0 for any other key.
int presetKey(int key)
{
    return key >= Qt::Key_F1 && key <= Qt::Key_F9 ? key - Qt::Key_F1 + 1 : 0;
}

bool isMotionKey(int key)
{
    return key == Qt::Key_W || key == Qt::Key_A || key == Qt::Key_S || key == Qt::Key_D;
}

bool isZoomKey(int key)
{
    return key == Qt::Key_Q || key == Qt::Key_E;
}

// The motions running on any camera are stopped through the layer (on the
// camera each was sent to) and the controller's held state is forgotten
// without further calls: a control still held drives again, on the camera
// then selected, only at its next reported change.
void stopAndForgetController(CameraControl *control, JoystickWrapper *joystick)
{
    control->stopAll();
    if (!joystick)
        return;
    const QSignalBlocker quiet(joystick);
    joystick->releaseAll();
}

} // namespace

// Sees every key event of the application before the widget it is sent to,
// so hotkeys work whatever control of the window has the focus (a focusable
// combo box would otherwise take W/A/S/D as item search). Text inputs keep
// their keys. Presses count only in the main window; the release of a key
// whose press was taken is taken in any window of the program (the focus may
// have moved to a dialog or a box meanwhile), so its stop arrives.
//
// Releases are acted on only when the key is really up: some X servers deliver
// auto-repeat as release/press pairs that are not marked as repeats, so a
// release waits kReleaseGraceMs and is cancelled by a press of the same key
// within that time. Holding a key therefore gives one press action and one
// release action whatever the server does.
//
// The filter is a child of the window; it touches only its own members and
// the control layer, also while the window is destroyed.
class MainWindow::HotkeyFilter : public QObject
{
public:
    // Longest gap between an auto-repeat release and its press (ms).
    static constexpr int kReleaseGraceMs = 30;

    HotkeyFilter(MainWindow *window, CameraControl *control)
        : QObject(window), m_window(window), m_control(control)
    {
        m_releaseTimer.setSingleShot(true);
        m_releaseTimer.setTimerType(Qt::PreciseTimer);
        connect(&m_releaseTimer, &QTimer::timeout, this, [this] { actOnDueReleases(false); });
        m_clock.start();
    }

    // Hotkeys whose press was taken and whose release is owed.
    QList<int> held;
    // Set once the window has a controller.
    QPointer<JoystickWrapper> joystick;

    // The operator looked away (the application lost the focus): releases
    // already seen are acted on now, every motion stops, held keys and
    // controls are forgotten.
    void lookedAway()
    {
        actOnDueReleases(true);
        held.clear();
        stopAndForgetController(m_control, joystick);
    }

    // A release of `key` (already taken): acted on after the grace period
    // unless a press of the same key comes first.
    void deferRelease(int key)
    {
        for (const Pending &p : qAsConst(m_pending)) {
            if (p.key == key)
                return;
        }
        m_pending.append({key, m_clock.elapsed() + kReleaseGraceMs});
        if (!m_releaseTimer.isActive())
            m_releaseTimer.start(kReleaseGraceMs);
    }
    // A press of `key` right after its release: an auto-repeat; true when a
    // pending release was cancelled.
    bool cancelRelease(int key)
    {
        for (int i = 0; i < m_pending.size(); ++i) {
            if (m_pending.at(i).key == key) {
                m_pending.removeAt(i);
                return true;
            }
        }
        return false;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        const QEvent::Type type = e->type();
        if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        // Only the first receiver (the focus widget, or its window without
        // one): an event its receiver ignored is shown again for each parent.
        QWidget *receiver = QApplication::focusWidget();
        if (widget != (receiver ? receiver : widget->window()))
            return false;
        const auto *key = static_cast<const QKeyEvent *>(e);
        const bool pressed = type == QEvent::KeyPress;
        const bool owedRelease = !pressed && held.contains(key->key());
        if (widget->window() != m_window && !owedRelease)
            return false;
        if (widget->testAttribute(Qt::WA_InputMethodEnabled) && !owedRelease)
            return false;
        return m_window->handleHotkey(key, pressed);
    }

private:
    struct Pending
    {
        int key;
        qint64 due; // m_clock time (ms)
    };

    void actOnDueReleases(bool all)
    {
        const qint64 now = m_clock.elapsed();
        QList<int> due;
        for (int i = 0; i < m_pending.size();) {
            if (all || m_pending.at(i).due <= now) {
                due.append(m_pending.at(i).key);
                m_pending.removeAt(i);
            } else {
                ++i;
            }
        }
        if (!m_pending.isEmpty())
            m_releaseTimer.start(int(qMax<qint64>(0, m_pending.first().due - now)));
        for (int key : qAsConst(due))
            m_window->actOnHotkeyRelease(key);
    }

    MainWindow *m_window;
    CameraControl *m_control;
    QList<Pending> m_pending;
    QTimer m_releaseTimer;
    QElapsedTimer m_clock;
};

void MainWindow::setupHotkeys()
{
    m_hotkeyFilter = new HotkeyFilter(this, m_control);
    qApp->installEventFilter(m_hotkeyFilter);
    // Focus moving between the program's own windows (a dialog, the preview,
    // a box) is not the operator looking away; the whole program losing the
    // focus is.
    connect(qApp, &QGuiApplication::applicationStateChanged, m_hotkeyFilter,
            [filter = m_hotkeyFilter](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    filter->lookedAway();
            });
}

bool MainWindow::handleHotkey(const QKeyEvent *e, bool pressed)
{
    const int key = e->key();
    const int preset = presetKey(key);
    if (!isMotionKey(key) && !isZoomKey(key) && !preset)
        return false;
    // Read on every key: the dialog's choice applies from the next key. A
    // release whose press was taken is taken in any case.
    const bool owedRelease = !pressed && m_hotkeyFilter->held.contains(key);
    if (!owedRelease && (!m_settings || !m_settings->isHotkeyAvailable()))
        return false;
    // A held key is one press and one release.
    if (e->isAutoRepeat())
        return true;

    if (!pressed) {
        if (owedRelease)
            m_hotkeyFilter->deferRelease(key);
        return true;
    }
    // A press right after the key's own release is an auto-repeat the server
    // did not mark; a press of a key already held is one too.
    if (m_hotkeyFilter->cancelRelease(key) || m_hotkeyFilter->held.contains(key))
        return true;
    if ((isMotionKey(key) || isZoomKey(key)) && !canDrive())
        return true;
    const int panSpeed = m_control->speed(CameraControl::Pan);
    const int tiltSpeed = m_control->speed(CameraControl::Tilt);
    switch (key) {
    case Qt::Key_W:
        m_control->move(CameraControl::Up, panSpeed, tiltSpeed);
        break;
    case Qt::Key_A:
        m_control->move(CameraControl::Left, panSpeed, tiltSpeed);
        break;
    case Qt::Key_S:
        m_control->move(CameraControl::Down, panSpeed, tiltSpeed);
        break;
    case Qt::Key_D:
        m_control->move(CameraControl::Right, panSpeed, tiltSpeed);
        break;
    case Qt::Key_Q:
        m_control->zoomIn();
        break;
    case Qt::Key_E:
        m_control->zoomOut();
        break;
    default:
        break; // presets act on release
    }
    m_hotkeyFilter->held.append(key);
    return true;
}

void MainWindow::actOnHotkeyRelease(int key)
{
    if (!m_hotkeyFilter->held.removeAll(key))
        return;
    // Stops go to the camera the motion was sent to (the layer tracks it);
    // without a running motion they need a connected camera.
    if (isMotionKey(key))
        m_control->stopMove(m_control->speed(CameraControl::Pan),
                            m_control->speed(CameraControl::Tilt));
    else if (isZoomKey(key))
        m_control->stopZoom();
    else if (canDrive())
        onCallPreset(presetKey(key));
}

void MainWindow::setJoysticks(QJoysticks *layer)
{
    if (m_joystick || !layer)
        return;
    m_joysticks = layer;
    m_joystick = new JoystickWrapper(layer, m_settings, this);
    m_hotkeyFilter->joystick = m_joystick;
    JoystickWrapper *j = m_joystick;
    connect(j, &JoystickWrapper::backBtnTriggered, this, &MainWindow::onOsdBackClicked);
    connect(j, &JoystickWrapper::enterBtnTriggered, this, &MainWindow::onOsdEnterClicked);
    connect(j, &JoystickWrapper::osdMenuBtnTriggered, this, &MainWindow::onOsdMenuClicked);
    connect(j, &JoystickWrapper::moveLeftBtnTriggered, this, &MainWindow::onMoveLeft);
    connect(j, &JoystickWrapper::moveRightBtnTriggered, this, &MainWindow::onMoveRight);
    connect(j, &JoystickWrapper::moveTopBtnTriggered, this, &MainWindow::onMoveTop);
    connect(j, &JoystickWrapper::moveBottomBtnTriggered, this, &MainWindow::onMoveBottom);
    connect(j, &JoystickWrapper::moveTopLeftBtnTriggered, this, &MainWindow::onAngleUpLeft);
    connect(j, &JoystickWrapper::moveTopRightBtnTriggered, this, &MainWindow::onAngleUpRight);
    connect(j, &JoystickWrapper::moveBottomRightBtnTriggered, this, &MainWindow::onAngleDownRight);
    connect(j, &JoystickWrapper::moveBottomLeftBtnTriggered, this, &MainWindow::onAngleDownLeft);
    connect(j, &JoystickWrapper::moveStop, this, &MainWindow::onStopMoving);
    connect(j, &JoystickWrapper::moveHome, this, &MainWindow::onMoveHome);
    connect(j, &JoystickWrapper::zoomInBtnTriggered, this, &MainWindow::onZoomIn);
    connect(j, &JoystickWrapper::zoomOutBtnTriggered, this, &MainWindow::onZoomOut);
    connect(j, &JoystickWrapper::zoomStop, this, &MainWindow::onStopZooming);
    connect(j, &JoystickWrapper::focusInBtnTriggered, this, &MainWindow::onFocusIn);
    connect(j, &JoystickWrapper::focusOutBtnTriggered, this, &MainWindow::onFocusOut);
    connect(j, &JoystickWrapper::focusStop, this, &MainWindow::onStopFocusing);
    connect(j, &JoystickWrapper::luminanceChangeTriggered, this,
            &MainWindow::onLuminanceChangeTriggered);
    connect(j, &JoystickWrapper::contrastChangeTriggered, this,
            &MainWindow::onContrastChangeTriggered);
    connect(j, &JoystickWrapper::hueChangeTriggered, this, &MainWindow::onHueChangeTriggered);
    connect(j, &JoystickWrapper::focusStateChange, this, &MainWindow::autoFocusClick);
    connect(j, &JoystickWrapper::callPreset, this, &MainWindow::onCallPreset);
    connect(j, &JoystickWrapper::switchCamera, this, &MainWindow::onSwitchCamera);

    // A camera switch, a rebuild of the list or a box opening ends what the
    // controller drives, on the camera it drives.
    auto forget = [this] {
        stopAndForgetController(m_control, m_joystick);
    };
    connect(m_control, &CameraControl::aboutToReleaseCameras, j, forget);
    connect(m_control, &CameraControl::currentCameraChanged, j, forget);
    connect(m_messages, &MessagePresenter::aboutToShow, j, forget);
}

void MainWindow::onJoyStickClicked()
{
    if (!m_joysticks) {
        qCWarning(lcUi) << "no joystick layer: the input dialog is not available";
        return;
    }
    // The dialog takes the focus (and with it every held button's release).
    stopAndForgetController(m_control, m_joystick);
    JoyStickDlg dialog(m_joysticks, m_settings);
    dialog.setStyleSheet(Theme::dialogStyleSheet());
    dialog.exec();
    // OK stored the choice: the mapper reads it at the next change of a
    // controller, the hotkeys at the next key. Whatever was held before is
    // forgotten, so a newly selected controller starts from rest.
    stopAndForgetController(m_control, m_joystick);
}
