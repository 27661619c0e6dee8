#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

class QLabel;

// One box of the image preview map ("custom preset" 1..9), laid over the
// player area of the preview. A click without movement reports the box
// number; a drag moves the box and reports, on every mouse move, its new
// top-left relative to the centre of the parent (halves truncated toward
// zero) together with the camera key the drag started under. Setting another
// camera key ends a drag in progress, so no position of one camera's drag is
// reported under another. Boxes have a fixed size of 130 x 81. GUI thread only.
class BoundingBox : public QWidget
{
    Q_OBJECT
public:
    enum class CenterMark
    {
        None,
        CrossHair,
        Diamond
    };

    explicit BoundingBox(QWidget *parent = nullptr);

    int presetNumber() const { return m_presetNumber; }
    void setPresetNumber(int presetNum);
    QString cameraKey() const { return m_cameraKey; }
    void setCameraKey(const QString &cameraKey);
    // Shown as plain text, cut to its first 15 characters.
    void setTitle(const QString &title);
    QString title() const;
    // Fills with the picture in `path` (an empty fill when it cannot be read).
    void setImage(const QString &path);
    void setColor(const QColor &color);
    // The checker pattern of "no fill".
    void clearFill();
    void setCenterMark(CenterMark mark);
    // The fill's style sheet.
    QString fillStyle() const;

signals:
    void presetClicked(int presetNum);
    void dragged(int presetNum, const QString &cameraKey, const QPoint &offsetFromCentre);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void setFillStyle(const QString &style);

    int m_presetNumber = -1;
    QString m_cameraKey;
    QString m_dragKey;
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_pressPoint;

    QWidget *m_back;
    QLabel *m_numberLabel;
    QLabel *m_nameLabel;
    QLabel *m_centerLabel;
};

// Sets `widget`'s changed style sheet in force at once.
void repolish(QWidget *widget);

// `path` as a quoted string for a Qt style sheet url(): quotes, backslashes
// and line breaks in it can neither end the string nor add rules.
QString styleSheetString(const QString &path);
