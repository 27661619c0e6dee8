#include "multicameras.h"

#include "appsettings.h"
#include "camerawrapper.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const char kStyle[] = "QDialog { background-color: #333333; }"
                      "QGroupBox, QRadioButton, QLabel { color: white; }"
                      "QToolTip { color: black; }";

} // namespace

MultiCameras::MultiCameras(AppSettings *settings, const QList<CameraWrapper *> &cameras,
                           const QStringList &usbDevices, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_settings(settings)
{
    setWindowTitle(QStringLiteral("Multi Camera Setting"));
    setStyleSheet(QLatin1String(kStyle));
    resize(600, 527);
    setMinimumWidth(600);

    auto *grid = new QGridLayout;
    for (int i = 0; i < kSlots; ++i) {
        const QString k = QString::number(i + 1);
        auto *group = new QGroupBox(QStringLiteral("Camera") + k);
        auto *form = new QFormLayout(group);
        Row &row = m_rows[i];
        row.name = new QLineEdit;
        row.name->setObjectName(QStringLiteral("camName") + k);
        row.name->setPlaceholderText(QStringLiteral("Camera Name"));
        row.ip = new QRadioButton(QStringLiteral("IP Camera"));
        row.ip->setObjectName(QStringLiteral("ipRadio") + k);
        row.ip->setChecked(true);
        row.address = new QLineEdit;
        row.address->setObjectName(QStringLiteral("camIP") + k);
        row.address->setPlaceholderText(QStringLiteral("IP Address"));
        row.usb = new QRadioButton(QStringLiteral("USB Camera"));
        row.usb->setObjectName(QStringLiteral("usbRadio") + k);
        row.device = new QComboBox;
        row.device->setObjectName(QStringLiteral("usbCam") + k);
        auto *exclusive = new QButtonGroup(group);
        exclusive->addButton(row.ip);
        exclusive->addButton(row.usb);
        form->addRow(QStringLiteral("Camera Name"), row.name);
        form->addRow(row.ip, row.address);
        form->addRow(row.usb, row.device);
        grid->addWidget(group, i % 4, i / 4);
    }

    auto *cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("multiDlgCancel"));
    auto *ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("multiDlgOK"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &MultiCameras::onOKClicked);
    connect(cancel, &QPushButton::clicked, this, &MultiCameras::onCancelClicked);

    for (Row &row : m_rows)
        row.device->addItems(usbDevices);

    for (int i = 0; i < kSlots && i < cameras.size(); ++i) {
        CameraWrapper *camera = cameras.at(i);
        Row &row = m_rows[i];
        row.name->setText(camera->getCameraName());
        const int type = camera->getCameraType();
        if (type == CameraWrapper::UsbCamera) {
            row.usb->setChecked(true);
            const int index = row.device->findText(camera->getDeviceName());
            if (index >= 0)
                row.device->setCurrentIndex(index);
            row.address->setText(QStringLiteral("0.0.0.0"));
        } else if (type == CameraWrapper::NetworkCamera) {
            row.ip->setChecked(true);
            row.address->setText(camera->getCameraId());
        }
    }
}

MultiCameras::~MultiCameras() = default;

void MultiCameras::onOKClicked()
{
    QList<CameraSlot> entries;
    for (const Row &row : m_rows) {
        CameraSlot entry;
        entry.name = row.name->text();
        if (row.ip->isChecked()) {
            entry.type = CameraWrapper::NetworkCamera;
            entry.id = row.address->text();
        } else {
            entry.type = CameraWrapper::UsbCamera;
            entry.id = row.device->currentText();
        }
        entry.deviceName = entry.id;
        entries.append(entry);
    }
    m_settings->saveCameraSlots(entries);
    emit camerasChanged();
    accept();
}

void MultiCameras::onCancelClicked()
{
    reject();
}
