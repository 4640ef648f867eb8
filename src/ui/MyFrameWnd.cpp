#include "ui/MyFrameWnd.h"

#include "document/KeltDoc.h"
#include "profile/PrivateProfile.h"
#include "res/Resource.h"
#include "ui/CommandActions.h"
#include "ui/MainFrame.h"
#include "ui/QtPlatform.h"
#include "ui/SliderToolBar.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace vx::ui {

namespace {
QSize s_screenOverride;

QSize ScreenSize() {
    if (s_screenOverride.isValid()) {
        return s_screenOverride;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1024, 768);
}
} // namespace

Placement ComputePlacement(int x, int y, int width, int height, QSize screen, QSize area) {
    int sx = screen.width();
    int sy = screen.height();
    Placement p;
    x = std::clamp(x, sx / 16, sx - sx / 16);
    y = std::clamp(y, sy / 16, sy - sy / 16);
    int w = std::min(width, sx);
    int h = std::min(height, sy);
    if (w >= 1 && h >= 1) {
        p.moveAndSize = true;
        p.rect = QRect(x, y, w, h);
    } else {
        QSize half(sx / 2, sy / 2);
        p.rect = QRect(
            QPoint((area.width() - half.width()) / 2, (area.height() - half.height()) / 2), half);
    }
    return p;
}

void CMyFrameWnd::SetScreenSizeOverride(QSize size) {
    s_screenOverride = size;
}

CMyFrameWnd::CMyFrameWnd(CMainFrame& main, bool closeHides)
    : QMdiSubWindow(nullptr), m_main(main), m_bCloseHides(closeHides) {
    m_pContainer = new QWidget(this);
    auto* layout = new QVBoxLayout(m_pContainer);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setWidget(m_pContainer);
    setMinimumSize(300, 200);
    if (!closeHides) {
        setAttribute(Qt::WA_DeleteOnClose);
        OnCommand(res::ID_FILE_CLOSE, [this] { close(); });
    }
    m_pToolActions = std::make_unique<CCommandActions>(
        [this] {
            std::vector<CCmdTarget*> chain{m_pActiveView, &m_main.Doc(), this, &m_main,
                                           &m_main.App()};
            return chain;
        },
        m_main.Platform(), nullptr);
}

CMyFrameWnd::~CMyFrameWnd() = default;

CMyFrameWnd* CMyFrameWnd::Of(QWidget* widget) {
    for (QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (auto* frame = dynamic_cast<CMyFrameWnd*>(w)) {
            return frame;
        }
    }
    return nullptr;
}

QToolBar* CMyFrameWnd::ToolBar() const {
    return m_pToolBar;
}

QSlider* CMyFrameWnd::Slider() const {
    return m_pToolBar ? m_pToolBar->Slider() : nullptr;
}

CSliderToolBar* CMyFrameWnd::CreateToolBar(unsigned id) {
    m_pToolBar = new CSliderToolBar(m_pContainer);
    m_pToolBar->LoadToolBar(id, *m_pToolActions);
    static_cast<QVBoxLayout*>(m_pContainer->layout())->insertWidget(0, m_pToolBar);
    return m_pToolBar;
}

void CMyFrameWnd::SetClient(QWidget* client) {
    client->setParent(m_pContainer);
    m_pContainer->layout()->addWidget(client);
}

void CMyFrameWnd::closeEvent(QCloseEvent* event) {
    if (m_bCloseHides) {
        event->ignore();
        hide();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

void CMyFrameWnd::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
        m_restoreRect = QRect(QPoint(0, 0), widget()->size());
    }
}

void CMyFrameWnd::changeEvent(QEvent* event) {
    QMdiSubWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        auto old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        if ((old & (Qt::WindowMinimized | Qt::WindowMaximized)) &&
            !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
            // A restored frame goes to the top-left corner of the frame area, keeping its size.
            QTimer::singleShot(0, this, [this] { move(m_restoreRect.topLeft()); });
        }
    }
}

void CMyFrameWnd::ApplyPlacement(const std::string& profile) {
    m_stored = GetPrivateProfileInts("", {"X", "Y", "WIDTH", "HEIGHT"}, -1, profile);
    m_fixed.reset();
    FollowArea();
}

void CMyFrameWnd::PlaceInArea(QRect rect) {
    m_fixed = rect;
    FollowArea();
}

void CMyFrameWnd::FollowArea() {
    // The frame area reaches its final size only once the window manager has maximised the main
    // frame: until the user moves or sizes this frame, it is placed again on each change.
    if (!m_bFollowArea && mdiArea()) {
        m_bFollowArea = true;
        mdiArea()->viewport()->installEventFilter(this);
    }
    FitPlacement();
}

void CMyFrameWnd::FitPlacement() {
    const QSize area = mdiArea() ? mdiArea()->viewport()->size() : QSize();
    if (m_fixed) {
        setGeometry(KeepInside(*m_fixed, area, minimumSize()));
        m_placed = geometry();
        return;
    }
    const Placement p =
        ComputePlacement(m_stored[0], m_stored[1], m_stored[2], m_stored[3], ScreenSize(), area);
    QRect rect = p.rect;
    if (!p.moveAndSize) {
        // Centred as the frame will be sized, which is never below its minimum.
        const QSize size = rect.size().expandedTo(minimumSize());
        rect = QRect(QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2),
                     size);
    }
    setGeometry(KeepInside(rect, area, minimumSize()));
    m_placed = geometry();
}

bool CMyFrameWnd::eventFilter(QObject* watched, QEvent* event) {
    if (m_bFollowArea && event->type() == QEvent::Resize && mdiArea() &&
        watched == mdiArea()->viewport()) {
        if (geometry() == m_placed &&
            !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
            FitPlacement();
        } else {
            m_bFollowArea = false;
            watched->removeEventFilter(this);
        }
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

void CMyFrameWnd::SavePlacement(const std::string& profile) {
    QRect r = geometry();
    if (isMinimized()) {
        r = m_restoreRect;
    }
    // A read-only folder loses the placement but nothing else.
    const std::string x = std::to_string(r.left());
    const std::string y = std::to_string(r.top());
    const std::string w = std::to_string(r.width());
    const std::string h = std::to_string(r.height());
    WritePrivateProfileStrings("", {{"X", x}, {"Y", y}, {"WIDTH", w}, {"HEIGHT", h}}, profile);
}

} // namespace vx::ui
