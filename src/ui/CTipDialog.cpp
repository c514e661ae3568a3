#include "ui/CTipDialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/TipOfTheDay.h"

namespace qv {

CTipDialog::CTipDialog(TipOfTheDay& tips, QWidget* parent)
    : QDialog(parent),
      tips_(tips),
      tip_(new QLabel(this)),
      startUp_(new QCheckBox("&Show Tips on StartUp", this)),
      next_(new QPushButton("&Next Tip", this)),
      close_(new QPushButton("Close", this)) {
    setObjectName("TipOfTheDay");
    setWindowTitle("Tip of the Day");
    setAttribute(Qt::WA_DeleteOnClose);

    auto* heading = new QLabel("<b>Did you know...</b>", this);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setAutoFillBackground(true);
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, QColor(255, 255, 225));
    panel->setPalette(p);
    auto* inner = new QVBoxLayout(panel);
    inner->addWidget(heading);
    tip_->setObjectName("TipText");
    tip_->setWordWrap(true);
    tip_->setMinimumSize(300, 90);
    tip_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    inner->addWidget(tip_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startUp_);
    buttons->addStretch(1);
    buttons->addWidget(next_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addLayout(buttons);

    startUp_->setChecked(tips_.ShowAtStartUp());
    connect(startUp_, &QCheckBox::toggled, this, [this](bool on) { tips_.SetShowAtStartUp(on); });
    connect(next_, &QPushButton::clicked, this, &CTipDialog::NextTip);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    close_->setDefault(true);
    NextTip();
}

QString CTipDialog::TipText() const {
    return tip_->text();
}

void CTipDialog::NextTip() {
    const std::optional<std::string> tip = tips_.NextTip();
    tip_->setText(tip ? QString::fromUtf8(tip->c_str())
                      : QString("Tips are not available: the file tips.txt could not be read."));
    next_->setEnabled(tip.has_value());
}

}  // namespace qv
