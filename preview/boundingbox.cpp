#include "boundingbox.h"

#include "absolutelayout.h"

#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int kTitleLength = 15;
const char kNoFillStyle[] =
    "QWidget#backWidget{background: url(:/corvanta-assets/img/transback.png);}";

} // namespace

void repolish(QWidget *widget)
{
    // A new style sheet on a widget that has children but was never shown
    // keeps drawing the rules of the old one until it is polished again.
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
    widget->update();
}

QString styleSheetString(const QString &path)
{
    // The style sheet parser first replaces hexadecimal escapes everywhere,
    // then reads strings, where a backslash takes the next character
    // literally. A backslash therefore travels as two hexadecimal escapes of
    // exactly six digits (which become "\\" before the string is read); a
    // quote or a line break as a backslash escape.
    QString out;
    out.reserve(path.size() + 2);
    out += QLatin1Char('\'');
    for (const QChar c : path) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\00005c\\00005c");
        else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('\n') ||
                 c == QLatin1Char('\r') || c == QLatin1Char('\f'))
            out += QLatin1Char('\\') + c;
        else
            out += c;
    }
    out += QLatin1Char('\'');
    return out;
}

BoundingBox::BoundingBox(QWidget *parent) : QWidget(parent), m_back(new QWidget(this))
{
    setFixedSize(130, 81);
    setCursor(Qt::PointingHandCursor);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(m_back);

    m_back->setObjectName(QStringLiteral("backWidget"));
    m_back->setCursor(Qt::PointingHandCursor);
    m_back->setAttribute(Qt::WA_StyledBackground);
    m_back->setStyleSheet(QStringLiteral(
        "QWidget#backWidget{\nbackground-image: url(:/corvanta-assets/img/transback.png);\n}"));
    auto *rows = new QVBoxLayout(m_back);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);

    auto *top = new QWidget(m_back);
    top->setObjectName(QStringLiteral("widget"));
    top->setFixedHeight(30);
    m_numberLabel = new QLabel(QStringLiteral("1"), top);
    m_numberLabel->setObjectName(QStringLiteral("presetNumberLabel"));
    m_numberLabel->setFixedSize(30, 30);
    m_numberLabel->setAlignment(Qt::AlignCenter);
    m_numberLabel->setStyleSheet(
        QStringLiteral("QLabel#presetNumberLabel{\nfont-size : 16px;\nfont-weight : "
                       "bold;\nbackground : black;\n}"));
    m_nameLabel = new QLabel(QStringLiteral("Custom Preset1"), top);
    m_nameLabel->setObjectName(QStringLiteral("presetNameLabel"));
    m_nameLabel->setTextFormat(Qt::PlainText);
    m_nameLabel->setStyleSheet(QStringLiteral("QLabel#presetNameLabel{\ncolor:white;\nbackground : "
                                              "transparent;\npadding-right : 8px;\n}"));
    auto *topRow = new QHBoxLayout(top);
    topRow->setContentsMargins(0, 0, 0, 0);
    topRow->setSpacing(0);
    topRow->addWidget(m_numberLabel);
    topRow->addWidget(m_nameLabel, 1);

    auto *middle = new QWidget(m_back);
    middle->setObjectName(QStringLiteral("widget_4"));
    m_centerLabel = new QLabel(QStringLiteral("+"), middle);
    m_centerLabel->setObjectName(QStringLiteral("centerLabel"));
    m_centerLabel->setTextFormat(Qt::PlainText);
    m_centerLabel->setAlignment(Qt::AlignCenter);
    m_centerLabel->setStyleSheet(QStringLiteral(
        "QLabel#centerLabel{\nfont-size : 16px;\nbackground : transparent;\ncolor:white;\n}"));
    auto *middleRow = new QHBoxLayout(middle);
    middleRow->setContentsMargins(0, 0, 0, 0);
    middleRow->addWidget(m_centerLabel);

    auto *bottom = new QWidget(m_back);
    bottom->setObjectName(QStringLiteral("widget_3"));
    bottom->setFixedHeight(30);

    rows->addWidget(top);
    rows->addWidget(middle, 1);
    rows->addWidget(bottom);
}

void BoundingBox::setPresetNumber(int presetNum)
{
    m_presetNumber = presetNum;
    m_numberLabel->setText(QString::number(presetNum));
}

void BoundingBox::setCameraKey(const QString &cameraKey)
{
    if (cameraKey == m_cameraKey)
        return;
    m_cameraKey = cameraKey;
    m_pressed = false;
    m_dragging = false;
}

void BoundingBox::setTitle(const QString &title)
{
    m_nameLabel->setText(title.left(kTitleLength));
}

QString BoundingBox::title() const
{
    return m_nameLabel->text();
}

void BoundingBox::setImage(const QString &path)
{
    setFillStyle(QStringLiteral("QWidget#backWidget{image: url(") + styleSheetString(path) +
                 QStringLiteral(");}"));
}

void BoundingBox::setColor(const QColor &color)
{
    setFillStyle(QStringLiteral("QWidget#backWidget{background: rgb(%1,%2,%3);}")
                     .arg(color.red())
                     .arg(color.green())
                     .arg(color.blue()));
}

void BoundingBox::clearFill()
{
    setFillStyle(QLatin1String(kNoFillStyle));
}

void BoundingBox::setFillStyle(const QString &style)
{
    m_back->setStyleSheet(style);
    repolish(m_back);
}

QString BoundingBox::fillStyle() const
{
    return m_back->styleSheet();
}

void BoundingBox::setCenterMark(CenterMark mark)
{
    switch (mark) {
    case CenterMark::None:
        m_centerLabel->setText(QStringLiteral(" "));
        break;
    case CenterMark::CrossHair:
        m_centerLabel->setText(QStringLiteral("+"));
        break;
    case CenterMark::Diamond:
        m_centerLabel->setText(QStringLiteral("*"));
        break;
    }
}

void BoundingBox::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_dragging = true;
    m_dragKey = m_cameraKey;
    m_pressPoint = event->pos();
}

void BoundingBox::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    m_pressed = false;
    move(mapToParent(event->pos() - m_pressPoint));
    QWidget *parent = parentWidget();
    // The position belongs to the camera the drag started under.
    if (parent && !m_dragKey.isEmpty() && m_dragKey == m_cameraKey)
        emit dragged(m_presetNumber, m_dragKey,
                     pos() - QPoint(parent->width() / 2, parent->height() / 2));
}

void BoundingBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool click = m_pressed;
    m_pressed = false;
    m_dragging = false;
    m_pressPoint = QPoint();
    if (click)
        emit presetClicked(m_presetNumber);
}

void BoundingBox::moveEvent(QMoveEvent *event)
{
    QWidget *parent = parentWidget();
    if (auto *layout = parent ? qobject_cast<AbsoluteLayout *>(parent->layout()) : nullptr) {
        const QPoint centre(parent->width() / 2, parent->height() / 2);
        layout->setOffset(layout->indexOf(this), event->pos() - centre);
    }
    QWidget::moveEvent(event);
}
