#include "ui/AboutDialog.h"

#include "res/Resource.h"
#include "res/UiTables.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace vx::ui {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(res::kAboutTitle));
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QString::fromStdString(res::IconImage(res::IDR_MAINFRAME))).pixmap(32));
    auto* texts = new QVBoxLayout;
    texts->addWidget(new QLabel(QString::fromLatin1(res::kAboutVersion), this));
    texts->addWidget(new QLabel(QString::fromLatin1(res::kAboutLine), this));
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

} // namespace vx::ui
