#include "shell/VersionInfoDlg.h"

#include "platform/DialogUnits.h"
#include "shell/AppIcon.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

// The texts keep the translation context they have always had, "AlarmLimitsDlg".
CVersionInfoDlg::CVersionInfoDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QCoreApplication::translate("AlarmLimitsDlg", "版本信息"));
    setFixedSize(DialogUnits(this, 0, 0, 241, 83).size());
    auto* icon = new QLabel(this);
    PlaceInDialogUnits(icon, 11, 17, 20, 20);
    icon->setPixmap(QuillmarIcon().pixmap(icon->size()));
    PlaceInDialogUnits(new QLabel("Velquor 1.0", this), 82, 7, 49, 9);
    auto* ok = new QPushButton(QCoreApplication::translate("AlarmLimitsDlg", "确定"), this);
    ok->setDefault(true);
    PlaceInDialogUnits(ok, 195, 7, 39, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
