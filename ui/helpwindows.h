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
// with a close button only, styled with the panel's dark theme.

// "About": the logo and a short note on the program.
class AboutUs : public QDialog
{
    Q_OBJECT
public:
    explicit AboutUs(QWidget *parent = nullptr);
    ~AboutUs() override;

private:
    std::unique_ptr<Ui::AboutUs> ui;
};

// "Help": how to take a camera under control; links open in the browser.
class HelpWin : public QDialog
{
    Q_OBJECT
public:
    explicit HelpWin(QWidget *parent = nullptr);
    ~HelpWin() override;

    // Section `anchor` of the project's README (a local file URL).
    static QUrl readmeUrl(const QString &anchor);

private:
    std::unique_ptr<Ui::HelpWin> ui;
};

// "Xbox Help": the game-controller chart (800 x 720).
class XBoxHelp : public QDialog
{
    Q_OBJECT
public:
    explicit XBoxHelp(QWidget *parent = nullptr);
    ~XBoxHelp() override;

private:
    std::unique_ptr<Ui::XBoxHelp> ui;
};

// "Hotkey Help": the keyboard chart (720 x 540).
class HotkeyHelp : public QDialog
{
    Q_OBJECT
public:
    explicit HotkeyHelp(QWidget *parent = nullptr);
    ~HotkeyHelp() override;

private:
    std::unique_ptr<Ui::HotkeyHelp> ui;
};
