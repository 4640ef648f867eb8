#include "ui/ChooseFrameDlg.h"

#include "base/MyException.h"
#include "base/Platform.h"
#include "movie/IndexProgressDialog.h"
#include "movie/MovieReader.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "res/UiTables.h"
#include "ui/DisplayPixels.h"
#include "ui/FrameFetcher.h"
#include "ui/ViewPict.h"

#include <QBoxLayout>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
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
    setSizeGripEnabled(true);

    auto* ok = new QPushButton(res::kOkButton, this);
    ok->setObjectName("Button1");
    ok->setDefault(true);
    ok->setMinimumWidth(Dlu(50, 14).width());
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancel = new QPushButton(res::kCancelButton, this);
    cancel->setObjectName("Button2");
    cancel->setMinimumWidth(Dlu(50, 14).width());
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // The dialog paints the frame over this area, which grows with the dialog.
    m_pArea = new QFrame(this);
    m_pArea->setObjectName("Static1033");
    m_pArea->setFrameShape(QFrame::NoFrame);
    m_pArea->setMinimumSize(Dlu(100, 71));
    m_pArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    const auto stepButton = [this](unsigned id, const char* text) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QString("Button%1").arg(id));
        button->setFixedSize(Dlu(15, 14));
        button->setAutoDefault(false);
        button->installEventFilter(this);
        return button;
    };
    m_pFirst = stepButton(res::IDC_FRAME_FIRST, res::kChooseFrameFirst);
    m_pPrev = stepButton(res::IDC_FRAME_PREV, res::kChooseFramePrevious);
    m_pNext = stepButton(res::IDC_FRAME_NEXT, res::kChooseFrameNext);
    m_pLast = stepButton(res::IDC_FRAME_LAST, res::kChooseFrameLast);
    ok->installEventFilter(this);
    cancel->installEventFilter(this);
    connect(m_pFirst, &QPushButton::clicked, this, [this] { Step(0); });
    connect(m_pPrev, &QPushButton::clicked, this, [this] { Step(m_nFrame - 1); });
    connect(m_pNext, &QPushButton::clicked, this, [this] { Step(m_nFrame + 1); });
    connect(m_pLast, &QPushButton::clicked, this, [this] { Step(m_nLastFrame); });

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName("Slider1040");
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setMinimumWidth(Dlu(100, 12).width());
    m_slider->setFocusPolicy(Qt::StrongFocus);
    connect(m_slider, &QSlider::valueChanged, this, &CChooseFrameDlg::OnHScroll);
    connect(m_slider, &QSlider::sliderReleased, this, &CChooseFrameDlg::OnHScroll);

    m_pLabel = new QLabel(res::kChooseFrameLabel, this);
    m_pLabel->setObjectName("Static1041");
    m_pLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_pNumber = new QSpinBox(this);
    m_pNumber->setObjectName("FrameNumber");
    m_pNumber->setKeyboardTracking(false); // a number half typed is no step
    m_pNumber->setAccelerated(true);
    m_pNumber->installEventFilter(this);
    connect(m_pNumber, &QSpinBox::valueChanged, this,
            [this](int number) { Step(int64_t(number) - 1); });

    auto* side = new QVBoxLayout;
    side->addWidget(ok);
    side->addWidget(cancel);
    side->addStretch(1);
    side->addWidget(m_pLabel);
    side->addWidget(m_pNumber);
    auto* steps = new QHBoxLayout;
    for (QWidget* w : {m_pFirst, m_pPrev, m_pNext, m_pLast}) {
        steps->addWidget(w);
    }
    steps->addWidget(m_slider, 1);
    auto* grid = new QGridLayout(this);
    grid->addWidget(m_pArea, 0, 0);
    grid->addLayout(side, 0, 1);
    grid->addLayout(steps, 1, 0, 1, 2);
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(0, 1);

    resize(Dlu(kDialogWidth, kDialogHeight).expandedTo(sizeHint()));
}

CChooseFrameDlg::~CChooseFrameDlg() = default;

// Dialog units: a quarter of the font's average character width across, an eighth of its
// height down, so that the layout follows the font.
QSize CChooseFrameDlg::Dlu(int w, int h) const {
    const QFontMetrics fm(font());
    const int bx = std::max(fm.averageCharWidth(), 1);
    const int by = std::max(fm.height(), 1);
    return QSize(w * bx / 4, h * by / 8);
}

QString CChooseFrameDlg::FrameLabel(int64_t frame, int64_t lastFrame) {
    char text[64];
    std::snprintf(text, sizeof text, res::LoadString(res::IDS_FRAME_OF).c_str(),
                  static_cast<unsigned>(static_cast<uint32_t>(frame + 1)),
                  static_cast<unsigned>(static_cast<uint32_t>(lastFrame + 1)));
    return QString::fromUtf8(text);
}

