#pragma once

#include <QDialog>
#include <QUrl>

#include <memory>

namespace Ui {
class AboutUs;
class HelpWin;
class XBoxHelp;
class HotkeyHelp;
} // namespace Ui

// The help and about windows: fixed content, no behaviour. Each is a dialog
// built from its form, with a close button only, styled with the panel's dark
// theme.
template <class Form> class FormDialog : public QDialog
{
protected:
    explicit FormDialog(QWidget *parent);
    ~FormDialog() override;

    std::unique_ptr<Form> ui;
};

// "About": the logo and a short note on the program.
class AboutUs : public FormDialog<Ui::AboutUs>
{
    Q_OBJECT
public:
    explicit AboutUs(QWidget *parent = nullptr);
};

// "Help": how to take a camera under control; links open in the browser.
class HelpWin : public FormDialog<Ui::HelpWin>
{
    Q_OBJECT
public:
    explicit HelpWin(QWidget *parent = nullptr);

    // Section `anchor` of the README shipped with the program (a local file
    // URL; see readmeFile).
    static QUrl readmeUrl(const QString &anchor);
    // The README beside the program in programDir, else the one of an
    // installed program (programDir/../share/doc/corvanta); the first when
    // neither exists.
    static QString readmeFile(const QString &programDir);
};

// "Xbox Help": the game-controller chart (800 x 720).
class XBoxHelp : public FormDialog<Ui::XBoxHelp>
{
    Q_OBJECT
public:
    explicit XBoxHelp(QWidget *parent = nullptr) : FormDialog(parent) {}
};

// "Hotkey Help": the keyboard chart (720 x 540).
class HotkeyHelp : public FormDialog<Ui::HotkeyHelp>
{
    Q_OBJECT
public:
    explicit HotkeyHelp(QWidget *parent = nullptr) : FormDialog(parent) {}
};
