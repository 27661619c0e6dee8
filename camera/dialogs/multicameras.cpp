#include "multicameras.h"

#include "appsettings.h"
#include "camerawrapper.h"
#include "ipcamera.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const int kBauds[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};

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

        // The link of a network camera: only the fields its protocol uses
        // are shown.
        row.serialDevice = new QLineEdit;
        row.serialDevice->setObjectName(QStringLiteral("camDevice") + k);
        row.serialDevice->setPlaceholderText(QStringLiteral("Serial Device"));
        row.protocol = new QComboBox;
        row.protocol->setObjectName(QStringLiteral("camProtocol") + k);
        row.protocol->addItem(QStringLiteral("TCP"), int(CameraLinkConfig::Tcp));
        row.protocol->addItem(QStringLiteral("UDP"), int(CameraLinkConfig::Udp));
        row.protocol->addItem(QStringLiteral("Serial"), int(CameraLinkConfig::Serial));
        row.port = new QSpinBox;
        row.port->setObjectName(QStringLiteral("camPort") + k);
        row.port->setRange(1, 65535);
        row.port->setValue(CameraLinkConfig::kTcpPort);
        row.port->setToolTip(QStringLiteral("VISCA port"));
        row.serialAddress = new QSpinBox;
        row.serialAddress->setObjectName(QStringLiteral("camAddress") + k);
        row.serialAddress->setRange(1, 7);
        row.serialAddress->setToolTip(QStringLiteral("Camera address on the serial line"));
        row.baud = new QComboBox;
        row.baud->setObjectName(QStringLiteral("camBaud") + k);
        for (int baud : kBauds)
            row.baud->addItem(QString::number(baud), baud);
        row.baud->setCurrentIndex(row.baud->findData(CameraLinkConfig::kDefaultBaud));

        auto *addressBox = new QWidget;
        auto *addressLayout = new QHBoxLayout(addressBox);
        addressLayout->setContentsMargins(0, 0, 0, 0);
        addressLayout->addWidget(row.address);
        addressLayout->addWidget(row.serialDevice);
        row.linkFields = new QWidget;
        auto *linkLayout = new QHBoxLayout(row.linkFields);
        linkLayout->setContentsMargins(0, 0, 0, 0);
        linkLayout->addWidget(row.protocol);
        linkLayout->addWidget(row.port);
        linkLayout->addWidget(row.serialAddress);
        linkLayout->addWidget(row.baud);
        // Room for the wider of the two field sets, whichever is shown.
        const int gap = linkLayout->spacing();
        row.linkFields->setMinimumWidth(
            row.protocol->sizeHint().width() + gap +
            qMax(row.port->sizeHint().width(),
                 row.serialAddress->sizeHint().width() + gap + row.baud->sizeHint().width()));
        auto *linkLabel = new QLabel(QStringLiteral("Link"));
        row.linkLabel = linkLabel;
        form->addRow(QStringLiteral("Camera Name"), row.name);
        form->addRow(row.ip, addressBox);
        form->addRow(linkLabel, row.linkFields);
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

    for (Row &row : m_rows) {
        row.device->addItems(usbDevices);
        Row *r = &row;
        connect(row.ip, &QRadioButton::toggled, this, [this, r] { showLinkFields(*r); });
        connect(row.protocol, qOverload<int>(&QComboBox::currentIndexChanged), this,
                [this, r](int) { onProtocolChanged(*r); });
    }

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
            if (auto *ip = qobject_cast<IPCamera *>(camera))
                row.initial = ip->linkConfig();
            row.initialId = camera->getCameraId();
            const CameraLinkConfig &link = row.initial;
            row.protocol->setCurrentIndex(row.protocol->findData(int(link.protocol)));
            row.port->setValue(link.viscaPort());
            row.serialAddress->setValue(link.address);
            const int baud = row.baud->findData(link.baud);
            if (baud >= 0)
                row.baud->setCurrentIndex(baud);
            if (link.protocol == CameraLinkConfig::Serial)
                row.serialDevice->setText(serialDevicePath(camera->getCameraId()));
        }
    }
    for (Row &row : m_rows)
        showLinkFields(row);
    // The link fields need more room than the classic rows.
    const QSize wanted = sizeHint();
    resize(qMax(width(), wanted.width()), qMax(height(), wanted.height()));
}

void MultiCameras::showLinkFields(Row &row)
{
    const bool network = row.ip->isChecked();
    const auto protocol = CameraLinkConfig::Protocol(row.protocol->currentData().toInt());
    const bool serial = protocol == CameraLinkConfig::Serial;
    row.linkLabel->setVisible(network);
    row.linkFields->setVisible(network);
    row.address->setVisible(!serial || !network);
    row.serialDevice->setVisible(serial && network);
    row.port->setVisible(!serial);
    row.serialAddress->setVisible(serial);
    row.baud->setVisible(serial);
}

void MultiCameras::onProtocolChanged(Row &row)
{
    // A port still at one protocol's default follows to the other's.
    const auto protocol = CameraLinkConfig::Protocol(row.protocol->currentData().toInt());
    const int port = row.port->value();
    if (port == CameraLinkConfig::kTcpPort || port == CameraLinkConfig::kUdpPort) {
        CameraLinkConfig defaults;
        defaults.protocol = protocol;
        row.port->setValue(defaults.viscaPort());
    }
    showLinkFields(row);
}

void MultiCameras::networkEntry(const Row &row, QString *id, CameraLinkConfig *link)
{
    const auto protocol = CameraLinkConfig::Protocol(row.protocol->currentData().toInt());
    CameraLinkConfig c;
    c.protocol = protocol;
    if (protocol == CameraLinkConfig::Serial) {
        c.address = row.serialAddress->value();
        c.baud = row.baud->currentData().toInt();
        const QString device = serialDevicePath(row.serialDevice->text());
        *id = c.address > 1 ? device + QLatin1Char('#') + QString::number(c.address) : device;
    } else {
        CameraLinkConfig defaults;
        defaults.protocol = protocol;
        if (row.port->value() != defaults.viscaPort())
            c.port = quint16(row.port->value());
        *id = row.address->text();
    }
    // What the dialog does not show stays with an unchanged camera.
    if (*id == row.initialId) {
        c.httpPort = row.initial.httpPort;
        c.stream1 = row.initial.stream1;
        c.stream2 = row.initial.stream2;
    }
    *link = c;
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
            CameraLinkConfig link;
            networkEntry(row, &entry.id, &link);
            entry.link = link;
        } else {
            entry.type = CameraWrapper::UsbCamera;
            entry.id = row.device->currentText();
            entry.link = CameraLinkConfig();
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
