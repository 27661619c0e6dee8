#include "appsettings.h"

#include "storagepaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QTimer>

Q_LOGGING_CATEGORY(lcApp, "corvanta.app")

namespace {

QString num(int n)
{
    return QString::number(n);
}

// Key helpers: the concatenations that make up the file format.
QString camKey(const QString &id, const char *suffix)
{
    return id + QLatin1Char('_') + QLatin1String(suffix);
}

QString presetKey(const QString &id, int n, const char *suffix)
{
    return id + QLatin1Char('_') + num(n) + QLatin1Char('_') + QLatin1String(suffix);
}

QString boxKey(const char *word, const QString &id, int n)
{
    return QLatin1String(word) + id + num(n);
}

// True when a value read back from the file already equals the one about to be
// written. Scalars read from the file are text, so they are compared with the
// text they are written as.
bool sameValue(const QVariant &stored, const QVariant &next)
{
    if (stored.userType() == next.userType())
        return stored == next;
    if (stored.userType() != QMetaType::QString)
        return false;
    switch (next.userType()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::QString:
        return stored.toString() == next.toString();
    default:
        return false;
    }
}

// UTF-8 for settings.ini. Qt's INI writer hands the codec one UTF-16 unit at
// a time, which cuts a surrogate pair in two (Qt's own UTF-8 codec then drops
// both halves); this codec keeps a high surrogate back until the next call
// brings its low half and writes the character's four UTF-8 bytes. A
// surrogate without its partner is as lost as before. Reading is plain UTF-8.
class IniUtf8Codec : public QTextCodec
{
public:
    // Qt owns and deletes registered codecs; there is one for the process.
    static IniUtf8Codec *instance()
    {
        static IniUtf8Codec *codec = new IniUtf8Codec;
        return codec;
    }
    QByteArray name() const override { return QByteArrayLiteral("corvanta-ini-utf-8"); }
    int mibEnum() const override { return -2023; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *state) const override
    {
        return QTextCodec::codecForMib(106)->toUnicode(in, length, state);
    }
    QByteArray convertFromUnicode(const QChar *in, int length, ConverterState *) const override
    {
        QString text;
        if (!m_heldHigh.isNull()) {
            text += m_heldHigh;
            m_heldHigh = QChar();
        }
        text.append(in, length);
        if (!text.isEmpty() && text.at(text.size() - 1).isHighSurrogate()) {
            m_heldHigh = text.at(text.size() - 1);
            text.chop(1);
        }
        return text.toUtf8();
    }

private:
    IniUtf8Codec() = default;
    mutable QChar m_heldHigh;
};
// Link keys of a `cameraslist` entry, all optional.
const char *const kLinkKeys[] = {"protocol", "port",    "httpport", "address",
                                 "baud",     "stream1", "stream2"};

// The link keys present at the current array index, as stored.
QVariantMap storedLinkKeys(const QSettings &settings)
{
    QVariantMap keys;
    for (const char *key : kLinkKeys) {
        const QString k = QLatin1String(key);
        if (settings.contains(k))
            keys.insert(k, settings.value(k));
    }
    return keys;
}

// The keys that store `link`: those that differ from the defaults.
QVariantMap linkKeys(const CameraLinkConfig &link)
{
    QVariantMap keys;
    if (link.protocol != CameraLinkConfig::Tcp)
        keys.insert(QStringLiteral("protocol"), CameraLinkConfig::protocolName(link.protocol));
    if (link.port)
        keys.insert(QStringLiteral("port"), int(link.port));
    if (link.httpPort)
        keys.insert(QStringLiteral("httpport"), int(link.httpPort));
    if (link.address != 1)
        keys.insert(QStringLiteral("address"), link.address);
    if (link.baud != CameraLinkConfig::kDefaultBaud)
        keys.insert(QStringLiteral("baud"), link.baud);
    if (!link.stream1.isEmpty())
        keys.insert(QStringLiteral("stream1"), link.stream1);
    if (!link.stream2.isEmpty())
        keys.insert(QStringLiteral("stream2"), link.stream2);
    return keys;
}

// The link of the entry at the current array index; a value out of range
// leaves its default (with a warning).
CameraLinkConfig readLinkConfig(const QSettings &settings, int entry)
{
    CameraLinkConfig link;
    auto warn = [entry](const char *key, const QVariant &v) {
        qCWarning(lcApp) << "cameraslist entry" << entry << "has an unusable" << key << v
                         << "- using the default";
    };
    const QVariant protocol = settings.value(QStringLiteral("protocol"));
    if (protocol.isValid()) {
        if (const auto p = CameraLinkConfig::protocolFromName(protocol.toString()))
            link.protocol = *p;
        else
            warn("protocol", protocol);
    }
    auto port = [&](const char *key, quint16 &field) {
        const QVariant v = settings.value(QLatin1String(key));
        if (!v.isValid())
            return;
        bool ok = false;
        const uint n = v.toString().trimmed().toUInt(&ok);
        if (ok && n >= 1 && n <= 65535)
            field = quint16(n);
        else
            warn(key, v);
    };
    port("port", link.port);
    port("httpport", link.httpPort);
    const QVariant address = settings.value(QStringLiteral("address"));
    if (address.isValid()) {
        bool ok = false;
        const int a = address.toString().trimmed().toInt(&ok);
        if (ok && a >= 1 && a <= 7)
            link.address = a;
        else
            warn("address", address);
    }
    const QVariant baud = settings.value(QStringLiteral("baud"));
    if (baud.isValid()) {
        bool ok = false;
        const int b = baud.toString().trimmed().toInt(&ok);
        if (ok && CameraLinkConfig::validBaud(b))
            link.baud = b;
        else
            warn("baud", baud);
    }
    link.stream1 = settings.value(QStringLiteral("stream1")).toString();
    link.stream2 = settings.value(QStringLiteral("stream2")).toString();
    return link;
}

bool sameKeys(const QVariantMap &stored, const QVariantMap &next)
{
    if (stored.size() != next.size())
        return false;
    for (auto it = next.cbegin(); it != next.cend(); ++it) {
        if (!stored.contains(it.key()) || !sameValue(stored.value(it.key()), it.value()))
            return false;
    }
    return true;
}

} // namespace

