// libFuzzer target: a damaged settings.ini. Each input is the whole file; the
// store is opened on it, the camera list is read and the parsing getters are
// read for each listed camera (appsettings.cpp compiled in, so it is
// instrumented). At most eight cameras, valid colours.
#include "appsettings.h"
#include "storagepaths.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {
QCoreApplication *app = nullptr;
QTemporaryDir *home = nullptr;
qint64 stamp = 0;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// The getters that parse more than a plain number or text.
void readCamera(AppSettings &s, const QString &id)
{
    for (int k = 0; k <= 4; ++k)
        s.cameraLimit(id, k);
    s.pictureInPicturePos(id);
    for (int n = 1; n <= 9; ++n) {
        s.presetName(id, n);
        s.customPresetPos(id, n);
        s.customPresetTitle(id, n);
        const BoxColor c = s.snapshotBoxColor(id, n);
        for (int v : {c.red, c.green, c.blue})
            check(v >= 0 && v <= 255);
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.*=false\nqt.*=false"));
    home = new QTemporaryDir;
    qputenv("XDG_DATA_HOME", home->path().toUtf8());
    app = new QCoreApplication(*argc, *argv);
    QDir().mkpath(Storage::userFolder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = Storage::userFolder() + QStringLiteral("/settings.ini");
    {
        QFile file(path);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char *>(data), qint64(size));
        file.close();
        // A new time stamp each run: Qt reads the file again instead of
        // answering from its cache of the previous input.
        check(file.open(QIODevice::ReadWrite));
        file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000 + ++stamp),
                         QFileDevice::FileModificationTime);
    }
    AppSettings settings;
    const QList<CameraSlot> cameras = settings.cameraSlots();
    check(cameras.size() <= AppSettings::kMaxCameras);
    for (const CameraSlot &camera : cameras)
        readCamera(settings, camera.id);
    settings.serverListenPort();
    settings.serverNic();
    settings.vmixId();
    settings.obsPort();
    settings.snapshotPath();
    return 0;
}
