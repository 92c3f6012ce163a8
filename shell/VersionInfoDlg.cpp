#include "shell/VersionInfoDlg.h"

#include "platform/DialogUnits.h"
#include "shell/AppIcon.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

// The texts keep the translation context they have always had, "AlarmLimitsDlg".
CVersionInfoDlg::CVersionInfoDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QCoreApplication::translate("AlarmLimitsDlg", "版本信息"));
    auto* icon = new QLabel(this);
    const QSize iconSize = DialogUnits(this, 0, 0, 20, 20).size();
    icon->setPixmap(QuillmarIcon().pixmap(iconSize));
    auto* ok = new QPushButton(QCoreApplication::translate("AlarmLimitsDlg", "确定"), this);
    ok->setDefault(true);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addSpacing(DialogUnits(this, 0, 0, 40, 0).width());
    layout->addWidget(new QLabel("Velquor 1.0", this), 1, Qt::AlignTop);
    layout->addWidget(ok, 0, Qt::AlignTop);
    SizeToContents(this, DialogUnits(this, 0, 0, 241, 0).width());
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
