#include "pantiltlimitdlg.h"
#include "ui_pantiltlimitdlg.h"

#include "appsettings.h"
#include "camerawrapper.h"

namespace {

enum LimitIndex
{
    LimitLeft = 0,
    LimitRight = 1,
    LimitDown = 2,
    LimitUp = 3
};

int positionFromDigits(const uint8_t *digits)
{
    int position = 0;
    for (int i = 0; i < 4; ++i)
        position = (position << 4) | (digits[i] & 0x0F);
    return position;
}

} // namespace

PanTiltLimitDlg::PanTiltLimitDlg(QWidget *parent, CameraWrapper *camera, AppSettings *settings,
                                 CameraControl *control)
    : QDialog(parent), ui(std::make_unique<Ui::PanTiltLimitDlg>()), m_camera(camera),
      m_settings(settings), m_control(control)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // The wrapped instruction text needs its full height at the dialog's
    // width; the layout would otherwise squeeze the arrow buttons instead.
    ensurePolished();
    const QMargins margins = layout()->contentsMargins();
    ui->label_5->setMinimumHeight(
        ui->label_5->heightForWidth(240 - margins.left() - margins.right()));
    resize(240, 383);

    const QString id = m_camera ? m_camera->getCameraId() : QString();
    if (m_settings) {
        ui->leftLimitEdit->setText(QString::number(m_settings->cameraLimit(id, LimitLeft)));
        ui->rightLimitEdit->setText(QString::number(m_settings->cameraLimit(id, LimitRight)));
        ui->downLimitEdit->setText(QString::number(m_settings->cameraLimit(id, LimitDown)));
        ui->upLimitEdit->setText(QString::number(m_settings->cameraLimit(id, LimitUp)));
    }

    if (m_camera)
        connect(m_camera, &CameraWrapper::clientStatusUpdated, this,
                &PanTiltLimitDlg::panTiltChanged);
    connect(ui->moveUpBtn, &QPushButton::pressed, this, &PanTiltLimitDlg::moveUp);
    connect(ui->moveDownBtn, &QPushButton::pressed, this, &PanTiltLimitDlg::moveDown);
    connect(ui->moveLeftBtn, &QPushButton::pressed, this, &PanTiltLimitDlg::moveLeft);
    connect(ui->moveRightBtn, &QPushButton::pressed, this, &PanTiltLimitDlg::moveRight);
    connect(ui->moveUpBtn, &QPushButton::released, this, &PanTiltLimitDlg::moveStop);
    connect(ui->moveDownBtn, &QPushButton::released, this, &PanTiltLimitDlg::moveStop);
    connect(ui->moveLeftBtn, &QPushButton::released, this, &PanTiltLimitDlg::moveStop);
    connect(ui->moveRightBtn, &QPushButton::released, this, &PanTiltLimitDlg::moveStop);
    connect(ui->moveHomeBtn, &QPushButton::pressed, this, &PanTiltLimitDlg::moveHome);
    connect(ui->rightUpBtn, &QPushButton::clicked, this, &PanTiltLimitDlg::applyUpRightLimit);
    connect(ui->leftDownBtn, &QPushButton::clicked, this, &PanTiltLimitDlg::applyDownLeftLimit);
}

PanTiltLimitDlg::~PanTiltLimitDlg() = default;

bool PanTiltLimitDlg::drivesSelected() const
{
    return m_camera && m_control && m_control->camera() == m_camera.data();
}

void PanTiltLimitDlg::startMove(CameraControl::Direction direction)
{
    if (drivesSelected())
        m_moving = m_control->move(direction, kMoveSpeed, kMoveSpeed);
}

void PanTiltLimitDlg::moveUp()
{
    startMove(CameraControl::Up);
}

void PanTiltLimitDlg::moveDown()
{
    startMove(CameraControl::Down);
}

void PanTiltLimitDlg::moveLeft()
{
    startMove(CameraControl::Left);
}

void PanTiltLimitDlg::moveRight()
{
    startMove(CameraControl::Right);
}

void PanTiltLimitDlg::moveHome()
{
    if (drivesSelected())
        m_control->moveHome();
}

void PanTiltLimitDlg::moveStop()
{
    m_moving = false;
    // A camera that is no longer selected was stopped by the layer when the
    // selection left it.
    if (drivesSelected())
        m_control->stopMove(kMoveSpeed, kMoveSpeed);
}

void PanTiltLimitDlg::done(int result)
{
    if (m_moving)
        moveStop();
    QDialog::done(result);
}

int PanTiltLimitDlg::panPosition() const
{
    return positionFromDigits(m_camera->status().panTiltPos);
}

int PanTiltLimitDlg::tiltPosition() const
{
    return positionFromDigits(m_camera->status().panTiltPos + 4);
}

bool PanTiltLimitDlg::panIsLeft() const
{
    return m_camera->status().panTiltPos[0] == 0x0F;
}

bool PanTiltLimitDlg::tiltIsDown() const
{
    return m_camera->status().panTiltPos[4] == 0x0F;
}

void PanTiltLimitDlg::panTiltChanged()
{
    if (!m_camera)
        return;
    const int pan = panPosition();
    const int tilt = tiltPosition();
    if (!panIsLeft())
        ui->panLabel->setText(QStringLiteral("Pan(right) :") +
                              QString::number(m_camera->panRightToDegree(pan)));
    else
        ui->panLabel->setText(QStringLiteral("Pan(Left) :") +
                              QString::number(m_camera->panLeftToDegree(pan)));
    if (!tiltIsDown())
        ui->tiltLabel->setText(QStringLiteral("Tilt(Up) :") +
                               QString::number(m_camera->tiltUpToDegree(tilt)));
    else
        ui->tiltLabel->setText(QStringLiteral("Tilt(Down) :") +
                               QString::number(m_camera->tiltDownToDegree(tilt)));
}

void PanTiltLimitDlg::applyDownLeftLimit()
{
    if (!m_camera)
        return;
    const int pan = panIsLeft() ? panPosition() : kLeftDefaultPan;
    const int tilt = tiltIsDown() ? tiltPosition() : kDownDefaultTilt;
    const int left = m_camera->panLeftToDegree(pan);
    const int down = m_camera->tiltDownToDegree(tilt);
    ui->leftLimitEdit->setText(QString::number(left));
    ui->downLimitEdit->setText(QString::number(down));
    if (m_settings) {
        const QString id = m_camera->getCameraId();
        m_settings->setCameraLimit(id, LimitLeft, left);
        m_settings->setCameraLimit(id, LimitDown, down);
    }
    m_camera->setDownLeftLimit(tilt, pan);
}

void PanTiltLimitDlg::applyUpRightLimit()
{
    if (!m_camera)
        return;
    const int pan = panIsLeft() ? kRightDefaultPan : panPosition();
    const int tilt = tiltIsDown() ? kUpDefaultTilt : tiltPosition();
    const int right = m_camera->panRightToDegree(pan);
    const int up = m_camera->tiltUpToDegree(tilt);
    ui->rightLimitEdit->setText(QString::number(right));
    ui->upLimitEdit->setText(QString::number(up));
    if (m_settings) {
        const QString id = m_camera->getCameraId();
        m_settings->setCameraLimit(id, LimitRight, right);
        m_settings->setCameraLimit(id, LimitUp, up);
    }
    m_camera->setUpRightLimit(tilt, pan);
}
