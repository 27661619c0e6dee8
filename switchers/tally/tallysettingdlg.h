#pragma once

#include <QDialog>
#include <QStringList>
#include <QVector>

class AppSettings;
class QComboBox;
class QLabel;
class QLineEdit;

// "Tally Setting": ties each camera slot to an OBS scene and a vMix input,
// chooses its lamp command (off, the camera's tally lamp, or custom VISCA
// messages for program, preview and idle) and the live-camera protection.
// The scene and input lists offer what the switcher clients know now; any
// text may be typed (a switcher that is offline lists nothing). Save checks
// every custom message of a slot set to custom (hexadecimal, 8x ... FF, at
// most 16 bytes; empty sends nothing): a bad one is named in the dialog and
// nothing is saved. Otherwise the group `tally` is written, saved() is
// emitted and the dialog closes.
class TallySettingDlg : public QDialog
{
    Q_OBJECT
public:
    // settings must outlive the dialog; cameraNames of slots 1-8.
    TallySettingDlg(AppSettings *settings, const QStringList &cameraNames,
                    const QStringList &obsScenes, const QStringList &vmixInputs,
                    QWidget *parent = nullptr);

    // Text of the problem that stopped the last save; empty after a save.
    QString problem() const;

public slots:
    void save();

signals:
    void saved();

private:
    struct Row
    {
        QComboBox *obs = nullptr;
        QComboBox *vmix = nullptr;
        QComboBox *command = nullptr;
        QLineEdit *program = nullptr;
        QLineEdit *preview = nullptr;
        QLineEdit *off = nullptr;
    };
    void updateRow(const Row &row);

    AppSettings *m_settings;
    QVector<Row> m_rows;
    QComboBox *m_protect = nullptr;
    QLabel *m_problem = nullptr;
};