QSettings *AppSettings::openSettings(const QString &file) const
{
    auto *settings = new QSettings(file, QSettings::IniFormat);
    // Text is UTF-8 on disk (a file edited by hand reads back unchanged);
    // the \x escapes written by earlier versions are still decoded.
    settings->setIniCodec(IniUtf8Codec::instance());
    return settings;
}

AppSettings::AppSettings(QObject *parent) : QObject(parent)
{
    // mkpath rather than a single mkdir: on a fresh account the parent of the
    // application-data folder (~/.local/share) may not exist yet, and a
    // single-level mkdir would then leave every later write failing silently.
    QDir dir;
    dir.mkpath(Storage::appDataFolder());
    dir.mkpath(Storage::userFolder());
    dir.mkpath(Storage::downloadsFolder());

    const QString file = Storage::userFolder() + QStringLiteral("/settings.ini");
    // A first start leaves an (empty) settings file behind even when nothing
    // is changed, so the operator can find and edit it.
    if (!QFile::exists(file)) {
        QFile touch(file);
        if (!touch.open(QIODevice::WriteOnly))
            qCWarning(lcApp) << "cannot create" << file;
    }
    m_settings = openSettings(file);
    if (m_settings->status() == QSettings::AccessError && QFileInfo::exists(file)) {
        // Writing over a file that could not be read would replace the
        // operator's settings with defaults: the session keeps its changes
        // in a stand-in file instead.
        qCWarning(lcApp) << "cannot read" << file;
        m_loadProblem = tr("The settings file %1 cannot be read. Corvanta runs on default "
                           "settings, and changes made now are not saved.")
                            .arg(QDir::toNativeSeparators(file));
        delete m_settings;
        m_scratch = std::make_unique<QTemporaryDir>();
        m_settings = openSettings(m_scratch->filePath(QStringLiteral("settings.ini")));
    } else if (m_settings->status() == QSettings::FormatError) {
        qCWarning(lcApp) << file << "is malformed; unreadable lines are ignored";
        reopen();
    }
}

