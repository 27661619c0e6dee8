// Paints the panel's images: three-state button sprites, the preview button
// sprite, the logo, the two help charts and the copy button. Usage: paintassets <output folder>.
// The images are drawn for the panel's dark grey theme.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <QTransform>

#include <cstdio>
#include <functional>

namespace {

const QColor kBorder("#1f1f1f");
const QColor kAccent("#3d9be9");
const QColor kChartBack("#262626");
const QColor kChartLine("#4a4a4a");
const QColor kTextDim("#a8a8a8");

// The three button states, in sprite order for the 44 x 44 buttons.
struct State
{
    QColor top;
    QColor bottom;
    QColor glyph;
    int offset; // pressed glyph sinks by one pixel
};
const State kNormal{QColor("#6a6a6a"), QColor("#4e4e4e"), Qt::white, 0};
const State kHover{QColor("#d8d8d8"), QColor("#bcbcbc"), QColor("#1f1f1f"), 0};
const State kPressed{QColor("#3e3e3e"), QColor("#4a4a4a"), QColor("#d0d0d0"), 1};

QFont font(int pixelSize, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void frameBackground(QPainter &p, const QRectF &r, const State &s, qreal radius)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, s.top);
    g.setColorAt(1, s.bottom);
    p.setPen(QPen(kBorder, 1));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

// Glyphs are drawn into a 44 x 44 frame centred on (22, 22).
using Glyph = std::function<void(QPainter &, const QColor &)>;

QPainterPath upArrow()
{
    QPainterPath path;
    path.moveTo(22, 10);
    path.lineTo(33, 21.5);
    path.lineTo(26, 21.5);
    path.lineTo(26, 33);
    path.lineTo(18, 33);
    path.lineTo(18, 21.5);
    path.lineTo(11, 21.5);
    path.closeSubpath();
    return path;
}

Glyph arrow(qreal degrees)
{
    return [degrees](QPainter &p, const QColor &c) {
        QTransform t;
        t.translate(22, 22);
        t.rotate(degrees);
        t.translate(-22, -22);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(t.map(upArrow()));
    };
}

void home(QPainter &p, const QColor &c)
{
    QPainterPath roof;
    roof.moveTo(22, 9);
    roof.lineTo(35, 21);
    roof.lineTo(31, 21);
    roof.lineTo(22, 13);
    roof.lineTo(13, 21);
    roof.lineTo(9, 21);
    roof.closeSubpath();
    QPainterPath body;
    body.setFillRule(Qt::OddEvenFill);
    body.moveTo(22, 14.5);
    body.lineTo(30, 22);
    body.lineTo(30, 34);
    body.lineTo(14, 34);
    body.lineTo(14, 22);
    body.closeSubpath();
    body.addRect(19.5, 26, 5, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(roof);
    p.drawPath(body);
}

void magnifier(QPainter &p, const QColor &c, bool plus)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(QPointF(19.5, 19.5), 9, 9);
    p.setPen(QPen(c, 4.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(26.5, 26.5), QPointF(33, 33));
    p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(15, 19.5), QPointF(24, 19.5));
    if (plus)
        p.drawLine(QPointF(19.5, 15), QPointF(19.5, 24));
}

// Viewfinder corners with four chevrons pointing at the centre (focus in,
// near) or away from it (focus out, far).
void focus(QPainter &p, const QColor &c, bool inward)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    const qreal a = 10, b = 34, l = 6;
    p.drawPolyline(QPolygonF({QPointF(a, a + l), QPointF(a, a), QPointF(a + l, a)}));
    p.drawPolyline(QPolygonF({QPointF(b - l, a), QPointF(b, a), QPointF(b, a + l)}));
    p.drawPolyline(QPolygonF({QPointF(b, b - l), QPointF(b, b), QPointF(b - l, b)}));
    p.drawPolyline(QPolygonF({QPointF(a + l, b), QPointF(a, b), QPointF(a, b - l)}));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(22, 22), 2.2, 2.2);
    QPainterPath tri;
    // Pointing up, tip at the origin.
    tri.moveTo(0, 0);
    tri.lineTo(4.5, 5);
    tri.lineTo(-4.5, 5);
    tri.closeSubpath();
    for (int k = 0; k < 4; ++k) {
        QTransform t;
        t.translate(22, 22);
        t.rotate(90 * k);
        if (inward) {
            t.translate(0, -10);
            t.rotate(180);
        } else {
            t.translate(0, -11);
        }
        p.drawPath(t.map(tri));
    }
}

