#include "ui/ChooseFrameDlg.h"

#include "base/MyException.h"
#include "base/Platform.h"
#include "movie/IndexProgressDialog.h"
#include "movie/MovieReader.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "res/UiTables.h"
#include "ui/QtDrawTarget.h"
#include "ui/ViewPict.h"

#include <QFrame>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <new>

namespace vx::ui {

namespace {

constexpr int kDialogWidth = 186;
constexpr int kDialogHeight = 100;

} // namespace

CChooseFrameDlg::CChooseFrameDlg(IPlatform& ui, QWidget* parent) : CHelpDialog(parent), m_ui(ui) {
    setWindowTitle(res::kChooseFrameTitle);
    setObjectName("ChooseFrameDlg");

    auto* ok = new QPushButton(res::kOkButton, this);
    ok->setObjectName("Button1");
    ok->setDefault(true);
    ok->setGeometry(Dlu(129, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancel = new QPushButton(res::kCancelButton, this);
    cancel->setObjectName("Button2");
    cancel->setGeometry(Dlu(129, 24, 50, 14));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_pArea = new QFrame(this);
    m_pArea->setObjectName("Static1033");
    m_pArea->setGeometry(Dlu(7, 7, 100, 71));
    m_pArea->hide(); // only marks where the frame goes

    const auto stepButton = [this](unsigned id, const char* text, int x) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QString("Button%1").arg(id));
        button->setGeometry(Dlu(x, 79, 15, 14));
        button->setAutoDefault(false);
        return button;
    };
    m_pFirst = stepButton(res::IDC_FRAME_FIRST, res::kChooseFrameFirst, 7);
    m_pPrev = stepButton(res::IDC_FRAME_PREV, res::kChooseFramePrevious, 26);
    m_pNext = stepButton(res::IDC_FRAME_NEXT, res::kChooseFrameNext, 45);
    m_pLast = stepButton(res::IDC_FRAME_LAST, res::kChooseFrameLast, 63);
    connect(m_pFirst, &QPushButton::clicked, this, [this] { Step(0); });
    connect(m_pPrev, &QPushButton::clicked, this,
            [this] { Step(std::max<int64_t>(m_nFrame - 1, 0)); });
    connect(m_pNext, &QPushButton::clicked, this,
            [this] { Step(std::min(m_nFrame + 1, m_nLastFrame)); });
    connect(m_pLast, &QPushButton::clicked, this, [this] { Step(m_nLastFrame); });

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName("Slider1040");
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setGeometry(Dlu(79, 78, 100, 12));
    m_slider->setFocusPolicy(Qt::StrongFocus);
    connect(m_slider, &QSlider::valueChanged, this, &CChooseFrameDlg::OnHScroll);
    connect(m_slider, &QSlider::sliderReleased, this, &CChooseFrameDlg::OnHScroll);

    m_pLabel = new QLabel(res::kChooseFrameLabel, this);
    m_pLabel->setObjectName("Static1041");
    m_pLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pLabel->setGeometry(Dlu(112, 60, 67, 8));

    setFixedSize(Dlu(0, 0, kDialogWidth, kDialogHeight).size());
}

CChooseFrameDlg::~CChooseFrameDlg() = default;

// Dialog units: a quarter of the font's average character width across, an eighth of its
// height down, so that the layout follows the font.
QRect CChooseFrameDlg::Dlu(int x, int y, int w, int h) const {
    const QFontMetrics fm(font());
    const int bx = std::max(fm.averageCharWidth(), 1);
    const int by = std::max(fm.height(), 1);
    return QRect(x * bx / 4, y * by / 8, w * bx / 4, h * by / 8);
}

QString CChooseFrameDlg::FrameLabel(int64_t frame, int64_t lastFrame) {
    char text[64];
    std::snprintf(text, sizeof text, res::LoadString(res::IDS_FRAME_OF).c_str(),
                  static_cast<unsigned>(static_cast<uint32_t>(frame + 1)),
                  static_cast<unsigned>(static_cast<uint32_t>(lastFrame + 1)));
    return QString::fromUtf8(text);
}

int CChooseFrameDlg::TickFrequency(int64_t lastFrame) {
    const int64_t frequency = lastFrame / 10;
    return frequency < 1 ? 1 : static_cast<int>(std::min<int64_t>(frequency, INT32_MAX));
}

void CChooseFrameDlg::OnInitDialog() {
    CIndexProgressDialog progress(m_ui);
    try {
        m_pReader = std::make_unique<CMovieReader>(m_strMoviePath, progress.Callback());
    } catch (const std::bad_alloc&) {
        throw CMyException(1, CMyException::FileDetails(
                                  m_strMoviePath, res::LoadString(res::IDS_REASON_NO_MEMORY)));
    }
    m_pReader->Seek(m_nFrame);
    m_nLastFrame = m_pReader->GetFrameCount() - 1;
    {
        const QSignalBlocker quiet(m_slider);
        m_slider->setRange(0, static_cast<int32_t>(m_nLastFrame));
    }
    m_slider->setTickInterval(TickFrequency(m_nLastFrame));

    // The label's widest text is the last frame's: let it fit, widening the dialog if need be.
    const int wanted =
        m_pLabel->fontMetrics().horizontalAdvance(FrameLabel(m_nLastFrame, m_nLastFrame)) + 2;
    if (wanted > m_pLabel->width()) {
        const int grow = wanted - m_pLabel->width();
        m_pLabel->resize(wanted, m_pLabel->height());
        setFixedSize(width() + grow, height());
    }
    UpdateControls();
    m_bFrameDue = true;
    update();
}

int CChooseFrameDlg::DoModal() {
    try {
        OnInitDialog();
    } catch (const CMyException& e) {
        m_pReader.reset();
        e.Report(m_ui);
        return QDialog::Rejected;
    }
    return exec();
}

void CChooseFrameDlg::UpdateControls() {
    m_pFirst->setEnabled(m_nFrame > 0);
    m_pPrev->setEnabled(m_nFrame > 0);
    m_pNext->setEnabled(m_nFrame < m_nLastFrame);
    m_pLast->setEnabled(m_nFrame < m_nLastFrame);
    {
        const QSignalBlocker quiet(m_slider); // not a step of its own
        m_slider->setValue(static_cast<int32_t>(m_nFrame));
    }
    m_pLabel->setText(FrameLabel(m_nFrame, m_nLastFrame));
}

void CChooseFrameDlg::Step(int64_t frame) {
    if (!m_pReader) {
        return;
    }
    // The same frame again needs no new decoding: the one shown is it.
    if (frame != m_nFrame || m_bFrameDue) {
        m_nFrame = frame;
        m_bFrameDue = true;
        try {
            m_pReader->Seek(m_nFrame);
        } catch (const CMyException& e) {
            e.Report(m_ui);
        }
    }
    UpdateControls();
    update();
}

void CChooseFrameDlg::OnHScroll() {
    Step(static_cast<int64_t>(m_slider->value()));
}

QRect CChooseFrameDlg::FittedPreview() const {
    if (!m_pReader) {
        return {};
    }
    int w = 0;
    int h = 0;
    m_pReader->GetFrameSize(w, h);
    const QRect area = m_pArea->geometry();
    if (w <= 0 || h <= 0 || area.isEmpty()) {
        return {};
    }
    return CViewPict::FittedRect(w, h, area.width(), area.height()).translated(area.topLeft());
}

void CChooseFrameDlg::paintEvent(QPaintEvent* event) {
    CHelpDialog::paintEvent(event);
    const QRect fitted = FittedPreview();
    if (fitted.isEmpty()) {
        return;
    }
    if (m_bFrameDue || m_shown.size() != fitted.size()) {
        m_shown = QImage(fitted.size(), QImage::Format_RGB32);
        m_shown.fill(Qt::black);
        m_bFrameDue = false;
        try {
            CQtDrawTarget target(m_shown);
            m_pReader->Draw(target, {0, 0, fitted.width(), fitted.height()});
        } catch (const CMyException& e) {
            // Not from inside a paint: the message box would paint over it.
            QTimer::singleShot(0, this, [this, code = e.m_nError, details = e.Details()] {
                CMyException(code, details).Report(m_ui);
            });
        }
    }
    QPainter painter(this);
    painter.drawImage(fitted.topLeft(), m_shown);
}

void CChooseFrameDlg::done(int result) {
    CHelpDialog::done(result);
    m_pReader.reset(); // the caller opens the movie again for the chosen frame
}

QPushButton* CChooseFrameDlg::Button(unsigned id) const {
    return findChild<QPushButton*>(QString("Button%1").arg(id));
}

} // namespace vx::ui
