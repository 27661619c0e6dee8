#pragma once

#include <QDialog>

#include <memory>

class AppSettings;
class QJoysticks;

namespace Ui {
class JoyStickDlg;
}

// "Additional Input Setting": picks the controller (combo index = the
// layer's list index) and switches controller input and keyboard hotkeys on
// or off. OK stores "selected_joystick" (-1 with no controller),
// "is joystick available" and "is hotkey available"; Cancel stores nothing.
// The caller applies the panel's style sheet.
class JoyStickDlg : public QDialog
{
    Q_OBJECT
public:
    // Rebuilds the layer's device list and disables its virtual joystick.
    JoyStickDlg(QJoysticks *joysticks, AppSettings *settings, QWidget *parent = nullptr);
    ~JoyStickDlg() override;

public slots:
    void onOKBtnClicked();
    void onCancelBtnClicked();

private:
    std::unique_ptr<Ui::JoyStickDlg> ui;
    AppSettings *m_settings;
};
