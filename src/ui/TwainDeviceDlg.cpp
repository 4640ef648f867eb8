#include "ui/TwainDeviceDlg.h"

#include "base/Platform.h"
#include "res/Resource.h"
#include "res/UiTables.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

namespace vx::ui {

namespace {

QListWidget* MakeList(unsigned id, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString("List%1").arg(id));
    list->setSortingEnabled(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Names of one model differ at their end: keep both ends in sight.
    list->setTextElideMode(Qt::ElideMiddle);
    return list;
}

// A label with its list below it.
QVBoxLayout* Column(QLabel* label, QListWidget* list) {
    label->setBuddy(list);
    auto* column = new QVBoxLayout;
    column->addWidget(label);
    column->addWidget(list, 1);
    return column;
}

} // namespace

CTwainDeviceDlg::CTwainDeviceDlg(IPlatform& ui, std::vector<std::string> available,
                                 const std::vector<std::string>& selected, QWidget* parent)
    : CHelpDialog(parent), m_ui(ui), m_choice(std::move(available), selected) {
    setWindowTitle(res::kTwainDeviceTitle);
    setObjectName("TwainDeviceDlg");

    m_pAvailable = MakeList(res::IDC_TWAIN_AVAILABLE, this);
    m_pSelected = MakeList(res::IDC_TWAIN_SELECTED, this);
    m_pAdd = new QPushButton(res::kTwainAdd, this);
    m_pRemove = new QPushButton(res::kTwainRemove, this);
    m_pOk = new QPushButton(res::kOkButton, this);
    m_pCancel = new QPushButton(res::kCancelButton, this);
    for (QPushButton* button : {m_pAdd, m_pRemove, m_pCancel}) {
        button->setAutoDefault(false);
    }
    m_pOk->setDefault(true);
    connect(m_pAdd, &QPushButton::clicked, this, &CTwainDeviceDlg::OnAdd);
    connect(m_pRemove, &QPushButton::clicked, this, &CTwainDeviceDlg::OnRemove);
    connect(m_pOk, &QPushButton::clicked, this, &CTwainDeviceDlg::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CTwainDeviceDlg::reject);

    auto* moves = new QVBoxLayout;
    moves->addStretch(1);
    moves->addWidget(m_pAdd);
    moves->addWidget(m_pRemove);
    moves->addStretch(1);
    auto* closing = new QVBoxLayout;
    closing->addWidget(m_pOk);
    closing->addWidget(m_pCancel);
    closing->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(Column(new QLabel(res::kTwainAvailable, this), m_pAvailable), 1);
    layout->addLayout(moves);
    layout->addLayout(Column(new QLabel(res::kTwainSelected, this), m_pSelected), 1);
    layout->addLayout(closing);
    resize(520, 260); // about 257 x 133 dialog units

    QWidget* order[] = {m_pAvailable, m_pAdd, m_pRemove, m_pSelected, m_pOk, m_pCancel};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    Refill();
}

void CTwainDeviceDlg::SetLibrary(const CAcquisition* library) {
    m_pLibrary = library;
    Refill();
}

void CTwainDeviceDlg::SetAvailable(std::vector<std::string> available) {
    m_choice = CDeviceChoice(std::move(available), m_choice.SelectedList());
    Refill();
}

void CTwainDeviceDlg::Refill() {
    auto fill = [this](QListWidget* list, const std::vector<std::string>& names) {
        list->clear();
        int widest = 0;
        for (const std::string& name : names) {
            const QString text = QString::fromStdString(name);
            auto* item = new QListWidgetItem(text, list);
            QString tip = text;
            if (const CAcquisition::Device* device =
                    m_pLibrary ? m_pLibrary->FindSource(name) : nullptr) {
                tip = tr("%1\nVendor: %2\nModel: %3\nDevice: %4")
                          .arg(text, QString::fromStdString(device->vendor),
                               QString::fromStdString(device->model),
                               QString::fromStdString(device->saneName));
            }
            item->setToolTip(tip);
            widest = std::max(widest, list->fontMetrics().horizontalAdvance(text));
        }
        // Wide enough for whole names, up to a point; longer ones are elided in the middle.
        list->setMinimumWidth(std::min(widest + 40, 420));
    };
    fill(m_pAvailable, m_choice.AvailableList());
    fill(m_pSelected, m_choice.SelectedList());
}

void CTwainDeviceDlg::Move(QListWidget* from, bool choose) {
    const QList<QListWidgetItem*> rows = from->selectedItems();
    std::string text;
    if (!rows.isEmpty()) {
        text = rows.front()->text().toStdString();
    }
    const std::string* row = rows.isEmpty() ? nullptr : &text;
    if (!(choose ? m_choice.Add(row) : m_choice.Remove(row))) {
        m_ui.Beep();
        return;
    }
    Refill();
}

void CTwainDeviceDlg::OnAdd() {
    Move(m_pAvailable, true);
}

void CTwainDeviceDlg::OnRemove() {
    Move(m_pSelected, false);
}

void CTwainDeviceDlg::accept() {
    m_selected = m_choice.Result();
    CHelpDialog::accept();
}

} // namespace vx::ui
