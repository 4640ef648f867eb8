// The Choose Frame dialog: browses a movie one frame at a time and answers the chosen frame.
// Frames are fetched on a thread of their own: the dialog shows the last frame that arrived
// until the next one does, and never waits for the decoder.
#pragma once

#include "ui/HelpDialog.h"

#include <QImage>
#include <cstdint>
#include <memory>
#include <string>

class QFrame;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

namespace vx {
class CDibImage;
class IPlatform;
} // namespace vx

namespace vx::ui {

class CFrameFetcher;
struct FetchedFrame;

class CChooseFrameDlg : public CHelpDialog {
    Q_OBJECT
public:
    CChooseFrameDlg(IPlatform& ui, QWidget* parent);
    ~CChooseFrameDlg() override;

    // Opens the reader on m_strMoviePath, brings the controls in line and asks for the first
    // frame; raises what the reader raises (CMyException code 9), code 1 when no reader can be
    // made.
    void OnInitDialog();
    // Initialises and runs the dialog modally. A failed start-up is reported once and answers
    // Rejected without showing the dialog.
    int DoModal();

    static QString FrameLabel(int64_t frame, int64_t lastFrame);
    // A time in 100 ns units as hh:mm:ss.ff, ff in hundredths of a second.
    static QString TimeLabel(int64_t time);
    static int TickFrequency(int64_t lastFrame);
    // Where the frame is drawn: fitted and centred in the preview area.
    QRect FittedPreview() const;

    QPushButton* Button(unsigned id) const;
    QLabel* Label() const { return m_pLabel; }
    QFrame* PreviewArea() const { return m_pArea; }
    // Where the frame number is typed (1-based).
    QSpinBox* NumberBox() const { return m_pNumber; }
    // The frame as last drawn, at the fitted size in the screen's pixels.
    const QImage& ShownFrame() const { return m_shown; }
    // The frame that arrived last and is shown; null before the first.
    const FetchedFrame* Arrived() const { return m_pArrived.get(); }
    // The frame shown is m_nFrame itself, not a stand-in or an earlier one.
    bool ShowsChosenFrame() const;
    CFrameFetcher* Fetcher() const { return m_pFetcher.get(); }
    // After OK: the picture of the chosen frame as it was shown, so that it need not be decoded
    // again; null when it never arrived.
    std::unique_ptr<CDibImage> TakeChosenPicture();

    QSlider* m_slider;
    std::string m_strMoviePath;
    int64_t m_nFrame = 0;
    int64_t m_nLastFrame = 0;

public slots:
    // OK before the chosen frame arrived ends the dialog when it does.
    void accept() override;
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateControls();
    void Step(int64_t frame);
    void OnHScroll();
    // Asks for what the preview should show: the chosen frame, or while the slider is dragged
    // the key frame before it.
    void AskForFrame();
    void OnArrived();
    // Steps for Left, Right, Page Up, Page Down, Home and End; false for other keys.
    bool StepKey(int key);
    QSize Dlu(int w, int h) const;

    IPlatform& m_ui;
    QFrame* m_pArea;
    QLabel* m_pLabel;
    QPushButton* m_pFirst;
    QPushButton* m_pPrev;
    QPushButton* m_pNext;
    QPushButton* m_pLast;
    QSpinBox* m_pNumber;
    std::unique_ptr<CFrameFetcher> m_pFetcher;
    int m_nFrameWidth = 0;
    int m_nFrameHeight = 0;
    int64_t m_nAsked = -1; // the frame last asked for, and whether as a stand-in
    bool m_bAskedKey = false;
    bool m_bAcceptOnArrival = false;
    std::unique_ptr<FetchedFrame> m_pArrived;
    QImage m_shown;
    bool m_bShownStale = true; // m_shown must be drawn again from m_pArrived
};

} // namespace vx::ui
