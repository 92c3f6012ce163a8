// The version box "版本信息".
#pragma once

#include <QDialog>

class CVersionInfoDlg : public QDialog {
    Q_OBJECT
public:
    explicit CVersionInfoDlg(QWidget* parent = nullptr);
};
