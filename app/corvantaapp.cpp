#include "corvantaapp.h"

#include "appsettings.h"
#include "cameraapihandler.h"
#include "cameracontrol.h"
#include "camerawrapper.h"
#include "httpserverwrapper.h"
#include "mainwindow.h"
#include "messagepresenter.h"
#include "obswrapper.h"
#include "qjoysticks.h"
#include "resources.h"
#include "switcherapihandlers.h"
#include "tallyapi.h"
#include "tallylamps.h"
#include "tallymodel.h"
#include "tallysettingdlg.h"
#include "usbcamerabackend.h"
#include "visca.h"
#include "vmixwrapper.h"

#include <QDir>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Qt's platform messages held while the window system is being reached.
struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};
QtMessageHandler g_previousHandler = nullptr;
bool g_guarding = false;
QList<HeldMessage> *g_held = nullptr;

void platformStartHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    const bool platform = context.category && std::strncmp(context.category, "qt.qpa", 6) == 0;
    if (type == QtFatalMsg && text.contains(QLatin1String("platform plugin"))) {
        const QByteArray display = qgetenv("DISPLAY");
        std::fprintf(stderr,
                     "corvanta: cannot start: no display could be opened (DISPLAY=%s); start it "
                     "in a desktop session\n",
                     display.isEmpty() ? "<unset>" : display.constData());
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (platform && type != QtFatalMsg && g_held) {
        g_held->append({type, QByteArray(context.category), text});
        return;
    }
    g_previousHandler(type, context, text);
}

void endPlatformStartGuard()
{
    if (!g_guarding)
        return;
    g_guarding = false;
    qInstallMessageHandler(g_previousHandler);
    const QList<HeldMessage> held = *g_held;
    delete g_held;
    g_held = nullptr;
    for (const HeldMessage &m : held) {
        const QMessageLogContext context(nullptr, 0, nullptr, m.category.constData());
        g_previousHandler(m.type, context, m.text);
    }
}

// The window-side state of the camera API, over the main window.
class MainWindowApiPanel : public CameraApiPanel
{
public:
    explicit MainWindowApiPanel(MainWindow *window) : m_window(window) {}
    void setPresetButtonText(int n, const QString &name) override
    {
        if (m_window)
            m_window->setMemoryButtonText(n, name);
    }
    void savePreset(int n, const QString &name) override
    {
        if (m_window)
            m_window->savePreset(n, name);
    }
    bool isSyncingFromCamera() const override { return m_window && m_window->uiSyncState == 1; }
    void showAutoFocus(bool on) override
    {
        if (m_window)
            m_window->showAutoFocus(on);
    }

private:
    QPointer<MainWindow> m_window;
};

} // namespace

void CorvantaApp::guardPlatformStart()
{
    if (g_guarding)
        return;
    g_guarding = true;
    g_held = new QList<HeldMessage>;
    g_previousHandler = qInstallMessageHandler(platformStartHandler);
}

CorvantaApp::CorvantaApp(int &argc, char **argv) : QApplication(argc, argv)
{
    endPlatformStartGuard();
    Resources::init();
    setupVlcPluginPath(QCoreApplication::applicationDirPath());

    m_settings = new AppSettings();
    m_control = new CameraControl(m_settings);
    m_messages = new MessagePresenter();
    // Settings that cannot be read or written are the operator's to know:
    // told once, without stopping whatever is running.
    if (!m_settings->loadProblem().isEmpty())
        m_messages->show(m_settings->loadProblem());
    connect(m_settings, &AppSettings::storeFailed, m_messages, &MessagePresenter::show);
    createCameras();

    m_httpServer = new HttpServerWrapper(m_settings);
    m_cameraApi = new CameraApiHandler(m_control, m_settings, nullptr,
                                       [] { return UsbCameraBackend::deviceNames(); });
    m_cameraApi->attach(m_httpServer);
    if (m_settings->startupOnLaunch())
        startHttpServer();

    m_vmix = new VMixWrapper(m_settings->vmixIp(), m_settings->vmixPort(), m_settings->vmixId(),
                             m_settings->vmixPwd());
    m_vmixApi = new VMixApiHandler(m_vmix, m_settings);
    m_vmixApi->attach(m_httpServer);
    if (m_settings->enableVmixCtrl())
        startVMixControl();
    m_obs = new ObsWrapper(m_settings->obsIp(), m_settings->obsPort(), m_settings->obsPwd());
    m_obsApi = new ObsApiHandler(m_obs, m_settings);
    m_obsApi->attach(m_httpServer);
    if (m_settings->enableObsCtrl())
        startObsControl();

    // Tally: the switchers feed the model; the lamps follow it; the control
    // layer asks it before a recall or move on the camera on program.
    m_tally = new TallyModel();
    m_tally->followObs(m_obs);
    m_tally->followVMix(m_vmix);
    m_lamps = new TallyLamps(m_control, m_tally);
    m_tallyApi = new TallyApiHandler(m_tally);
    m_tallyApi->attach(m_httpServer);
    m_control->setGuard([this](int slot, CameraControl::Guarded what) {
        CameraWrapper *camera = m_control->cameraAt(slot);
        return TallyModel::refusal(slot, camera ? camera->getCameraName() : QString(),
                                   m_tally->state(slot), m_settings->protectLive(),
                                   what == CameraControl::GuardedRecall);
    });
    applyTallySettings();

    // The controller blacklist lives in the platform's native settings under
    // these names; the application's global names stay unset (they would
    // move the per-user folder).
    m_joysticks = new QJoysticks(QStringLiteral("corvanta"), QStringLiteral("corvanta-controller"));
    m_mainWindow = new MainWindow(m_settings, m_control, m_messages);
    m_mainWindow->setJoysticks(m_joysticks);
    m_panelAdapter = std::make_unique<MainWindowApiPanel>(m_mainWindow);
    m_cameraApi->setPanel(m_panelAdapter.get());
    m_mainWindow->setWebServerSettingsOpener([this] { openWebServerSettings(); });
    m_mainWindow->setTallySettingsOpener([this] { openTallySettings(); });
    connect(m_tally, &TallyModel::slotStateChanged, m_mainWindow,
            [this](int slot, TallyModel::State state) {
                m_mainWindow->setCameraTally(slot, TallyModel::stateName(state));
            });
    // Queued: the refusal may come from inside a request or device handler.
    connect(
        m_control, &CameraControl::refused, m_mainWindow,
        [this](const QString &message) { m_mainWindow->showStatusMessage(message); },
        Qt::QueuedConnection);
    connectCameraSignals();
    m_mainWindow->show();
}