QString CChooseFrameDlg::TimeLabel(int64_t time) {
    const int64_t hundredths = std::max<int64_t>(time, 0) / 100000;
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02d:%02d.%02d",
                  static_cast<long long>(hundredths / 360000), int(hundredths / 6000 % 60),
                  int(hundredths / 100 % 60), int(hundredths % 100));
    return QString::fromUtf8(text);
}

int CChooseFrameDlg::TickFrequency(int64_t lastFrame) {
    const int64_t frequency = lastFrame / 10;
    return frequency < 1 ? 1 : static_cast<int>(std::min<int64_t>(frequency, INT32_MAX));
}

void CChooseFrameDlg::OnInitDialog() {
    CIndexProgressDialog progress(m_ui);
    std::unique_ptr<CMovieReader> reader;
    try {
        reader = std::make_unique<CMovieReader>(m_strMoviePath, progress.Callback());
        m_pFetcher = std::make_unique<CFrameFetcher>(std::move(reader));
    } catch (const std::bad_alloc&) {
        throw CMyException(1, CMyException::FileDetails(
                                  m_strMoviePath, res::LoadString(res::IDS_REASON_NO_MEMORY)));
    }
    connect(m_pFetcher.get(), &CFrameFetcher::Arrived, this, &CChooseFrameDlg::OnArrived);
    const CMovieReader& opened = m_pFetcher->Reader();
    opened.GetFrameSize(m_nFrameWidth, m_nFrameHeight);
    m_nLastFrame = opened.GetFrameCount() - 1;
    m_nFrame = std::clamp<int64_t>(m_nFrame, 0, m_nLastFrame);
    {
        const QSignalBlocker quiet(m_slider);
        m_slider->setRange(0, static_cast<int32_t>(m_nLastFrame));
    }
    m_slider->setTickInterval(TickFrequency(m_nLastFrame));
    {
        const QSignalBlocker quiet(m_pNumber);
        m_pNumber->setRange(
            1, static_cast<int32_t>(std::min<int64_t>(m_nLastFrame, INT32_MAX - 1)) + 1);
    }

    // The label's widest text is the last frame's: let it fit.
    const QFontMetrics fm = m_pLabel->fontMetrics();
    m_pLabel->setMinimumWidth(
        std::max(fm.horizontalAdvance(FrameLabel(m_nLastFrame, m_nLastFrame)),
                 fm.horizontalAdvance(TimeLabel(opened.FrameTime(m_nLastFrame)))) +
        2);
    resize(size().expandedTo(sizeHint()));
    layout()->activate(); // places the preview area before the dialog is first shown
    UpdateControls();
    AskForFrame();
}

int CChooseFrameDlg::DoModal() {
    try {
        OnInitDialog();
    } catch (const CMyException& e) {
        m_pFetcher.reset();
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
    {
        const QSignalBlocker quiet(m_pNumber);
        m_pNumber->setValue(static_cast<int32_t>(m_nFrame + 1));
    }
    QString text = FrameLabel(m_nFrame, m_nLastFrame);
    if (m_pFetcher) {
        text += '\n' + TimeLabel(m_pFetcher->Reader().FrameTime(m_nFrame));
    }
    m_pLabel->setText(text);
}

void CChooseFrameDlg::Step(int64_t frame) {
    if (!m_pFetcher) {
        return;
    }
    m_nFrame = std::clamp<int64_t>(frame, 0, m_nLastFrame);
    UpdateControls();
    AskForFrame();
}

void CChooseFrameDlg::OnHScroll() {
    Step(static_cast<int64_t>(m_slider->value()));
}

void CChooseFrameDlg::AskForFrame() {
    if (!m_pFetcher) {
        return;
    }
    int64_t frame = m_nFrame;
    // While the thumb moves, a key frame comes at once where the exact frame may take long.
    if (m_slider->isSliderDown()) {
        frame = m_pFetcher->Reader().KeyFrameAtOrBefore(m_nFrame);
    }
    const bool keyFrame = frame != m_nFrame;
    // The frame shown or on its way needs no second decoding.
    if (frame == m_nAsked && keyFrame == m_bAskedKey) {
        return;
    }
    m_nAsked = frame;
    m_bAskedKey = keyFrame;
    m_pFetcher->Request(frame, keyFrame);
}

void CChooseFrameDlg::OnArrived() {
    if (!m_pFetcher) {
        return;
    }
    std::unique_ptr<FetchedFrame> arrived = m_pFetcher->Take();
    if (!arrived) {
        return;
    }
    m_pArrived = std::move(arrived);
    m_bShownStale = true;
    update();
    if (m_bAcceptOnArrival && ShowsChosenFrame()) {
        m_bAcceptOnArrival = false;
        unsetCursor();
        CHelpDialog::accept();
    }
}

bool CChooseFrameDlg::ShowsChosenFrame() const {
    return m_pArrived && !m_pArrived->keyFrame && m_pArrived->frame == m_nFrame;
}

void CChooseFrameDlg::accept() {
    if (m_pFetcher && !ShowsChosenFrame()) {
        m_bAcceptOnArrival = true;
        setCursor(Qt::BusyCursor);
        AskForFrame();
        return;
    }
    CHelpDialog::accept();
}

std::unique_ptr<CDibImage> CChooseFrameDlg::TakeChosenPicture() {
    if (result() != QDialog::Accepted || !ShowsChosenFrame()) {
        return nullptr;
    }
    return std::move(m_pArrived->picture);
}

bool CChooseFrameDlg::StepKey(int key) {
    switch (key) {
    case Qt::Key_Left:
        Step(m_nFrame - 1);
        return true;
    case Qt::Key_Right:
        Step(m_nFrame + 1);
        return true;
    case Qt::Key_PageUp:
        Step(m_nFrame + m_slider->pageStep()); // as the slider pages
        return true;
    case Qt::Key_PageDown:
        Step(m_nFrame - m_slider->pageStep());
        return true;
    case Qt::Key_Home:
        Step(0);
        return true;
    case Qt::Key_End:
        Step(m_nLastFrame);
        return true;
    default:
        return false;
    }
}

void CChooseFrameDlg::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier && StepKey(event->key())) {
        return;
    }
    CHelpDialog::keyPressEvent(event);
}

