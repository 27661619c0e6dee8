#include "webserversettings.h"

#include "appsettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRandomGenerator>
#include <QVBoxLayout>

WebServerSettings::WebServerSettings(AppSettings *settings, WebServerControl *control,
                                     QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowCloseButtonHint), m_settings(settings),
      m_control(control)
{
    setObjectName(QStringLiteral("webserversettings"));
    setWindowTitle(QStringLiteral("Web Server Setting"));
    resize(213, 200);
    setStyleSheet(QStringLiteral("#webserversettings { background-color: #333333; }"
                                 "QCheckBox, QLabel { color: white; }"
                                 "QToolTip { color: black; }"));

    m_urlLabel = new QLabel(this);
    m_urlLabel->setObjectName(QStringLiteral("serverUrlLbl"));
    m_urlLabel->setTextFormat(Qt::RichText);
    m_urlLabel->setOpenExternalLinks(true);
    m_urlLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_urlLabel->setStyleSheet(QStringLiteral("color: white; text-decoration: underline;"));
    m_copyBtn = new QPushButton(this);
    m_copyBtn->setObjectName(QStringLiteral("copyBtn"));
    m_copyBtn->setFixedSize(24, 24);
    m_copyBtn->setStyleSheet(
        QStringLiteral("background-image: url(:/corvanta-assets/img/copybtn.png); border: none;"));
    auto *linkRow = new QHBoxLayout;
    linkRow->addWidget(m_urlLabel, 1);
    linkRow->addWidget(m_copyBtn);

    m_nic = new QComboBox(this);
    m_nic->setObjectName(QStringLiteral("nicCmb"));
    m_nic->setEditable(false);
    m_port = new QLineEdit(this);
    m_port->setObjectName(QStringLiteral("portEdit"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Server NIC"), m_nic);
    form->addRow(QStringLiteral("Port"), m_port);

    m_startOnLaunch = new QCheckBox(QStringLiteral("Start the web server upon launch"), this);
    m_startOnLaunch->setObjectName(QStringLiteral("startServerUponLanchCheck"));
    m_obs = new QCheckBox(QStringLiteral("Enable OBS Control"), this);
    m_obs->setObjectName(QStringLiteral("enableOBSCtrlCheck"));
    m_obs->setToolTip(QStringLiteral(
        "In order to control OBS from this application, you must install the OBS Websocket "
        "Plugin and enter the OBS IP address information."));
    m_vmix = new QCheckBox(QStringLiteral("Enable VMix Control"), this);
    m_vmix->setObjectName(QStringLiteral("enableVMixCtrlCheck"));
    m_hostNames = new QLineEdit(this);
    m_hostNames->setObjectName(QStringLiteral("hostNamesEdit"));
    m_hostNames->setPlaceholderText(QStringLiteral("panel.studio.lan, ptz-desk"));
    m_hostNames->setToolTip(QStringLiteral(
        "Names, besides IP addresses, localhost and this computer's name, under which browsers "
        "may open the pages (comma-separated)."));
    form->addRow(QStringLiteral("Host names"), m_hostNames);
    m_requireKey = new QCheckBox(QStringLiteral("Require access key"), this);
    m_requireKey->setObjectName(QStringLiteral("requireKeyCheck"));
    m_requireKey->setToolTip(QStringLiteral(
        "Browsers sign in once at /login; control surfaces add key=<key> to their URLs or send "
        "the header \"Authorization: Bearer <key>\"."));
    m_key = new QLineEdit(this);
    m_key->setObjectName(QStringLiteral("accessKeyEdit"));
    m_key->setReadOnly(true);
    m_copyKeyBtn = new QPushButton(QStringLiteral("Copy"), this);
    m_copyKeyBtn->setObjectName(QStringLiteral("copyKeyBtn"));
    m_newKeyBtn = new QPushButton(QStringLiteral("New key"), this);
    m_newKeyBtn->setObjectName(QStringLiteral("newKeyBtn"));
    auto *keyRow = new QHBoxLayout;
    keyRow->addWidget(m_key, 1);
    keyRow->addWidget(m_copyKeyBtn);
    keyRow->addWidget(m_newKeyBtn);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("errorLbl"));
    m_error->setWordWrap(true);
    m_error->hide();
    m_save = new QPushButton(QStringLiteral("Save && restart the server"), this);
    m_save->setObjectName(QStringLiteral("saveBtn"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(linkRow);
    layout->addLayout(form);
    layout->addWidget(m_startOnLaunch);
    layout->addWidget(m_obs);
    layout->addWidget(m_vmix);
    layout->addWidget(m_requireKey);
    layout->addLayout(keyRow);
    layout->addWidget(m_error);
    layout->addWidget(m_save);

    connect(m_save, &QPushButton::clicked, this, &WebServerSettings::saveWebServerSettings);
    connect(m_copyBtn, &QPushButton::clicked, this, &WebServerSettings::copyServerUrl);
    connect(m_copyKeyBtn, &QPushButton::clicked, this, &WebServerSettings::copyAccessKey);
    connect(m_newKeyBtn, &QPushButton::clicked, this, &WebServerSettings::newAccessKey);

    m_nic->addItems(interfaceAddresses(QNetworkInterface::allInterfaces()));
    m_nic->addItem(QStringLiteral("127.0.0.1"));
    m_nic->setItemData(m_nic->count() - 1, QStringLiteral("This computer only"), Qt::ToolTipRole);

    m_nic->setCurrentText(m_settings->serverNic());
    m_port->setText(QString::number(m_settings->serverPortNum()));
    m_startOnLaunch->setChecked(m_settings->startupOnLaunch());
    m_obs->setChecked(m_settings->enableObsCtrl());
    m_vmix->setChecked(m_settings->enableVmixCtrl());
    m_hostNames->setText(m_settings->serverHostNames().join(QStringLiteral(", ")));
    m_requireKey->setChecked(m_settings->requireAccessKey());
    const QString key = m_settings->accessKey();
    m_key->setText(key.isEmpty() ? generateAccessKey() : key);
    showLink(m_settings->serverNic(), m_settings->serverPortNum());
}

WebServerSettings::~WebServerSettings() = default;

QStringList WebServerSettings::interfaceAddresses(const QList<QNetworkInterface> &interfaces)
{
    QStringList out;
    for (const QNetworkInterface &nic : interfaces) {
        const auto flags = nic.flags();
        if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &entry : nic.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                out.append(entry.ip().toString());
        }
    }
    return out;
}

QString WebServerSettings::serverUrl(const QString &address, int port)
{
    return QStringLiteral("http://") + address + QLatin1Char(':') + QString::number(port);
}

void WebServerSettings::showLink(const QString &address, int port)
{
    m_urlLabel->setText(QStringLiteral("<a style = 'color:white' href='") +
                        serverUrl(address, port).toHtmlEscaped() +
                        QStringLiteral("'>Click here to visit website</a>"));
}

QString WebServerSettings::generateAccessKey()
{
    quint32 words[6];
    QRandomGenerator::system()->fillRange(words);
    const QByteArray bytes(reinterpret_cast<const char *>(words), sizeof(words));
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

void WebServerSettings::copyAccessKey()
{
    QApplication::clipboard()->setText(m_key->text());
}

void WebServerSettings::newAccessKey()
{
    m_key->setText(generateAccessKey());
}

void WebServerSettings::copyServerUrl()
{
    QApplication::clipboard()->setText(
        serverUrl(m_settings->serverNic(), m_settings->serverPortNum()));
}

void WebServerSettings::saveWebServerSettings()
{
    const QString address = m_nic->currentText();
    bool isNumber = false;
    const qlonglong wide = m_port->text().trimmed().toLongLong(&isNumber, 10);
    // Text that is not a number is kept as 0 (the server then refuses to
    // start with its message); a number outside the port range is refused
    // here instead of being truncated to another port.
    if (isNumber && (wide < 0 || wide > 65535)) {
        m_error->setText(QStringLiteral("The port must be a number from 1 to 65535."));
        m_error->show();
        return;
    }
    m_error->hide();
    const int port = isNumber ? int(wide) : 0;

    m_settings->setServerNic(address);
    m_settings->setServerPortNum(port);
    m_settings->setStartupOnLaunch(m_startOnLaunch->isChecked());
    showLink(address, port);
    m_settings->setEnableObsCtrl(m_obs->isChecked());
    m_settings->setEnableVmixCtrl(m_vmix->isChecked());
    QStringList names;
    for (const QString &name : m_hostNames->text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!name.trimmed().isEmpty())
            names << name.trimmed();
    }
    if (names != m_settings->serverHostNames())
        m_settings->setServerHostNames(names);
    if (m_requireKey->isChecked() || !m_settings->accessKey().isEmpty())
        m_settings->setAccessKey(m_key->text());
    if (m_requireKey->isChecked() != m_settings->requireAccessKey())
        m_settings->setRequireAccessKey(m_requireKey->isChecked());

    m_control->stopObsControl();
    m_control->stopVMixControl();
    if (m_obs->isChecked())
        m_control->startObsControl();
    if (m_vmix->isChecked())
        m_control->startVMixControl();
    m_control->stopHttpServer();
    m_control->startHttpServer();
}