AppSettings::~AppSettings()
{
    if (m_commitScheduled)
        commit();
    delete m_settings;
}

void AppSettings::reopen()
{
    // The new object shares Qt's cached copy of the file, pending changes
    // included, as long as the old one still holds it.
    QSettings *fresh = openSettings(m_settings->fileName());
    delete m_settings;
    m_settings = fresh;
}

bool AppSettings::commit()
{
    m_commitScheduled = false;
    if (m_settings->status() != QSettings::NoError)
        reopen();
    m_settings->sync();
    const bool ok = !m_scratch && m_settings->status() != QSettings::AccessError;
    if (ok) {
        m_failureReported = false;
        return true;
    }
    if (!m_failureReported) {
        m_failureReported = true;
        qCWarning(lcApp) << "cannot write" << fileName();
        if (!m_scratch) {
            emit storeFailed(tr("Settings could not be saved: %1 cannot be written. Changes "
                                "made now are lost when Corvanta ends.")
                                 .arg(QDir::toNativeSeparators(fileName())));
        }
    }
    return false;
}

void AppSettings::scheduleCommit()
{
    if (m_commitScheduled)
        return;
    m_commitScheduled = true;
    QTimer::singleShot(0, this, [this] {
        if (m_commitScheduled)
            commit();
    });
}

QString AppSettings::fileName() const
{
    return m_scratch ? Storage::userFolder() + QStringLiteral("/settings.ini")
                     : m_settings->fileName();
}

void AppSettings::sync()
{
    commit();
}

void AppSettings::store(const QString &key, const QVariant &value)
{
    // QSettings rewrites the whole file for any setValue, dropping the
    // operator's comments and costing a file replacement each time.
    const QVariant current = m_settings->value(key);
    if (current.isValid() && sameValue(current, value))
        return;
    m_settings->setValue(key, value);
    scheduleCommit();
}

