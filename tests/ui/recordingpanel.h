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
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class RecordingPanel : public QObject
{
protected:
    // Cameras 1..ids.size() with these ids; `player` plays the preview.
    void createPanel(const QStringList &ids = {"127.0.1.1", "127.0.1.2"},
                     std::unique_ptr<MediaPlayer> player = nullptr)
    {
        static TempDataHome home; // the suite's files, for the life of the process
        QFile::remove(Storage::userFolder() + "/settings.ini");
        s = new AppSettings;
        c = new CameraControl(s);
        for (const QString &id : ids)
            c->setCameras({new RecordingCamera(id)});
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
