#pragma once

#include <QString>

// Names from settings, the web API or the operator shown on buttons.
// QAbstractButton reads a single "&" in its text as a mnemonic marker (the
// next letter underlined and bound to Alt+letter) and "&&" as one "&".
namespace LiteralText {

// Button text that shows `name` exactly, with no shortcut.
inline QString forButton(const QString &name)
{
    QString text = name;
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

// The name a button made with forButton shows.
inline QString fromButton(const QString &text)
{
    QString name = text;
    return name.replace(QLatin1String("&&"), QLatin1String("&"));
}

} // namespace LiteralText