CorvantaApp::~CorvantaApp()
{
    // The server first: no request reaches a handler or client below after
    // this point.
    delete m_httpServer;
    m_httpServer = nullptr;
    delete m_cameraApi;
    m_cameraApi = nullptr;
    delete m_tallyApi;
    m_tallyApi = nullptr;
    delete m_vmixApi;
    m_vmixApi = nullptr;
    delete m_obsApi;
    m_obsApi = nullptr;
    delete m_vmix;
    m_vmix = nullptr;
    delete m_obs;
    m_obs = nullptr;
    delete m_mainWindow;
    m_mainWindow = nullptr;
    // The lamps let go of their connections before the control layer goes.
    delete m_lamps;
    m_lamps = nullptr;
    m_control->setGuard(nullptr);
    delete m_tally;
    m_tally = nullptr;
    delete m_joysticks;
    m_joysticks = nullptr;
    delete m_messages;
    m_messages = nullptr;
    // Stops what still moves, then deletes the cameras directly: the event
    // loop has ended, so none is emitting any more (a deleteLater would never
    // run and a USB camera would keep its device open).
    delete m_control;
    m_control = nullptr;
    delete m_settings;
    m_settings = nullptr;
}

QList<CameraWrapper *> CorvantaApp::cameras() const
{
    return m_control->cameras();
}

CorvantaApp *CorvantaApp::instance()
{
    return qobject_cast<CorvantaApp *>(QCoreApplication::instance());
}

void CorvantaApp::setupVlcPluginPath(const QString &applicationDir)
{
    const QString plugins = QDir(applicationDir).filePath(QStringLiteral("plugins"));
    if (QDir(plugins).exists())
        qputenv("VLC_PLUGIN_PATH", QDir::toNativeSeparators(plugins).toUtf8());
}

void CorvantaApp::createCameras()
{
    m_control->rebuildCameras();
}

void CorvantaApp::connectCameraSignals()
{
    connect(m_control, &CameraControl::cameraError, this, &CorvantaApp::onCameraError,
            Qt::UniqueConnection);
    connect(m_messages, &MessagePresenter::aboutToShow, m_control, &CameraControl::stopAll,
            Qt::UniqueConnection);
}

bool CorvantaApp::startHttpServer()
{
    const std::optional<quint16> port = m_settings->serverListenPort();
    if (port && m_httpServer->startServer(m_settings->serverNic(), *port))
        return true;
    // Also called from start-up and the settings dialog: the box must not
    // block either of them.
    m_messages->show(QStringLiteral("Can not turn on Http Server. Please check NIC and port "
                                    "number settings."));
    return false;
}

bool CorvantaApp::stopHttpServer()
{
    m_httpServer->stopServer();
    return true;
}

bool CorvantaApp::startObsControl()
{
    m_obs->connectToServer();
    m_obs->startPolling();
    return true;
}

bool CorvantaApp::stopObsControl()
{
    m_obs->disconnectFromServer();
    m_obs->stopPolling();
    return true;
}

bool CorvantaApp::startVMixControl()
{
    m_vmix->startPolling();
    return true;
}

bool CorvantaApp::stopVMixControl()
{
    m_vmix->stopPolling();
    return true;
}

void CorvantaApp::openWebServerSettings()
{
    auto *dialog = new WebServerSettings(m_settings, this, m_mainWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CorvantaApp::openTallySettings()
{
    QStringList names;
    for (CameraWrapper *camera : m_control->cameras())
        names << (camera ? camera->getCameraName() : QString());
    QStringList inputs;
    for (const VMixInput &input : m_vmix->getInputs())
        inputs << input.title;
    auto *dialog =
        new TallySettingDlg(m_settings, names, m_obs->sceneNames(), inputs, m_mainWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &TallySettingDlg::saved, this, &CorvantaApp::applyTallySettings);
    dialog->open();
}

void CorvantaApp::applyTallySettings()
{
    QVector<TallyModel::Mapping> mappings;
    for (int slot = 1; slot <= TallyModel::kSlots; ++slot) {
        const TallySlotSetting t = m_settings->tallySlot(slot);
        mappings.append({t.obs, t.vmix});
        TallyLamps::Command command;
        command.mode = t.command;
        // A stored custom message that is not valid VISCA is never sent.
        command.program = Visca::parseCustomCommand(t.program);
        command.preview = Visca::parseCustomCommand(t.preview);
        command.off = Visca::parseCustomCommand(t.off);
        m_lamps->setCommand(slot - 1, command);
    }
    m_tally->setMappings(mappings);
}

void CorvantaApp::onCameraError(QString str)
{
    m_messages->show(str);
}