bool CChooseFrameDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return CHelpDialog::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == m_pNumber) {
        // Enter takes the typed number; it does not end the dialog.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            m_pNumber->interpretText();
            Step(int64_t(m_pNumber->value()) - 1);
            return true;
        }
        return false; // the arrows and Home and End edit the number
    }
    // The buttons would move the focus with the arrows.
    return key->modifiers() == Qt::NoModifier && StepKey(key->key());
}

QRect CChooseFrameDlg::FittedPreview() const {
    const QRect area = m_pArea->geometry();
    if (!m_pFetcher || m_nFrameWidth <= 0 || m_nFrameHeight <= 0 || area.isEmpty()) {
        return {};
    }
    return CViewPict::FittedRect(m_nFrameWidth, m_nFrameHeight, area.width(), area.height())
        .translated(area.topLeft());
}

void CChooseFrameDlg::paintEvent(QPaintEvent* event) {
    CHelpDialog::paintEvent(event);
    const QRect fitted = FittedPreview();
    // Until the first frame arrives the area stays empty.
    if (fitted.isEmpty() || !m_pArrived) {
        return;
    }
    // In the screen's own pixels, so that a scaled screen shows the frame crisp.
    const qreal ratio = devicePixelRatioF();
    const QSize device = (QSizeF(fitted.size()) * ratio).toSize();
    if (m_bShownStale || m_shown.size() != device) {
        m_shown = QImage(device, QImage::Format_RGB32);
        m_shown.fill(Qt::black);
        if (m_pArrived->picture) {
            StretchUpright(*m_pArrived->picture, m_shown, m_shown.rect());
        }
        m_shown.setDevicePixelRatio(ratio);
        m_bShownStale = false;
    }
    QPainter painter(this);
    painter.drawImage(fitted.topLeft(), m_shown);

    QString mark;
    const std::string number = std::to_string(m_pArrived->frame + 1);
    if (!m_pArrived->decoded) {
        mark = QString::fromStdString(res::FormatString(res::IDS_FRAME_NOT_DECODED, {number}));
        if (!m_pArrived->failure.empty()) {
            mark += '\n' + QString::fromStdString(m_pArrived->failure);
        }
    } else if (m_pArrived->keyFrame) {
        mark = QString::fromStdString(res::FormatString(res::IDS_KEY_FRAME_SHOWN, {number}));
    }
    if (!mark.isEmpty()) {
        const int margin = 3;
        const QRect room = fitted.adjusted(margin, margin, -margin, -margin);
        QRect box =
            painter.boundingRect(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, mark);
        box = box.intersected(room);
        painter.fillRect(box.adjusted(-margin, -margin, margin, margin), QColor(0, 0, 0, 170));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, mark);
    }
}

void CChooseFrameDlg::done(int result) {
    unsetCursor();
    m_bAcceptOnArrival = false;
    CHelpDialog::done(result);
    // The worker may be in the middle of a fetch: it is let go, not waited for.
    m_pFetcher.reset();
}

QPushButton* CChooseFrameDlg::Button(unsigned id) const {
    return findChild<QPushButton*>(QString("Button%1").arg(id));
}

} // namespace vx::ui
