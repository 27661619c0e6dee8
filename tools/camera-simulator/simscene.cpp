#include "simscene.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QTransform>

#include <cmath>

namespace SimScene {

namespace {

// Scene extent in degrees (beyond every reachable view at the widest zoom).
constexpr double kLeft = -240, kRight = 240, kBottom = -80, kTop = 130;

// Text needs the font database of a GUI application.
bool canDrawText()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

void drawLabel(QPainter &p, const QTransform &toPicture, double x, double y, double heightDeg,
               const QString &text, const QColor &color)
{
    const QPointF at = toPicture.map(QPointF(x, y));
    const double px = heightDeg * std::abs(toPicture.m22());
    if (px < 4 || !canDrawText())
        return; // too small to read, or no fonts
    QFont font = p.font();
    font.setPixelSize(int(px));
    font.setBold(true);
    p.setFont(font);
    p.setPen(color);
    const QRectF box(at.x() - px * 4, at.y() - px / 2, px * 8, px);
    p.drawText(box, Qt::AlignCenter, text);
}

void drawScene(QPainter &p, const QTransform &toPicture, const QRectF &visible)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setTransform(toPicture);
    p.setPen(Qt::NoPen);

    // Sky above the horizon, ground below.
    QLinearGradient sky(0, 0, 0, kTop);
    sky.setColorAt(0, QColor(170, 205, 235));
    sky.setColorAt(1, QColor(40, 80, 150));
    p.fillRect(QRectF(kLeft, 0, kRight - kLeft, kTop), sky);
    QLinearGradient ground(0, kBottom, 0, 0);
    ground.setColorAt(0, QColor(60, 45, 30));
    ground.setColorAt(1, QColor(90, 120, 60));
    p.fillRect(QRectF(kLeft, kBottom, kRight - kLeft, -kBottom), ground);

    // Degree grid: every 5 degrees, heavier every 20.
    const double left = std::floor(visible.left() / 5) * 5;
    const double bottom = std::floor(visible.top() / 5) * 5;
    for (double x = left; x <= visible.right(); x += 5) {
        const bool major = std::fmod(std::abs(x), 20.0) < 0.01;
        p.fillRect(QRectF(x - (major ? 0.08 : 0.03), kBottom, major ? 0.16 : 0.06, kTop - kBottom),
                   QColor(255, 255, 255, major ? 110 : 50));
    }
    for (double y = bottom; y <= visible.bottom(); y += 5)
        p.fillRect(QRectF(kLeft, y - 0.03, kRight - kLeft, 0.06), QColor(255, 255, 255, 50));

    // A "barcode" band of irregular bars below the horizon: texture without
    // a period, so any shift of the picture is unambiguous.
    quint32 seed = 12345;
    for (double x = kLeft; x < kRight;) {
        seed = seed * 1103515245u + 12345u;
        const double width = 0.2 + double((seed >> 16) % 100) / 60.0;
        if ((seed >> 8) & 1)
            p.fillRect(QRectF(x, -9, width, 4), QColor(20 + int(seed % 60), 20, 40));
        x += width;
    }

    // Columns every 20 degrees, each its own colour, labelled with its pan.
    for (int k = -11; k <= 11; ++k) {
        const double x = k * 20.0;
        // Hues 40-320: never the red of the marker.
        const QColor c = QColor::fromHsv(40 + (k + 11) * 37 % 280, 200, 230);
        p.setBrush(c);
        p.drawRect(QRectF(x - 1.0, -4, 2.0, 16));
        p.setBrush(c.darker(150));
        p.drawEllipse(QPointF(x, 12), 2.5, 2.5);
    }
    // Tilt marks on the centre column.
    for (int t = -20; t <= 80; t += 20) {
        p.setBrush(QColor(255, 220, 0));
        p.drawRect(QRectF(-3.5, t - 0.15, 2.0, 0.3));
    }

    // The red disc at the centre of the scene (kMarkerPan, kMarkerTilt).
    p.setBrush(QColor(230, 20, 20));
    p.drawEllipse(QPointF(kMarkerPan, kMarkerTilt), kMarkerDiameter / 2, kMarkerDiameter / 2);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(kMarkerPan, kMarkerTilt), 0.3, 0.3);

    // Labels are drawn upright in picture coordinates.
    p.resetTransform();
    for (int k = -11; k <= 11; ++k)
        drawLabel(p, toPicture, k * 20.0, 16.5, 2.5, QString::number(k * 20), Qt::white);
    drawLabel(p, toPicture, 0, 3.5, 1.2, QStringLiteral("CENTRE"), Qt::white);
}

} // namespace

double horizontalFov(int zoom)
{
    const double z = qBound(0, zoom, kMaxZoom) / double(kMaxZoom);
    return kWideFovDegrees * std::pow(kMaxZoomRatio, -z);
}

double pixelsPerDegree(int zoom, int width)
{
    return width / horizontalFov(zoom);
}

QImage render(const View &view, const QSize &size)
{
    if (size.isEmpty())
        return QImage();
    // Manual focus away from the sharp position: drawn small, scaled up.
    int blur = 1;
    if (!view.autoFocus) {
        const double off = std::abs(view.focus - kSharpFocus) / 8192.0;
        blur = 1 + int(qBound(0.0, off, 1.0) * 7);
    }
    const QSize drawn(qMax(1, size.width() / blur), qMax(1, size.height() / blur));
    QImage picture(drawn, QImage::Format_RGB32);
    {
        QPainter p(&picture);
        const double ppd = pixelsPerDegree(view.zoom, drawn.width());
        QTransform toPicture;
        toPicture.translate(drawn.width() / 2.0, drawn.height() / 2.0);
        toPicture.scale(ppd, -ppd);
        toPicture.translate(-view.pan / kStepsPerDegree, -view.tilt / kStepsPerDegree);
        const QRectF visible = toPicture.inverted().mapRect(QRectF(QPointF(0, 0), QSizeF(drawn)));
        p.fillRect(picture.rect(), Qt::black);
        drawScene(p, toPicture, visible);
    }
    if (blur > 1)
        picture = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    QPainter p(&picture);
    if (view.tally == 1 || view.tally == 2) {
        const int t = qMax(4, size.height() / 90);
        const QColor c = view.tally == 1 ? QColor(230, 0, 0) : QColor(0, 200, 0);
        p.fillRect(QRect(0, 0, size.width(), t), c);
        p.fillRect(QRect(0, size.height() - t, size.width(), t), c);
        p.fillRect(QRect(0, 0, t, size.height()), c);
        p.fillRect(QRect(size.width() - t, 0, t, size.height()), c);
    }
    if (!view.overlay.isEmpty() && canDrawText()) {
        QFont font = p.font();
        font.setPixelSize(qMax(10, size.height() / 30));
        p.setFont(font);
        const QRect text = p.fontMetrics().boundingRect(QRect(0, 0, size.width(), size.height()),
                                                        Qt::AlignLeft | Qt::AlignTop, view.overlay);
        const QRect box = text.translated(12, 12).adjusted(-6, -4, 6, 4);
        p.fillRect(box, QColor(0, 0, 0, 150));
        p.setPen(Qt::white);
        p.drawText(text.translated(12, 12), Qt::AlignLeft | Qt::AlignTop, view.overlay);
    }
    return picture;
}

} // namespace SimScene
