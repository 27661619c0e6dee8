#include "joystickdlg.h"
#include "ui_joystickdlg.h"

#include "appsettings.h"
#include "qjoysticks.h"

JoyStickDlg::JoyStickDlg(QJoysticks *joysticks, AppSettings *settings, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::JoyStickDlg>()), m_settings(settings)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    resize(250, 134);

    joysticks->updateInterfaces();
    joysticks->setVirtualJoystickEnabled(false);
    ui->joystickCombo->addItems(joysticks->deviceNames());
    ui->joystickCombo->setCurrentIndex(m_settings->selectedJoystick());
    ui->useJoyStickCheck->setChecked(m_settings->isJoystickAvailable());
    ui->useHotKeyCheck->setChecked(m_settings->isHotkeyAvailable());

    connect(ui->okBtn, &QPushButton::clicked, this, &JoyStickDlg::onOKBtnClicked);
    connect(ui->cancelBtn, &QPushButton::clicked, this, &JoyStickDlg::onCancelBtnClicked);
}

JoyStickDlg::~JoyStickDlg() = default;

void JoyStickDlg::onOKBtnClicked()
{
    m_settings->setSelectedJoystick(ui->joystickCombo->currentIndex());
    m_settings->setJoystickAvailable(ui->useJoyStickCheck->isChecked());
    m_settings->setHotkeyAvailable(ui->useHotKeyCheck->isChecked());
    accept();
}

void JoyStickDlg::onCancelBtnClicked()
{
    reject();
}
