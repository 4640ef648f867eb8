// The Camera dialog: a camera's live picture with Capture and Cancel. The camera starts once the
// dialog shows, so the windows never wait for it; what it captures is handed over as a picture.
#pragma once

#include "ui/HelpDialog.h"

#include <QCameraDevice>
#include <QList>
#include <memory>
#include <string>

class QCamera;
class QComboBox;
class QLabel;
class QMediaCaptureSession;
class QMediaDevices;
class QPushButton;
class QVideoFrame;
class QVideoWidget;

namespace vx {
class CDibImage;
class IPlatform;
} // namespace vx

namespace vx::ui {

class CCameraDlg : public CHelpDialog {
    Q_OBJECT
public:
    // The cameras connected now; the dialog offers a choice among them when there are several.
    static QList<QCameraDevice> Cameras();

    CCameraDlg(IPlatform& ui, QWidget* parent);
    ~CCameraDlg() override;

    // After Capture: the picture and the name of the camera that took it. Null after Cancel or
    // a failure, which has been reported.
    std::unique_ptr<CDibImage> TakePicture();
    std::string CameraName() const;

    QComboBox* Chooser() const { return m_pChooser; }
    QPushButton* CaptureButton() const { return m_pCapture; }
    QPushButton* CancelButton() const { return m_pCancel; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Start(int index);
    void Stop();
    void OnFrame(const QVideoFrame& frame);
    void OnCapture();
    void OnCamerasChanged();
    // Reports once and closes: nothing is handed over.
    void Fail(const std::string& message);

    IPlatform& m_ui;
    QList<QCameraDevice> m_cameras;
    QCameraDevice m_current;
    QMediaDevices* m_pDevices;
    QMediaCaptureSession* m_pSession;
    QCamera* m_pCamera = nullptr;
    QVideoWidget* m_pView;
    QLabel* m_pStatus;
    QComboBox* m_pChooser;
    QPushButton* m_pCapture;
    QPushButton* m_pCancel;
    bool m_bStarted = false;
    bool m_bFailed = false;
    std::unique_ptr<CDibImage> m_pPicture;
};

} // namespace vx::ui
