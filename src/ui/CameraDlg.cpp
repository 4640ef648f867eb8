#include "ui/CameraDlg.h"

#include "base/MyException.h"
#include "base/Platform.h"
#include "picture/DibImage.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "res/UiTables.h"
#include "ui/DisplayPixels.h"

#include <QCamera>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <filesystem>

namespace vx::ui {

namespace {

QString Text(unsigned id) {
    return QString::fromStdString(res::LoadString(id));
}

// The largest picture the camera streams at a usable rate: what is shown is what is captured.
QCameraFormat BestFormat(const QCameraDevice& camera) {
    QCameraFormat best;
    auto pixels = [](const QCameraFormat& f) {
        return qint64(f.resolution().width()) * f.resolution().height();
    };
    for (const QCameraFormat& format : camera.videoFormats()) {
        const bool fluid = format.maxFrameRate() >= 10;
        const bool bestFluid = !best.isNull() && best.maxFrameRate() >= 10;
        if (best.isNull() || (fluid && !bestFluid) ||
            (fluid == bestFluid && pixels(format) > pixels(best))) {
            best = format;
        }
    }
    return best;
}

} // namespace

QList<QCameraDevice> CCameraDlg::Cameras() {
    // Every camera the media backends reach is a video device node. Without one the backend is
    // not loaded at all: it brings threads and plugins of its own, and the scanner backends'
    // worker threads do not always take to sharing the process with them.
    std::error_code error;
    bool any = false;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
        if (entry.path().filename().string().starts_with("video")) {
            any = true;
            break;
        }
    }
    return any ? QMediaDevices::videoInputs() : QList<QCameraDevice>();
}

CCameraDlg::CCameraDlg(IPlatform& ui, QWidget* parent)
    : CHelpDialog(parent), m_ui(ui), m_cameras(Cameras()), m_pDevices(new QMediaDevices(this)),
      m_pSession(new QMediaCaptureSession(this)), m_pView(new QVideoWidget(this)),
      m_pStatus(new QLabel(Text(res::IDS_CAMERA_STARTING), this)), m_pChooser(new QComboBox(this)),
      m_pCapture(new QPushButton(Text(res::IDS_CAMERA_CAPTURE), this)),
      m_pCancel(new QPushButton(QString::fromUtf8(res::kCancelButton), this)) {
    setWindowTitle(Text(res::IDS_CAMERA_TITLE));
    m_pView->setMinimumSize(320, 240);
    m_pSession->setVideoOutput(m_pView);

    int chosen = 0;
    for (int i = 0; i < m_cameras.size(); ++i) {
        m_pChooser->addItem(m_cameras[i].description());
        if (m_cameras[i] == QMediaDevices::defaultVideoInput()) {
            chosen = i;
        }
    }
    m_pChooser->setCurrentIndex(chosen);
    auto* chooserLabel = new QLabel(Text(res::IDS_CAMERA_CHOOSE), this);
    chooserLabel->setBuddy(m_pChooser);
    const bool choice = m_cameras.size() > 1;
    chooserLabel->setVisible(choice);
    m_pChooser->setVisible(choice);

    m_pCapture->setDefault(true);
    m_pCapture->setEnabled(false); // until the first picture is shown

    auto* top = new QHBoxLayout;
    top->addWidget(chooserLabel);
    top->addWidget(m_pChooser, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pStatus, 1);
    buttons->addWidget(m_pCapture);
    buttons->addWidget(m_pCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_pView, 1);
    layout->addLayout(buttons);

    connect(m_pCapture, &QPushButton::clicked, this, &CCameraDlg::OnCapture);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pChooser, &QComboBox::activated, this, [this](int index) {
        if (m_bStarted) {
            Start(index);
        }
    });
    connect(m_pView->videoSink(), &QVideoSink::videoFrameChanged, this, &CCameraDlg::OnFrame);
    connect(m_pDevices, &QMediaDevices::videoInputsChanged, this, &CCameraDlg::OnCamerasChanged);
}

CCameraDlg::~CCameraDlg() {
    Stop();
}

void CCameraDlg::showEvent(QShowEvent* event) {
    CHelpDialog::showEvent(event);
    if (!m_bStarted) {
        m_bStarted = true;
        // Once the dialog is on screen: a camera can take a while to open.
        QTimer::singleShot(0, this, [this] { Start(m_pChooser->currentIndex()); });
    }
}

void CCameraDlg::Start(int index) {
    Stop();
    if (index < 0 || index >= m_cameras.size()) {
        Fail(res::LoadString(res::IDS_CAMERA_NONE));
        return;
    }
    m_current = m_cameras[index];
    m_pStatus->setText(Text(res::IDS_CAMERA_STARTING));
    m_pCapture->setEnabled(false);
    m_pCamera = new QCamera(m_current, this);
    const QCameraFormat format = BestFormat(m_current);
    if (!format.isNull()) {
        m_pCamera->setCameraFormat(format);
    }
    // Busy, refused or failing: the reason comes from the camera's own driver.
    connect(m_pCamera, &QCamera::errorOccurred, this, [this](QCamera::Error, const QString& why) {
        Fail(res::FormatString(res::IDS_CAMERA_FAILED,
                               {m_current.description().toStdString(), why.toStdString()}));
    });
    m_pSession->setCamera(m_pCamera);
    m_pCamera->start();
}

void CCameraDlg::Stop() {
    if (m_pCamera) {
        m_pSession->setCamera(nullptr);
        m_pCamera->disconnect(this);
        m_pCamera->stop();
        m_pCamera->deleteLater();
        m_pCamera = nullptr;
    }
}

void CCameraDlg::OnFrame(const QVideoFrame& frame) {
    if (m_pCamera && frame.isValid() && !m_pCapture->isEnabled() && !m_bFailed) {
        m_pStatus->clear();
        m_pCapture->setEnabled(true);
    }
}

void CCameraDlg::OnCapture() {
    if (m_bFailed) {
        return;
    }
    const QVideoFrame frame = m_pView->videoSink()->videoFrame();
    const QImage image = frame.isValid() ? frame.toImage() : QImage();
    try {
        m_pPicture = PictureFromImage(image);
    } catch (const CMyException& e) {
        Fail(e.Details().empty() ? e.Message() : e.Message() + "\n" + e.Details());
        return;
    }
    if (!m_pPicture) {
        Fail(res::FormatString(res::IDS_CAMERA_NO_PICTURE,
                               {m_current.description().toStdString(), ""}));
        return;
    }
    Stop();
    accept();
}

void CCameraDlg::OnCamerasChanged() {
    m_cameras = Cameras();
    if (!m_current.isNull() && !m_cameras.contains(m_current)) {
        Fail(res::FormatString(res::IDS_CAMERA_LOST, {m_current.description().toStdString()}));
    }
}

void CCameraDlg::Fail(const std::string& message) {
    if (m_bFailed) {
        return;
    }
    m_bFailed = true;
    Stop();
    m_pPicture.reset();
    m_ui.MessageBox(message, MsgButtons::Ok, MsgIcon::Exclamation);
    reject();
}

std::unique_ptr<CDibImage> CCameraDlg::TakePicture() {
    return std::move(m_pPicture);
}

std::string CCameraDlg::CameraName() const {
    return m_current.description().toStdString();
}

} // namespace vx::ui
