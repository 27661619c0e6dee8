#pragma once

#include <QDialog>
#include <QStringList>

class AppSettings;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QNetworkInterface;
class QPushButton;

// What the dialog starts and stops (the application object implements it).
class WebServerControl
{
public:
    virtual ~WebServerControl() = default;
    // Listens on `servernic`:`serverportnum`; false (and a message shown
    // without blocking) when it cannot.
    virtual bool startHttpServer() = 0;
    virtual bool stopHttpServer() = 0;
    virtual bool startObsControl() = 0;
    virtual bool stopObsControl() = 0;
    virtual bool startVMixControl() = 0;
    virtual bool stopVMixControl() = 0;
};

// The web server settings: interface address and port of the embedded
// server, whether it starts with the program, and whether the OBS and vMix
// clients run. Saving writes the settings and applies them at once (clients
// stopped and started as chosen, server stopped and started on the new
// address). A port outside 0-65535 is refused with a message and nothing is
// saved. The dialog also holds the extra host names browsers may use
// (`serverhostnames`) and the optional access key (`requireaccesskey`,
// `accesskey`): a key is generated when none is stored and written only once
// the key is required or was stored before.
class WebServerSettings : public QDialog
{
    Q_OBJECT
public:
    // settings and control must outlive the dialog.
    WebServerSettings(AppSettings *settings, WebServerControl *control, QWidget *parent = nullptr);
    ~WebServerSettings() override;

    // IPv4 addresses (dotted quad) of the interfaces that are up and not
    // loop-back, in the system's order.
    static QStringList interfaceAddresses(const QList<QNetworkInterface> &interfaces);
    // "http://" + address + ":" + port.
    static QString serverUrl(const QString &address, int port);
    // A new access key: 32 URL-safe characters from 192 random bits of the
    // system's generator.
    static QString generateAccessKey();

public slots:
    void saveWebServerSettings();
    void copyServerUrl();
    void copyAccessKey();
    void newAccessKey();

private:
    void showLink(const QString &address, int port);

    AppSettings *m_settings;
    WebServerControl *m_control;
    QLabel *m_urlLabel;
    QPushButton *m_copyBtn;
    QComboBox *m_nic;
    QLineEdit *m_port;
    QCheckBox *m_startOnLaunch;
    QCheckBox *m_obs;
    QCheckBox *m_vmix;
    QLineEdit *m_hostNames;
    QCheckBox *m_requireKey;
    QLineEdit *m_key;
    QPushButton *m_copyKeyBtn;
    QPushButton *m_newKeyBtn;
    QLabel *m_error;
    QPushButton *m_save;
};