std::optional<quint16> AppSettings::toListenPort(const QVariant &stored)
{
    qlonglong port = 0;
    if (stored.userType() == QMetaType::Int) {
        port = stored.toInt();
    } else {
        bool ok = false;
        port = stored.toString().trimmed().toLongLong(&ok, 10);
        if (!ok)
            return std::nullopt;
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

std::optional<quint16> AppSettings::serverListenPort() const
{
    return toListenPort(m_settings->value(QStringLiteral("serverportnum"), 8080));
}

// --- global ---

bool AppSettings::previewOnLaunch() const
{
    return m_settings->value(QStringLiteral("previewonlaunch"), false).toBool();
}

bool AppSettings::startupOnLaunch() const
{
    return m_settings->value(QStringLiteral("startuponlaunch"), false).toBool();
}
void AppSettings::setPreviewOnLaunch(bool on)
{
    store(QStringLiteral("previewonlaunch"), on);
}

void AppSettings::setStartupOnLaunch(bool on)
{
    store(QStringLiteral("startuponlaunch"), on);
}
QString AppSettings::serverNic() const
{
    return m_settings->value(QStringLiteral("servernic"), QStringLiteral("0.0.0.0")).toString();
}
void AppSettings::setServerNic(const QString &nic)
{
    store(QStringLiteral("servernic"), nic);
}
int AppSettings::serverPortNum() const
{
    return m_settings->value(QStringLiteral("serverportnum"), 8080).toInt();
}
void AppSettings::setServerPortNum(int port)
{
    store(QStringLiteral("serverportnum"), port);
}
bool AppSettings::useDarkTheme() const
{
    return m_settings->value(QStringLiteral("usedarktheme"), true).toBool();
}
void AppSettings::setUseDarkTheme(bool dark)
{
    store(QStringLiteral("usedarktheme"), dark);
}
QString AppSettings::obsIp() const
{
    return m_settings->value(QStringLiteral("obsip"), QStringLiteral("0.0.0.0")).toString();
}
void AppSettings::setObsIp(const QString &ip)
{
    store(QStringLiteral("obsip"), ip);
}
int AppSettings::obsPort() const
{
    return m_settings->value(QStringLiteral("obsport"), 4444).toInt();
}
void AppSettings::setObsPort(int port)
{
    store(QStringLiteral("obsport"), port);
}
QString AppSettings::obsPwd() const
{
    return m_settings->value(QStringLiteral("obspwd"), QString()).toString();
}
void AppSettings::setObsPwd(const QString &pwd)
{
    store(QStringLiteral("obspwd"), pwd);
}
bool AppSettings::enableObsCtrl() const
{
    return m_settings->value(QStringLiteral("enableobsctrl"), false).toBool();
}
void AppSettings::setEnableObsCtrl(bool on)
{
    store(QStringLiteral("enableobsctrl"), on);
}
QString AppSettings::vmixIp() const
{
    return m_settings->value(QStringLiteral("vmixip"), QStringLiteral("0.0.0.0")).toString();
}
void AppSettings::setVmixIp(const QString &ip)
{
    store(QStringLiteral("vmixip"), ip);
}
int AppSettings::vmixPort() const
{
    return m_settings->value(QStringLiteral("vmixport"), 8088).toInt();
}
void AppSettings::setVmixPort(int port)
{
    store(QStringLiteral("vmixport"), port);
}
QString AppSettings::vmixId() const
{
    return m_settings->value(QStringLiteral("vmixid"), QStringLiteral("admin")).toString();
}
void AppSettings::setVmixId(const QString &id)
{
    store(QStringLiteral("vmixid"), id);
}
QString AppSettings::vmixPwd() const
{
    return m_settings->value(QStringLiteral("vmixpwd"), QString()).toString();
}
void AppSettings::setVmixPwd(const QString &pwd)
{
    store(QStringLiteral("vmixpwd"), pwd);
}
bool AppSettings::enableVmixCtrl() const
{
    return m_settings->value(QStringLiteral("enablevmixctrl"), false).toBool();
}
void AppSettings::setEnableVmixCtrl(bool on)
{
    store(QStringLiteral("enablevmixctrl"), on);
}
bool AppSettings::isJoystickAvailable() const
{
    return m_settings->value(QStringLiteral("is joystick available"), false).toBool();
}
void AppSettings::setJoystickAvailable(bool on)
{
    store(QStringLiteral("is joystick available"), on);
}
int AppSettings::selectedJoystick() const
{
    return m_settings->value(QStringLiteral("selected_joystick"), 0).toInt();
}
void AppSettings::setSelectedJoystick(int index)
{
    store(QStringLiteral("selected_joystick"), index);
}
bool AppSettings::isHotkeyAvailable() const
{
    return m_settings->value(QStringLiteral("is hotkey available"), false).toBool();
}
void AppSettings::setHotkeyAvailable(bool on)
{
    store(QStringLiteral("is hotkey available"), on);
}
QString AppSettings::snapshotPath() const
{
    return m_settings->value(QStringLiteral("snapshotpath"), QString()).toString();
}
void AppSettings::setSnapshotPath(const QString &path)
{
    store(QStringLiteral("snapshotpath"), path);
}

QStringList AppSettings::serverHostNames() const
{
    // Read as text: QSettings would turn an unquoted comma list into a list.
    const QVariant v = m_settings->value(QStringLiteral("serverhostnames"));
    const QString text =
        v.type() == QVariant::StringList ? v.toStringList().join(QLatin1Char(',')) : v.toString();
    QStringList out;
    for (const QString &name : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!name.trimmed().isEmpty())
            out << name.trimmed();
    }
    return out;
}
void AppSettings::setServerHostNames(const QStringList &names)
{
    store(QStringLiteral("serverhostnames"), names.join(QLatin1Char(',')));
}
bool AppSettings::requireAccessKey() const
{
    return m_settings->value(QStringLiteral("requireaccesskey"), false).toBool();
}
void AppSettings::setRequireAccessKey(bool on)
{
    store(QStringLiteral("requireaccesskey"), on);
}
QString AppSettings::accessKey() const
{
    return m_settings->value(QStringLiteral("accesskey"), QString()).toString();
}
void AppSettings::setAccessKey(const QString &key)
{
    store(QStringLiteral("accesskey"), key);
}

// --- camera list ---

QList<CameraSlot> AppSettings::cameraSlots() const
{
    QList<CameraSlot> entries;
    const int size = m_settings->beginReadArray(QStringLiteral("cameraslist"));
    // Only the slots in use are read: a damaged or hostile size must not
    // cost one camera object per entry.
    if (size > kMaxCameras) {
        qCWarning(lcApp) << "cameraslist holds" << size << "entries; reading the first"
                         << kMaxCameras;
    }
    for (int i = 0; i < qMin(size, kMaxCameras); ++i) {
        m_settings->setArrayIndex(i);
        CameraSlot slot;
        slot.type = m_settings->value(QStringLiteral("cameratype"), 0).toInt();
        slot.id =
            m_settings->value(QStringLiteral("cameraid"), QStringLiteral("0.0.0.0")).toString();
        slot.name =
            m_settings->value(QStringLiteral("cameraname"), QStringLiteral("Camera") + num(i + 1))
                .toString();
        slot.deviceName =
            m_settings->value(QStringLiteral("devicename"), QStringLiteral("0.0.0.0")).toString();
        if (slot.type != 1) {
            if (slot.type != 0) {
                qCWarning(lcApp) << "cameraslist entry" << i + 1 << "has unknown cameratype"
                                 << slot.type << "- using a network camera";
                slot.type = 0;
            }
            slot.link = readLinkConfig(*m_settings, i + 1);
        }
        entries.append(slot);
    }
    m_settings->endArray();
    return entries;
}

void AppSettings::saveCameraSlots(const QList<CameraSlot> &entries)
{
    // Unchanged list: nothing is written (endArray would rewrite the size).
    const int stored = m_settings->beginReadArray(QStringLiteral("cameraslist"));
    bool same = stored == entries.size();
    // The link keys each entry is to have: its own, or those stored for a
    // slot whose id stays the same.
    QVector<QVariantMap> storedLinks(entries.size()), nextLinks(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const CameraSlot &entry = entries.at(i);
        if (i < stored) {
            m_settings->setArrayIndex(i);
            storedLinks[i] = storedLinkKeys(*m_settings);
        }
        if (entry.link)
            nextLinks[i] = linkKeys(*entry.link);
        else if (i < stored && m_settings->value(QStringLiteral("cameraid")).toString() == entry.id)
            nextLinks[i] = storedLinks[i];
    }
    for (int i = 0; same && i < entries.size(); ++i) {
        const CameraSlot &entry = entries.at(i);
        m_settings->setArrayIndex(i);
        same = sameValue(m_settings->value(QStringLiteral("cameratype")), entry.type) &&
               sameValue(m_settings->value(QStringLiteral("cameraid")), entry.id) &&
               sameValue(m_settings->value(QStringLiteral("cameraname")), entry.name) &&
               sameValue(m_settings->value(QStringLiteral("devicename")), entry.deviceName) &&
               sameKeys(storedLinks.at(i), nextLinks.at(i));
    }
    m_settings->endArray();
    if (same)
        return;

    m_settings->beginWriteArray(QStringLiteral("cameraslist"));
    for (int i = 0; i < entries.size(); ++i) {
        const CameraSlot &entry = entries.at(i);
        m_settings->setArrayIndex(i);
        m_settings->setValue(QStringLiteral("cameratype"), entry.type);
        m_settings->setValue(QStringLiteral("cameraid"), entry.id);
        m_settings->setValue(QStringLiteral("cameraname"), entry.name);
        m_settings->setValue(QStringLiteral("devicename"), entry.deviceName);
        for (const char *key : kLinkKeys) {
            const QString k = QLatin1String(key);
            if (nextLinks.at(i).contains(k))
                m_settings->setValue(k, nextLinks.at(i).value(k));
            else if (storedLinks.at(i).contains(k))
                m_settings->remove(k);
        }
    }
    m_settings->endArray();
    // The array is replaced whole: entries of an older, longer list (keys
    // <n>\... past the new size) would otherwise stay in the file.
    m_settings->beginGroup(QStringLiteral("cameraslist"));
    const QStringList groups = m_settings->childGroups();
    for (const QString &group : groups) {
        bool numeric = false;
        const int index = group.toInt(&numeric);
        if (numeric && index > entries.size())
            m_settings->remove(group);
    }
    m_settings->endGroup();
    scheduleCommit();
}

// --- per camera ---

int AppSettings::panSpeedIndex(const QString &id) const
{
    return m_settings->value(camKey(id, "pan_speed"), 7).toInt();
}
void AppSettings::setPanSpeedIndex(const QString &id, int index)
{
    store(camKey(id, "pan_speed"), index);
}
int AppSettings::tiltSpeedIndex(const QString &id) const
{
    return m_settings->value(camKey(id, "tilt_speed"), 7).toInt();
}
void AppSettings::setTiltSpeedIndex(const QString &id, int index)
{
    store(camKey(id, "tilt_speed"), index);
}
int AppSettings::zoomSpeedIndex(const QString &id) const
{
    return m_settings->value(camKey(id, "zoom_speed"), 5).toInt();
}
void AppSettings::setZoomSpeedIndex(const QString &id, int index)
{
    store(camKey(id, "zoom_speed"), index);
}
int AppSettings::focusSpeedIndex(const QString &id) const
{
    return m_settings->value(camKey(id, "focus_speed"), 5).toInt();
}
void AppSettings::setFocusSpeedIndex(const QString &id, int index)
{
    store(camKey(id, "focus_speed"), index);
}
bool AppSettings::panTiltLocked(const QString &id) const
{
    return m_settings->value(camKey(id, "pantilt_lock"), true).toBool();
}
void AppSettings::setPanTiltLocked(const QString &id, bool locked)
{
    store(camKey(id, "pantilt_lock"), locked);
}

int AppSettings::cameraLimit(const QString &id, int k) const
{
    int def;
    switch (k) {
    case 0:
    case 1:
        def = 170;
        break;
    case 2:
        def = 30;
        break;
    case 3:
        def = 90;
        break;
    default:
        return 170;
    }
    return m_settings->value(QStringLiteral("cameralimit_") + num(k) + QLatin1Char('_') + id, def)
        .toInt();
}
void AppSettings::setCameraLimit(const QString &id, int k, int value)
{
    store(QStringLiteral("cameralimit_") + num(k) + QLatin1Char('_') + id, value);
}
bool AppSettings::wrapperVisibility(const QString &id) const
{
    return m_settings->value(QStringLiteral("wrappervisibility") + id, false).toBool();
}
void AppSettings::setWrapperVisibility(const QString &id, bool visible)
{
    store(QStringLiteral("wrappervisibility") + id, visible);
}
bool AppSettings::pictureInPictureVisibility(const QString &id) const
{
    return m_settings->value(QStringLiteral("pictureinpicturevisibility") + id, false).toBool();
}
void AppSettings::setPictureInPictureVisibility(const QString &id, bool visible)
{
    store(QStringLiteral("pictureinpicturevisibility") + id, visible);
}
QPoint AppSettings::pictureInPicturePos(const QString &id) const
{
    return m_settings->value(QStringLiteral("pictureinpicturepos") + id, QPoint(0, 0)).toPoint();
}
void AppSettings::setPictureInPicturePos(const QString &id, const QPoint &pos)
{
    store(QStringLiteral("pictureinpicturepos") + id, pos);
}
QString AppSettings::snapshotBack(const QString &id) const
{
    return m_settings->value(QStringLiteral("snapshotback") + id, QString()).toString();
}
void AppSettings::setSnapshotBack(const QString &id, const QString &file)
{
    store(QStringLiteral("snapshotback") + id, file);
}
int AppSettings::snapshotBackType(const QString &id) const
{
    return m_settings->value(QStringLiteral("snapshotbacktype") + id, 0).toInt();
}
void AppSettings::setSnapshotBackType(const QString &id, int type)
{
    store(QStringLiteral("snapshotbacktype") + id, type);
}

// --- per camera and memory preset ---

QString AppSettings::presetName(const QString &id, int n) const
{
    return m_settings->value(QStringLiteral("mem") + num(n) + id, num(n)).toString();
}
void AppSettings::setPresetName(const QString &id, int n, const QString &name)
{
    store(QStringLiteral("mem") + num(n) + id, name);
}
int AppSettings::presetAeMode(const QString &id, int n) const
{
    return m_settings->value(presetKey(id, n, "aemode"), 0).toInt();
}
void AppSettings::setPresetAeMode(const QString &id, int n, int index)
{
    store(presetKey(id, n, "aemode"), index);
}
int AppSettings::presetShutterSpeed(const QString &id, int n) const
{
    return m_settings->value(presetKey(id, n, "shutterspeed"), 0).toInt();
}
void AppSettings::setPresetShutterSpeed(const QString &id, int n, int index)
{
    store(presetKey(id, n, "shutterspeed"), index);
}
int AppSettings::presetIris(const QString &id, int n) const
{
    return m_settings->value(presetKey(id, n, "iris"), 0).toInt();
}
void AppSettings::setPresetIris(const QString &id, int n, int index)
{
    store(presetKey(id, n, "iris"), index);
}
int AppSettings::presetBrightness(const QString &id, int n) const
{
    return m_settings->value(presetKey(id, n, "brightness"), 0).toInt();
}
void AppSettings::setPresetBrightness(const QString &id, int n, int index)
{
    store(presetKey(id, n, "brightness"), index);
}
int AppSettings::presetLuminance(const QString &id, int n) const
{
    return m_settings->value(presetKey(id, n, "luminance"), 7).toInt();
}
void AppSettings::setPresetLuminance(const QString &id, int n, int value)
{
    store(presetKey(id, n, "luminance"), value);
}
int AppSettings::presetContrast(const QString &id, int n) const
{
    return m_settings->value(presetKey(id, n, "contrast"), 7).toInt();
}
void AppSettings::setPresetContrast(const QString &id, int n, int value)
{
    store(presetKey(id, n, "contrast"), value);
}
int AppSettings::presetHue(const QString &id, int n) const
{
    return m_settings->value(presetKey(id, n, "hue"), 7).toInt();
}
void AppSettings::setPresetHue(const QString &id, int n, int value)
{
    store(presetKey(id, n, "hue"), value);
}
int AppSettings::presetWbMode(const QString &id, int n) const
{
    return m_settings->value(presetKey(id, n, "wbmode"), 0).toInt();
}
void AppSettings::setPresetWbMode(const QString &id, int n, int index)
{
    store(presetKey(id, n, "wbmode"), index);
}

// --- per camera and box ---

bool AppSettings::boxVisibility(const QString &id, int n) const
{
    return m_settings->value(boxKey("boxvisibility", id, n), true).toBool();
}
void AppSettings::setBoxVisibility(const QString &id, int n, bool visible)
{
    store(boxKey("boxvisibility", id, n), visible);
}
int AppSettings::centerType(const QString &id, int n) const
{
    return m_settings->value(boxKey("centertype", id, n), 0).toInt();
}
void AppSettings::setCenterType(const QString &id, int n, int type)
{
    store(boxKey("centertype", id, n), type);
}
QPoint AppSettings::customPresetPos(const QString &id, int n) const
{
    return m_settings->value(boxKey("custompresetpos", id, n), QPoint(0, 0)).toPoint();
}
void AppSettings::setCustomPresetPos(const QString &id, int n, const QPoint &pos)
{
    store(boxKey("custompresetpos", id, n), pos);
}
QString AppSettings::customPresetTitle(const QString &id, int n) const
{
    return m_settings
        ->value(boxKey("custompresettitle", id, n), QStringLiteral("Custom Preset") + num(n))
        .toString();
}
void AppSettings::setCustomPresetTitle(const QString &id, int n, const QString &title)
{
    store(boxKey("custompresettitle", id, n), title);
}
QString AppSettings::snapshotBox(const QString &id, int n) const
{
    return m_settings->value(boxKey("snapshotbox", id, n), QString()).toString();
}
void AppSettings::setSnapshotBox(const QString &id, int n, const QString &file)
{
    store(boxKey("snapshotbox", id, n), file);
}
int AppSettings::snapshotBoxType(const QString &id, int n) const
{
    return m_settings->value(boxKey("snapshotboxtype", id, n), 0).toInt();
}
void AppSettings::setSnapshotBoxType(const QString &id, int n, int type)
{
    store(boxKey("snapshotboxtype", id, n), type);
}
BoxColor AppSettings::snapshotBoxColor(const QString &id, int n) const
{
    const int r = m_settings->value(boxKey("snapshotboxcolor_r", id, n), 0).toInt();
    const int b = m_settings->value(boxKey("snapshotboxcolor_g", id, n), 0).toInt();
    const int g = m_settings->value(boxKey("snapshotboxcolor_b", id, n), 0).toInt();
    // Values come from a user-editable file: keep them inside 0-255 so a bad
    // entry yields a clamped colour instead of an invalid one.
    return BoxColor{qBound(0, r, 255), qBound(0, g, 255), qBound(0, b, 255)};
}
void AppSettings::setSnapshotBoxColor(const QString &id, int n, const BoxColor &color)
{
    store(boxKey("snapshotboxcolor_r", id, n), color.red);
    store(boxKey("snapshotboxcolor_g", id, n), color.blue);
    store(boxKey("snapshotboxcolor_b", id, n), color.green);
}

bool AppSettings::autoReconnect() const
{
    return m_settings->value(QStringLiteral("autoreconnect"), false).toBool();
}
void AppSettings::setAutoReconnect(bool on)
{
    store(QStringLiteral("autoreconnect"), on);
}

namespace {

QString tallyKey(int slot, const char *field)
{
    return QStringLiteral("tally/%1/%2").arg(slot).arg(QLatin1String(field));
}

} // namespace

TallySlotSetting AppSettings::tallySlot(int slot) const
{
    TallySlotSetting t;
    if (slot < 1 || slot > kMaxCameras)
        return t;
    t.obs = m_settings->value(tallyKey(slot, "obs")).toString();
    t.vmix = m_settings->value(tallyKey(slot, "vmix")).toString();
    t.command = m_settings->value(tallyKey(slot, "command"), 0).toInt();
    t.program = m_settings->value(tallyKey(slot, "program")).toString();
    t.preview = m_settings->value(tallyKey(slot, "preview")).toString();
    t.off = m_settings->value(tallyKey(slot, "off")).toString();
    return t;
}

void AppSettings::setTallySlot(int slot, const TallySlotSetting &t)
{
    if (slot < 1 || slot > kMaxCameras)
        return;
    store(tallyKey(slot, "obs"), t.obs);
    store(tallyKey(slot, "vmix"), t.vmix);
    store(tallyKey(slot, "command"), t.command);
    store(tallyKey(slot, "program"), t.program);
    store(tallyKey(slot, "preview"), t.preview);
    store(tallyKey(slot, "off"), t.off);
}

int AppSettings::protectLive() const
{
    return m_settings->value(QStringLiteral("tally/protectlive"), 0).toInt();
}

void AppSettings::setProtectLive(int level)
{
    store(QStringLiteral("tally/protectlive"), level);
}
