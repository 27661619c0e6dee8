#include "helpwindows.h"
#include "ui_aboutus.h"
#include "ui_helpwin.h"
#include "ui_hotkeyhelp.h"
#include "ui_xboxhelp.h"

#include "theme.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString paragraph(const QString &html)
{
    return QStringLiteral("<p style=\"color:white; font-size:9pt;\">") + html +
           QStringLiteral("</p>");
}

} // namespace

template <class Form>
FormDialog<Form>::FormDialog(QWidget *parent) : QDialog(parent), ui(std::make_unique<Form>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setStyleSheet(Theme::dialogStyleSheet());
}

template <class Form> FormDialog<Form>::~FormDialog() = default;

template class FormDialog<Ui::AboutUs>;
template class FormDialog<Ui::HelpWin>;
template class FormDialog<Ui::XBoxHelp>;
template class FormDialog<Ui::HotkeyHelp>;

AboutUs::AboutUs(QWidget *parent) : FormDialog(parent)
{
    ui->label->setText(
        paragraph(QStringLiteral("Program: Corvanta App")) +
        paragraph(QStringLiteral("Available for PC, Mac and OBS (Open Broadcaster Software) as a "
                                 "plugin.")) +
        paragraph(QStringLiteral(
            "These features are currently in BETA and could revert back to the original OSD "
            "menu settings. Please use at your own risk. For permanent camera settings please "
            "use the OSD Menu.")) +
        paragraph(QStringLiteral("Shown as pop up information for<br>- Exposure<br>- "
                                 "Image/Color<br>- White Balance")));
}

QString HelpWin::readmeFile(const QString &programDir)
{
    // The build copies README.md beside the program; an installed program
    // finds it in its share/doc folder.
    const QDir dir(programDir);
    const QString candidates[] = {dir.filePath(QStringLiteral("README.md")),
                                  dir.filePath(QStringLiteral("../share/doc/corvanta/README.md"))};
    for (const QString &file : candidates) {
        if (QFileInfo::exists(file))
            return QDir::cleanPath(file);
    }
    return QDir::cleanPath(candidates[0]);
}

QUrl HelpWin::readmeUrl(const QString &anchor)
{
    QUrl url = QUrl::fromLocalFile(readmeFile(QCoreApplication::applicationDirPath()));
    url.setFragment(anchor);
    return url;
}

HelpWin::HelpWin(QWidget *parent) : FormDialog(parent)
{
    const auto link = [](const QString &anchor, const QString &text) {
        return QStringLiteral("<a style=\"color:#8cc4f5;\" href=\"") +
               readmeUrl(anchor).toString(QUrl::FullyEncoded) + QStringLiteral("\">") + text +
               QStringLiteral("</a>");
    };
    ui->label->setText(
        paragraph(QStringLiteral("This application controls PTZ cameras over an IP connection or "
                                 "a USB 3.0 connection. You need the IP address of each network "
                                 "camera, or a USB 3.0 camera connected to this computer.")) +
        paragraph(QStringLiteral("How to find or set a camera's IP address: ") +
                  link(QStringLiteral("getting-a-cameras-address"),
                       QStringLiteral("Getting a camera's address")) +
                  QStringLiteral(".")) +
        paragraph(QStringLiteral("Please refer to your cameras quick start guide for setting up a "
                                 "static IP address for your camera.")) +
        paragraph(QStringLiteral(
            "To take a camera under control, enter its IP address or select the USB camera in "
            "the settings area (Settings menu, Multi Cameras Setting), then press its camera "
            "button.")) +
        paragraph(QStringLiteral("The live preview is opened from the \"Window\" menu and follows "
                                 "the camera buttons.")) +
        paragraph(QStringLiteral("Questions: ") +
                  link(QStringLiteral("asking-for-help"), QStringLiteral("Asking for help")) +
                  QStringLiteral(".")));
}