QImage sprite(const Glyph &glyph)
{
    QImage img(44, 132, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const State states[] = {kNormal, kHover, kPressed};
    for (int i = 0; i < 3; ++i) {
        p.save();
        p.translate(0, 44 * i);
        frameBackground(p, QRectF(1, 1, 42, 42), states[i], 6);
        p.translate(states[i].offset, states[i].offset);
        glyph(p, states[i].glyph);
        p.restore();
    }
    return img;
}

// 30 x 90: pressed on top, normal in the middle, hover at the bottom.
QImage tvSprite()
{
    QImage img(30, 90, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const State states[] = {kPressed, kNormal, kHover};
    for (int i = 0; i < 3; ++i) {
        const State &s = states[i];
        p.save();
        p.translate(0, 30 * i);
        frameBackground(p, QRectF(0, 0, 30, 30), s, 5);
        p.translate(s.offset, s.offset);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(s.glyph, 2));
        p.drawRoundedRect(QRectF(6, 7, 18, 12), 2, 2);
        p.setPen(QPen(s.glyph, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(15, 19), QPointF(15, 22.5));
        p.drawLine(QPointF(10.5, 23), QPointF(19.5, 23));
        p.setPen(Qt::NoPen);
        p.setBrush(s.glyph);
        QPainterPath play;
        play.moveTo(13, 10);
        play.lineTo(18.5, 13);
        play.lineTo(13, 16);
        play.closeSubpath();
        p.drawPath(play);
        p.restore();
    }
    return img;
}

// The lens mark and word mark; `origin` is the top-left of a 220 x 48 area.
void drawLogo(QPainter &p, const QPointF &origin)
{
    p.save();
    p.translate(origin);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(24, 24);
    QRadialGradient ring(c, 20);
    ring.setColorAt(0.0, kAccent.lighter(130));
    ring.setColorAt(1.0, kAccent.darker(140));
    p.setPen(Qt::NoPen);
    p.setBrush(ring);
    p.drawEllipse(c, 20, 20);
    p.setBrush(QColor("#1b1b1b"));
    p.drawEllipse(c, 12.5, 12.5);
    QRadialGradient glass(c + QPointF(-3, -3), 10);
    glass.setColorAt(0, QColor("#5a6f82"));
    glass.setColorAt(1, QColor("#1b1b1b"));
    p.setBrush(glass);
    p.drawEllipse(c, 8, 8);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(c + QPointF(-3.5, -3.5), 2, 2);

    p.setPen(Qt::white);
    p.setFont(font(24, true));
    p.drawText(QRectF(54, 2, 170, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("CORVANTA"));
    QFont small = font(10, true);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 1.4);
    p.setFont(small);
    p.setPen(kTextDim);
    p.drawText(QRectF(55, 30, 165, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("PTZ CAMERA CONTROL"));
    p.restore();
}

QImage logo()
{
    QImage img(220, 48, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    drawLogo(p, QPointF(0, 0));
    return img;
}

// Banner with the logo and a centred title; returns the y below the title.
int chartHeader(QPainter &p, int width, const QString &title)
{
    QLinearGradient g(0, 0, 0, 64);
    g.setColorAt(0, QColor("#3c3c3c"));
    g.setColorAt(1, QColor("#2e2e2e"));
    p.fillRect(QRect(0, 0, width, 64), g);
    p.fillRect(QRect(0, 63, width, 2), kAccent);
    drawLogo(p, QPointF(18, 8));
    p.setPen(Qt::white);
    p.setFont(font(26, true));
    p.drawText(QRect(0, 72, width, 40), Qt::AlignCenter, title);
    return 116;
}

struct Row
{
    QString control;
    QString action;
};

// A two-column table with a header; rows alternate in shade.
void table(QPainter &p, const QRect &r, const QString &h1, const QString &h2, int col1,
           const QList<Row> &rows, int rowHeight, bool keycaps = false)
{
    p.save();
    p.setPen(QPen(kChartLine, 1));
    p.setBrush(QColor("#2f2f2f"));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    const int headH = 26;
    p.fillRect(QRect(r.left() + 1, r.top() + 1, r.width() - 2, headH - 1), QColor("#3f3f3f"));
    p.setPen(kAccent.lighter(125));
    p.setFont(font(12, true));
    p.drawText(QRect(r.left() + 10, r.top(), col1 - 10, headH), Qt::AlignVCenter | Qt::AlignLeft,
               h1);
    p.drawText(QRect(r.left() + col1 + 10, r.top(), r.width() - col1 - 10, headH),
               Qt::AlignVCenter | Qt::AlignLeft, h2);
    int y = r.top() + headH;
    for (int i = 0; i < rows.size(); ++i) {
        const QRect row(r.left() + 1, y, r.width() - 2, rowHeight);
        if (i % 2)
            p.fillRect(row, QColor("#363636"));
        if (keycaps) {
            const QFontMetrics fm(font(13, true));
            const int w = qMax(28, fm.horizontalAdvance(rows[i].control) + 16);
            const QRectF cap(r.left() + 10, y + 4, w, rowHeight - 8);
            QLinearGradient g(cap.topLeft(), cap.bottomLeft());
            g.setColorAt(0, QColor("#5e5e5e"));
            g.setColorAt(1, QColor("#464646"));
            p.setPen(QPen(QColor("#161616"), 1));
            p.setBrush(g);
            p.setRenderHint(QPainter::Antialiasing);
            p.drawRoundedRect(cap, 4, 4);
            p.setPen(Qt::white);
            p.setFont(font(13, true));
            p.drawText(cap, Qt::AlignCenter, rows[i].control);
        } else {
            p.setPen(Qt::white);
            p.setFont(font(12, true));
            p.drawText(QRect(r.left() + 10, y, col1 - 10, rowHeight),
                       Qt::AlignVCenter | Qt::AlignLeft, rows[i].control);
        }
        p.setPen(QColor("#e6e6e6"));
        p.setFont(font(keycaps ? 14 : 12));
        p.drawText(QRect(r.left() + col1 + 10, y, r.width() - col1 - 10, rowHeight),
                   Qt::AlignVCenter | Qt::AlignLeft, rows[i].action);
        y += rowHeight;
    }
    p.setPen(QPen(kChartLine, 1));
    p.drawLine(r.left() + col1, r.top(), r.left() + col1, r.bottom());
    p.restore();
}

void label(QPainter &p, const QPointF &at, const QString &text, int size = 12,
           Qt::Alignment align = Qt::AlignCenter, const QColor &color = Qt::white)
{
    p.setFont(font(size, true));
    p.setPen(color);
    QRectF box(at.x() - 60, at.y() - 10, 120, 20);
    if (align & Qt::AlignLeft)
        box.moveLeft(at.x());
    else if (align & Qt::AlignRight)
        box.moveRight(at.x());
    p.drawText(box, align | Qt::AlignVCenter, text);
}

// A callout line from a part of the drawing to its label.
void callout(QPainter &p, const QPointF &from, const QPointF &to)
{
    p.setPen(QPen(kAccent, 1.4));
    p.drawLine(from, to);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawEllipse(from, 2.5, 2.5);
}

void stick(QPainter &p, const QPointF &c, const QString &up, const QString &right,
           const QString &down, const QString &left)
{
    p.setPen(QPen(QColor("#1a1a1a"), 2));
    p.setBrush(QColor("#2a2a2a"));
    p.drawEllipse(c, 30, 30);
    QRadialGradient g(c + QPointF(-5, -5), 22);
    g.setColorAt(0, QColor("#6d6d6d"));
    g.setColorAt(1, QColor("#3a3a3a"));
    p.setBrush(g);
    p.drawEllipse(c, 21, 21);
    p.setPen(QPen(QColor("#8a8a8a"), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 14, 14);
    label(p, c + QPointF(0, -42), up, 11);
    label(p, c + QPointF(0, 42), down, 11);
    label(p, c + QPointF(-34, 0), left, 11, Qt::AlignRight);
    label(p, c + QPointF(34, 0), right, 11, Qt::AlignLeft);
}

QImage xboxChart()
{
    QImage img(800, 720, QImage::Format_ARGB32_Premultiplied);
    img.fill(kChartBack);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    chartHeader(p, 800, QStringLiteral("XBOX CONTROLLER"));

    // Triggers and bumpers behind the body.
    p.setPen(QPen(QColor("#8a8a8a"), 1.5));
    p.setBrush(QColor("#3c3c3c"));
    p.drawRoundedRect(QRectF(238, 128, 74, 34), 10, 10);
    p.drawRoundedRect(QRectF(488, 128, 74, 34), 10, 10);
    p.setBrush(QColor("#444444"));
    p.drawRoundedRect(QRectF(222, 154, 104, 20), 8, 8);
    p.drawRoundedRect(QRectF(474, 154, 104, 20), 8, 8);
    label(p, QPointF(275, 141), QStringLiteral("LT"), 12);
    label(p, QPointF(525, 141), QStringLiteral("RT"), 12);
    label(p, QPointF(274, 164), QStringLiteral("LB"), 11);
    label(p, QPointF(526, 164), QStringLiteral("RB"), 11);

    QPainterPath body;
    body.moveTo(300, 170);
    body.lineTo(500, 170);
    body.cubicTo(565, 166, 598, 190, 612, 238);
    body.cubicTo(630, 300, 660, 372, 630, 402);
    body.cubicTo(600, 428, 560, 410, 536, 374);
    body.cubicTo(514, 344, 486, 334, 400, 334);
    body.cubicTo(314, 334, 286, 344, 264, 374);
    body.cubicTo(240, 410, 200, 428, 170, 402);
    body.cubicTo(140, 372, 170, 300, 188, 238);
    body.cubicTo(202, 190, 235, 166, 300, 170);
    body.closeSubpath();
    QLinearGradient bodyFill(0, 170, 0, 420);
    bodyFill.setColorAt(0, QColor("#555555"));
    bodyFill.setColorAt(1, QColor("#3d3d3d"));
    p.setPen(QPen(QColor("#9a9a9a"), 2));
    p.setBrush(bodyFill);
    p.drawPath(body);

    // Guide, Back, Start.
    p.setPen(QPen(QColor("#1a1a1a"), 1.5));
    p.setBrush(QColor("#2c2c2c"));
    p.drawEllipse(QPointF(400, 206), 14, 14);
    p.setBrush(QColor("#6a6a6a"));
    p.drawRoundedRect(QRectF(358, 238, 22, 12), 6, 6);
    p.drawRoundedRect(QRectF(420, 238, 22, 12), 6, 6);
    label(p, QPointF(369, 262), QStringLiteral("Back"), 11);
    label(p, QPointF(431, 262), QStringLiteral("Start"), 11);

    // Left stick (TL when pressed) and right stick (TR when pressed).
    stick(p, QPointF(282, 236), QStringLiteral("Y11"), QStringLiteral("X11"), QStringLiteral("Y12"),
          QStringLiteral("X12"));
    stick(p, QPointF(468, 302), QStringLiteral("Y21"), QStringLiteral("X21"), QStringLiteral("Y22"),
          QStringLiteral("X22"));
    callout(p, QPointF(262, 250), QPointF(120, 300));
    label(p, QPointF(112, 300), QStringLiteral("TL (press)"), 12, Qt::AlignRight);
    callout(p, QPointF(488, 316), QPointF(650, 440));
    label(p, QPointF(656, 440), QStringLiteral("TR (press)"), 12, Qt::AlignLeft);

    // D-pad.
    const QPointF d(336, 302);
    QPainterPath cross;
    cross.addRoundedRect(QRectF(d.x() - 8, d.y() - 25, 16, 50), 3, 3);
    cross.addRoundedRect(QRectF(d.x() - 25, d.y() - 8, 50, 16), 3, 3);
    p.setPen(QPen(QColor("#1a1a1a"), 1.5));
    p.setBrush(QColor("#2e2e2e"));
    p.drawPath(cross.simplified());
    label(p, d + QPointF(0, -36), QStringLiteral("Y1"), 11);
    label(p, d + QPointF(0, 36), QStringLiteral("Y2"), 11);
    label(p, d + QPointF(-30, 0), QStringLiteral("X2"), 11, Qt::AlignRight);
    label(p, d + QPointF(30, 0), QStringLiteral("X1"), 11, Qt::AlignLeft);
    callout(p, d + QPointF(-10, 22), QPointF(150, 440));
    label(p, QPointF(144, 440), QStringLiteral("DPad"), 12, Qt::AlignRight);

    // Face buttons.
    struct Face
    {
        const char *name;
        QPointF at;
        QColor color;
    };
    const Face faces[] = {{"Y", {540, 206}, QColor("#b8932a")},
                          {"X", {514, 232}, QColor("#2f6db5")},
                          {"B", {566, 232}, QColor("#b23a3a")},
                          {"A", {540, 258}, QColor("#3e9a4a")}};
    for (const Face &f : faces) {
        p.setPen(QPen(QColor("#1a1a1a"), 1.5));
        p.setBrush(f.color);
        p.drawEllipse(f.at, 12, 12);
        label(p, f.at, QString::fromLatin1(f.name), 13);
    }

    // Callouts for the shoulder controls.
    callout(p, QPointF(240, 140), QPointF(150, 140));
    label(p, QPointF(144, 140), QStringLiteral("LT"), 12, Qt::AlignRight);
    callout(p, QPointF(224, 166), QPointF(150, 180));
    label(p, QPointF(144, 180), QStringLiteral("LB"), 12, Qt::AlignRight);
    callout(p, QPointF(560, 140), QPointF(650, 140));
    label(p, QPointF(656, 140), QStringLiteral("RT"), 12, Qt::AlignLeft);
    callout(p, QPointF(576, 166), QPointF(650, 180));
    label(p, QPointF(656, 180), QStringLiteral("RB"), 12, Qt::AlignLeft);

    const QList<Row> left = {
        {"LT", "Focus Out"},
        {"LB", "Zoom Out"},
        {"TL (left stick press)", "Show OSD Menu(HD only)"},
        {"Y11 (left stick up)", "Connect to Camera1"},
        {"X11 (left stick right)", "Connect to Camera2"},
        {"Y12 (left stick down)", "Connect to Camera3"},
        {"X12 (left stick left)", "Connect to Camera4"},
        {"DPad-Y1", "Move Up"},
        {"DPad-X1", "Move Right"},
        {"DPad-Y2", "Move Down"},
        {"DPad-X2", "Move Left"},
        {"Back", "OSD Menu Back"},
    };
    const QList<Row> right = {
        {"RT", "Focus In"},
        {"RB", "Zoom In"},
        {"TR (right stick press)", "Move to Home"},
        {"Y21 (right stick up)", "Move Up"},
        {"X21 (right stick right)", "Move Right"},
        {"Y22 (right stick down)", "Move Down"},
        {"X22 (right stick left)", "Move Left"},
        {"A", "Call Preset1"},
        {"X", "Call Preset2"},
        {"Y", "Call Preset3"},
        {"B", "Auto/Manual Focus"},
        {"Start", "OSD Menu Enter"},
    };
    table(p, QRect(16, 462, 376, 26 + 12 * 19), QStringLiteral("CONTROL"), QStringLiteral("ACTION"),
          180, left, 19);
    table(p, QRect(408, 462, 376, 26 + 12 * 19), QStringLiteral("CONTROL"),
          QStringLiteral("ACTION"), 180, right, 19);
    p.setPen(QPen(kChartLine, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 799, 719));
    return img;
}

QImage hotkeyChart()
{
    QImage img(720, 540, QImage::Format_ARGB32_Premultiplied);
    img.fill(kChartBack);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const int top = chartHeader(p, 720, QStringLiteral("KEYBOARD SHORTCUTS"));

    QList<Row> presets;
    for (int n = 1; n <= 9; ++n)
        presets.append({QStringLiteral("F%1").arg(n), QStringLiteral("Preset %1").arg(n)});
    const QList<Row> motion = {
        {"W", "Tilt Up"},   {"S", "Tilt Down"},      {"A", "Pan Left"},
        {"D", "Pan Right"}, {"Q", "Zoom In (Tele)"}, {"E", "Zoom Out (Wide)"},
    };
    const int rowH = 38;
    p.setFont(font(15, true));
    p.setPen(Qt::white);
    p.drawText(QRect(24, top + 2, 320, 26), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Camera Presets"));
    p.drawText(QRect(376, top + 2, 320, 26), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Camera Pan/Tilt Control"));
    table(p, QRect(24, top + 34, 320, 26 + 9 * rowH), QStringLiteral("KEY"),
          QStringLiteral("FUNCTION"), 90, presets, rowH, true);
    table(p, QRect(376, top + 34, 320, 26 + 6 * rowH), QStringLiteral("KEY"),
          QStringLiteral("FUNCTION"), 90, motion, rowH, true);

    // The six keys as they sit on the keyboard.
    const int kx = 376 + 86, ky = top + 34 + 26 + 6 * rowH + 22;
    const QString keys[2][3] = {{"Q", "W", "E"}, {"A", "S", "D"}};
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            const QRectF cap(kx + c * 46 + r * 14, ky + r * 46, 40, 40);
            QLinearGradient g(cap.topLeft(), cap.bottomLeft());
            g.setColorAt(0, QColor("#626262"));
            g.setColorAt(1, QColor("#444444"));
            p.setPen(QPen(QColor("#161616"), 1));
            p.setBrush(g);
            p.drawRoundedRect(cap, 5, 5);
            p.setPen(Qt::white);
            p.setFont(font(16, true));
            p.drawText(cap, Qt::AlignCenter, keys[r][c]);
        }
    }
    p.setPen(QPen(kChartLine, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 719, 539));
    return img;
}

// transback.png: the checker pattern of an unfilled preview-map box, tiled
// as a background (16 x 16, four 8 x 8 squares in two greys).
QImage checker()
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(QColor("#8c8c8c"));
    QPainter p(&img);
    p.fillRect(0, 0, 8, 8, QColor("#5c5c5c"));
    p.fillRect(8, 8, 8, 8, QColor("#5c5c5c"));
    return img;
}

// 24 x 24: the copy button of the web server dialog, two overlapping sheets
// in light grey on a transparent ground (the dialog is dark).
QImage copyButton()
{
    QImage img(24, 24, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor("#d8d8d8"), 1.6);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    // The sheet behind, partly hidden by the one in front.
    QPainterPath back;
    back.addRoundedRect(QRectF(4.5, 3.5, 11, 13), 2, 2);
    QPainterPath front;
    front.addRoundedRect(QRectF(8.5, 7.5, 11, 13), 2, 2);
    p.drawPath(back.subtracted(front));
    p.setBrush(QColor("#4e4e4e"));
    p.drawPath(front);
    p.setPen(QPen(QColor("#d8d8d8"), 1.2));
    for (qreal y : {11.5, 14.5, 17.5})
        p.drawLine(QPointF(11, y), QPointF(17, y));
    return img;
}

bool save(const QImage &img, const QString &dir, const QString &name)
{
    const QString path = QDir(dir).filePath(name);
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: paintassets <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    const struct
    {
        const char *file;
        Glyph glyph;
    } sprites[] = {
        {"uparrow.png", arrow(0)},
        {"upright.png", arrow(45)},
        {"rightarrow.png", arrow(90)},
        {"downright.png", arrow(135)},
        {"downarrow.png", arrow(180)},
        {"downleftarrow.png", arrow(225)},
        {"leftarrow.png", arrow(270)},
        {"upleft.png", arrow(315)},
        {"home.png", home},
        {"plus.png",
         [](QPainter &p, const QColor &c) {
             magnifier(p, c, true);
         }},
        {"minus.png",
         [](QPainter &p, const QColor &c) {
             magnifier(p, c, false);
         }},
        {"focusin.png",
         [](QPainter &p, const QColor &c) {
             focus(p, c, true);
         }},
        {"focusout.png",
         [](QPainter &p, const QColor &c) {
             focus(p, c, false);
         }},
    };
    bool ok = true;
    for (const auto &s : sprites)
        ok &= save(sprite(s.glyph), out, QString::fromLatin1(s.file));
    ok &= save(tvSprite(), out, QStringLiteral("tv.png"));
    ok &= save(logo(), out, QStringLiteral("corvanta1.png"));
    ok &= save(xboxChart(), out, QStringLiteral("xbox.png"));
    ok &= save(hotkeyChart(), out, QStringLiteral("hotkey.png"));
    ok &= save(checker(), out, QStringLiteral("transback.png"));
    ok &= save(copyButton(), out, QStringLiteral("copybtn.png"));
    return ok ? 0 : 1;
}
