#include "theme.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QStringList>
#include <QWidget>

namespace Theme {

namespace {

// Rules shared by the main window and the help windows.
QString commonRules()
{
    return QStringLiteral(
        "QGroupBox{color : white;margin-top : 2ex;border-radius : 5px;padding : 8px;"
        "padding-top : 13px;border : 2px outset #1f1f1f;}"
        "QGroupBox::title{subcontrol-origin : margin;subcontrol-position : top left;"
        "left : 8px;padding : 0px 3px;}"
        "QMenuBar#menuBar{background : grey;color : white;border-bottom : 1px outset #222222;}"
        "QMenu{background : grey;color : #1f1f1f;}"
        "QMenu::item:selected{background : #c9c9c9;}"
        "QStatusBar#statusBar{background : grey;color : white;border-top : 1px outset #222222;}"
        "QPushButton{color : white;background : grey;padding : 5px;border-radius : 3px;}"
        "QPushButton:hover{background : #c9c9c9;}"
        "QPushButton:pressed{background : #474747;}"
        "QPushButton:disabled{color : #474747;}"
        "QLineEdit{color : white;background : #111111;padding : 3px;border-radius : 3px;"
        "border : 1px solid white;}"
        "QComboBox{color : white;background : #111111;padding : 3px;min-width : 40px;"
        "border-radius : 3px;}"
        "QComboBox QAbstractItemView{background : black;color : white;}"
        "QSlider::handle{background : grey;}"
        "QSlider::handle:hover{background : #c9c9c9;}"
        "QSlider::handle:pressed{background : #474747;}"
        "QLabel, QRadioButton, QCheckBox{color : white;}"
        "QToolTip{color : black;}");
}

QString indicatorRules()
{
    return QStringLiteral(
        // An explicit size: the box then takes the width its size hint
        // reserves, so the text beside it is not pushed out at the right.
        "QRadioButton::indicator, QCheckBox::indicator{background : white;"
        "border : 2px outset #1f1f1f;width : 9px;height : 9px;}"
        "QRadioButton::indicator:checked, QCheckBox::indicator:checked{background : #1f1f1f;"
        "border : 2px outset white;}"
        "QRadioButton::indicator{border-radius : 6px;}");
}

struct SpriteState
{
    const char *pseudo;
    const char *frame;
};

// One rule per state, the sprite positioned so that only one frame shows.
QString spriteRule(const QString &objectName, const QString &image, const SpriteState &state)
{
    return QStringLiteral("QPushButton#") + objectName + QLatin1String(state.pseudo) +
           QStringLiteral("{background-color : transparent;border : none;padding : 0px;"
                          "background-image : url(:/corvanta-assets/img/") +
           image + QStringLiteral(");background-repeat : no-repeat;background-position : ") +
           QLatin1String(state.frame) + QStringLiteral(" center;}");
}

// 44 x 44 buttons over 44 x 132 sprites: top frame normal, middle hover,
// bottom pressed. tvBtn: 30 x 30 over a 30 x 90 sprite: middle frame normal,
// bottom hover, top pressed.
QString spriteRules()
{
    static const char *const sprites[][2] = {
        {"MoveTop", "uparrow.png"},
        {"MoveBottom", "downarrow.png"},
        {"MoveLeft", "leftarrow.png"},
        {"MoveRight", "rightarrow.png"},
        {"angleUpLeft", "upleft.png"},
        {"angleUpRight", "upright.png"},
        {"angleDownLeft", "downleftarrow.png"},
        {"angleDownRight", "downright.png"},
        {"MoveHome", "home.png"},
        {"ZoomIn", "plus.png"},
        {"ZoomOut", "minus.png"},
        {"focusIn", "focusin.png"},
        {"focusOut", "focusout.png"},
    };
    static const SpriteState buttonStates[] = {
        {"", "top"}, {":hover", "center"}, {":pressed", "bottom"}};
    static const SpriteState tvStates[] = {
        {"", "center"}, {":hover", "bottom"}, {":pressed", "top"}};
    QString css;
    for (const auto &s : sprites)
        for (const SpriteState &state : buttonStates)
            css += spriteRule(QLatin1String(s[0]), QLatin1String(s[1]), state);
    for (const SpriteState &state : tvStates)
        css += spriteRule(QStringLiteral("tvBtn"), QStringLiteral("tv.png"), state);
    return css;
}

// Follows the enabled state of the widget it watches.
class DisabledFader : public QObject
{
public:
    DisabledFader(QWidget *widget, QGraphicsOpacityEffect *effect)
        : QObject(widget), m_effect(effect)
    {
        widget->installEventFilter(this);
        update(widget);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            update(static_cast<QWidget *>(watched));
        return false;
    }

private:
    void update(QWidget *widget) { m_effect->setOpacity(widget->isEnabled() ? 1.0 : 0.35); }

    QGraphicsOpacityEffect *m_effect;
};

} // namespace

void dimWhenDisabled(QWidget *widget)
{
    auto *effect = new QGraphicsOpacityEffect(widget);
    widget->setGraphicsEffect(effect);
    new DisabledFader(widget, effect);
}

QString mainWindowStyleSheet()
{
    // Boxes and dialogs opened over the window inherit its white label text,
    // so they get the dark background too; so do the views inside the file
    // and colour dialogs.
    // Every window the main window parents (the preview, the image preview
    // map, the camera dialogs) is a QDialog: white text needs its dark ground.
    return QStringLiteral("QWidget#centralWidget, QDialog, QInputDialog, QMessageBox, "
                          "QFileDialog, QColorDialog{background : #333333;}"
                          "QFileDialog QAbstractItemView, QColorDialog QAbstractItemView"
                          "{background : #111111; color : white;}") +
           commonRules() + indicatorRules() + spriteRules();
}

QString dialogStyleSheet()
{
    return QStringLiteral("QDialog{background : #333333;}") + commonRules();
}

// The tally colours (dynamic property "tally": "program" red, "preview"
// green) come last so they win over the plain background, hover included;
// white text on them reads on any window background. The selected button
// keeps its white frame on top of a tally colour.
static QString tallyRules(bool selected)
{
    const QString frame = selected ? QStringLiteral("border : 3px solid white;")
                                   : QStringLiteral("border : 3px solid transparent;");
    return QStringLiteral("QPushButton[tally=\"program\"]{background : #c62828;color : white;"
                          "font-weight : bold;%1}"
                          "QPushButton[tally=\"program\"]:hover{background : #e53935;}"
                          "QPushButton[tally=\"preview\"]{background : #2e7d32;color : white;"
                          "font-weight : bold;%1}"
                          "QPushButton[tally=\"preview\"]:hover{background : #43a047;}")
        .arg(frame);
}

QString cameraButtonStyle()
{
    return QStringLiteral("QPushButton{background : grey;padding : 5px;border-radius : 3px;}"
                          "QPushButton:pressed{background : #474747;}"
                          "QPushButton:hover{background : #c9c9c9;}") +
           tallyRules(false);
}

QString selectedCameraButtonStyle()
{
    return QStringLiteral("QPushButton{background : #4f4f4f;padding : 5px;border-radius : 3px;}"
                          "QPushButton:pressed{background : #474747;}"
                          "QPushButton:hover{background : #c9c9c9;}") +
           tallyRules(true);
}

} // namespace Theme
