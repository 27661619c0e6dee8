#pragma once

// The main window over recording cameras: a fresh settings.ini, layer and
// window per case; what the panel gives each camera is its call log.

#include "appsettings.h"
#include "cameracontrol.h"
#include "mainwindow.h"
#include "mediaplayer.h"
#include "recordingcamera.h"
#include "storagepaths.h"
#include "tempdatahome.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <memory>

class RecordingPanel : public QObject
{
protected:
    // Cameras 1..ids.size() with these ids; `player` plays the preview.
    void createPanel(const QStringList &ids = {"127.0.1.1", "127.0.1.2"},
                     std::unique_ptr<MediaPlayer> player = nullptr)
    {
        QFile::remove(Storage::userFolder() + "/settings.ini");
        s = new AppSettings;
        c = new CameraControl(s);
        QList<CameraWrapper *> list;
        for (const QString &id : ids)
            list << new RecordingCamera(id);
        c->setCameras(list);
        w = new MainWindow(s, c, nullptr, nullptr, std::move(player));
    }
    void destroyPanel()
    {
        delete w;
        delete c;
        delete s;
    }

    RecordingCamera *cam(int i = 0) const { return static_cast<RecordingCamera *>(c->cameraAt(i)); }
    template <typename T = QPushButton> T *child(const char *name) const
    {
        T *found = w->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    QString statusText(const char *name) const { return child<QLabel>(name)->text(); }
    void press(const char *button) { QTest::mousePress(child(button), Qt::LeftButton); }
    void release(const char *button) { QTest::mouseRelease(child(button), Qt::LeftButton); }
    // A key straight from settings.ini after pending writes reached it.
    QVariant storedValue(const QString &key) const
    {
        s->sync();
        return QSettings(s->fileName(), QSettings::IniFormat).value(key);
    }
    // One poll cycle of camera i: its status is copied into the widgets once
    // after a connection.
    void pollCycle(int i = 0)
    {
        emit cam(i)->clientReadOneCycle();
        emit cam(i)->clientStatusUpdated();
        QCoreApplication::processEvents();
    }
    // Camera i selected, connected and synced; every call log cleared.
    void connectTo(int i = 0)
    {
        w->selectCamera(i);
        QCoreApplication::processEvents();
        pollCycle(i);
        QCOMPARE(w->uiSyncState, 2);
        for (int k = 0; k < c->cameraCount(); ++k)
            cam(k)->calls.clear();
    }
    // Runs `answer` on the next modal dialog of type T once it is open.
    template <typename T> void onNextModal(std::function<void(T *)> answer)
    {
        auto *timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [=] {
            if (auto *dlg = qobject_cast<T *>(QApplication::activeModalWidget())) {
                timer->deleteLater();
                timer->stop();
                answer(dlg);
            }
        });
        timer->start(10);
    }

    AppSettings *s = nullptr;
    CameraControl *c = nullptr;
    MainWindow *w = nullptr;
};

#define RECORDING_PANEL_MAIN(TestClass)                                                            \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        TempDataHome home;                                                                         \
        QApplication app(argc, argv);                                                              \
        TestClass tc;                                                                              \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
