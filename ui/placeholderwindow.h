#pragma once

#include <QDialog>

// A plain window that stands in for a window of the panel that is not built
// yet (the live preview, the image preview map). Emits closed() when the
// operator closes it.
class PlaceholderWindow : public QDialog
{
    Q_OBJECT
public:
    PlaceholderWindow(const QString &title, const QString &text, QWidget *parent = nullptr);

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
};
