#include "ui/QtPlatform.h"

#include "base/CmdTarget.h"
#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/AspectDlg.h"
#include "ui/ChooseFrameDlg.h"
#include "ui/DisplayPixels.h"
#include "ui/FocusReturn.h"
#include "ui/MainFrame.h"
#include "ui/ProgressDlg.h"

#include <QApplication>
#include <QFileDialog>
#include <exception>

namespace vx::ui {

QMessageBox::StandardButtons CQtPlatform::ToQtButtons(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok:
        return QMessageBox::Ok;
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon CQtPlatform::ToQtIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::None:
        return QMessageBox::NoIcon;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Stop:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

MsgResult CQtPlatform::FromQt(int button, MsgButtons buttons) {
    switch (button) {
    case QMessageBox::Ok:
        return MsgResult::Ok;
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    default:
        // A box closed without a choice: No where the box offers no Cancel.
        return buttons == MsgButtons::YesNo ? MsgResult::No
               : buttons == MsgButtons::Ok  ? MsgResult::Ok
                                            : MsgResult::Cancel;
    }
}

QStringList CQtPlatform::ToQtFilters(const std::string& filter) {
    QStringList result;
    QStringList parts = QString::fromStdString(filter).split('|');
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i].trimmed();
        if (label.isEmpty()) {
            break;
        }
        if (int open = label.lastIndexOf('('); open > 0 && label.endsWith(')')) {
            label = label.left(open).trimmed();
        }
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (auto& p : patterns) {
            p = p.trimmed();
        }
        result << label + " (" + patterns.join(' ') + ")";
    }
    return result;
}

MsgResult CQtPlatform::MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                  const std::string& details) {
    m_strLastDetails = details;
    if (m_messageHook) {
        return m_messageHook(text, buttons, icon);
    }
    CFocusReturn focus;
    QMessageBox box(ToQtIcon(icon), QString::fromStdString(res::LoadString(res::IDS_APP_TITLE)),
                    QString::fromStdString(text), ToQtButtons(buttons), m_pMainFrame);
    if (!details.empty()) {
        box.setInformativeText(QString::fromStdString(details));
    }
    return FromQt(box.exec(), buttons);
}

std::optional<FileDialogResult> CQtPlatform::FileDialog(const FileDialogOptions& options) {
    if (m_fileDialogHook) {
        return m_fileDialogHook(options);
    }
    CFocusReturn focus;
    QFileDialog dialog(m_pMainFrame, QString::fromStdString(options.title));
    dialog.setAcceptMode(options.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(options.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters = ToQtFilters(options.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (options.filterIndex >= 0 && options.filterIndex < filters.size()) {
            dialog.selectNameFilter(filters[options.filterIndex]);
        }
    }
    // A name typed without an extension takes the chosen filter's, not always the default's.
    auto followFilter = [&dialog, &options, filters](const QString& chosen) {
        const int index = filters.indexOf(chosen);
        dialog.setDefaultSuffix(
            QString::fromStdString(index >= 0 ? options.SuffixFor(index) : options.defaultExt));
    };
    followFilter(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.promptOverwrite);
    if (!options.initialName.empty()) {
        dialog.selectFile(QString::fromStdString(options.initialName));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    FileDialogResult result;
    result.path = dialog.selectedFiles().first().toStdString();
    result.filterIndex = std::max<int>(0, filters.indexOf(dialog.selectedNameFilter()));
    return result;
}

void CQtPlatform::Beep() {
    QApplication::beep();
}

void CQtPlatform::SetMainTitle(const std::string& title) {
    if (m_pMainFrame) {
        m_pMainFrame->setWindowTitle(QString::fromStdString(title));
    }
}

void CQtPlatform::SetTimer(unsigned id, unsigned ms, std::function<void()> onTick) {
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(int(ms));
    QObject::connect(timer.get(), &QTimer::timeout, [this, onTick = std::move(onTick)] {
        try {
            onTick();
        } catch (const std::exception&) {
            MessageBox(CCommandRouter::GenericFailureText(), MsgButtons::Ok, MsgIcon::Exclamation);
        }
    });
    timer->start();
    KillTimer(id); // a running timer of the same id is replaced
    m_timers[id] = std::move(timer);
}

void CQtPlatform::KillTimer(unsigned id) {
    if (auto it = m_timers.find(id); it != m_timers.end()) {
        // The callback may kill its own timer: delete it once control is back in the loop.
        it->second->stop();
        it->second.release()->deleteLater();
        m_timers.erase(it);
    }
}

void CQtPlatform::UpdateAllViews() {
    if (m_pMainFrame) {
        m_pMainFrame->UpdateAllViews();
    }
}

std::optional<ViewSize> CQtPlatform::PreviewViewSize() {
    if (!m_pMainFrame || !m_pMainFrame->PreviewView()) {
        return std::nullopt;
    }
    const QSize device = DeviceSize(*m_pMainFrame->PreviewView());
    return ViewSize{device.width(), device.height()};
}

void CQtPlatform::RepaintPreviewView() {
    if (m_pMainFrame && m_pMainFrame->PreviewView()) {
        m_pMainFrame->PreviewView()->repaint();
    }
}

int CQtPlatform::SliderPosition() {
    return m_pMainFrame ? m_pMainFrame->m_nSliderPos : 50;
}

std::unique_ptr<IProgressDialog> CQtPlatform::OpenProgressDialog(const std::string& text,
                                                                 bool cancelAllowed) {
    return std::make_unique<CProgressDlg>(text, cancelAllowed, m_pMainFrame);
}

bool CQtPlatform::RunAspectDialog(int& width, int& height) {
    CFocusReturn focus;
    CAspectDlg dialog(m_pMainFrame ? &m_pMainFrame->Doc().Platform() : nullptr, m_pMainFrame);
    dialog.m_nWidth = width;
    dialog.m_nHeight = height;
    dialog.OnInitDialog();
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    width = dialog.m_nWidth;
    height = dialog.m_nHeight;
    return true;
}

std::optional<ChosenFrame> CQtPlatform::RunChooseFrameDialog(const std::string& moviePath) {
    CFocusReturn focus;
    CChooseFrameDlg dialog(*this, m_pMainFrame);
    dialog.m_strMoviePath = moviePath;
    if (dialog.DoModal() != QDialog::Accepted) {
        return std::nullopt;
    }
    return ChosenFrame{dialog.m_nFrame, dialog.TakeChosenPicture()};
}

} // namespace vx::ui
