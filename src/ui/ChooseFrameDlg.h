// The Choose Frame dialog: browses a movie one frame at a time and answers the chosen frame.
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

namespace vx {
class CMovieReader;
class IPlatform;
} // namespace vx

namespace vx::ui {

class CChooseFrameDlg : public CHelpDialog {
    Q_OBJECT
public:
    CChooseFrameDlg(IPlatform& ui, QWidget* parent);
    ~CChooseFrameDlg() override;

    // Opens the reader on m_strMoviePath and brings the controls in line; raises what the
    // reader raises (CMyException code 9), code 1 when no reader can be made.
    void OnInitDialog();
    // Initialises and runs the dialog modally. A failed start-up is reported once and answers
    // Rejected without showing the dialog.
    int DoModal();

    static QString FrameLabel(int64_t frame, int64_t lastFrame);
    static int TickFrequency(int64_t lastFrame);
    // Where the frame is drawn: fitted and centred in the preview area.
    QRect FittedPreview() const;

    QPushButton* Button(unsigned id) const;
    QLabel* Label() const { return m_pLabel; }
    QFrame* PreviewArea() const { return m_pArea; }
    // The frame as last drawn, at the fitted size.
    const QImage& ShownFrame() const { return m_shown; }

    QSlider* m_slider;
    std::string m_strMoviePath;
    int64_t m_nFrame = 0;
    std::unique_ptr<CMovieReader> m_pReader;
    int64_t m_nLastFrame = 0;

public slots:
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void UpdateControls();
    void Step(int64_t frame);
    void OnHScroll();
    QRect Dlu(int x, int y, int w, int h) const;

    IPlatform& m_ui;
    QFrame* m_pArea;
    QLabel* m_pLabel;
    QPushButton* m_pFirst;
    QPushButton* m_pPrev;
    QPushButton* m_pNext;
    QPushButton* m_pLast;
    QImage m_shown;
    // A step asks the reader for its frame at the next paint; other paints show it again.
    bool m_bFrameDue = true;
};

} // namespace vx::ui
