// The small parameter dialogs the survey menu opens: a caption, 186 by 95
// dialog units, "确定" and "取消" in the right-hand column. Two of them hold
// nothing more yet.
#pragma once

#include <QDialog>
#include <QString>

class CParameterDlg : public QDialog {
    Q_OBJECT
public:
    CParameterDlg(const QString& caption, QWidget* parent);
};

// "自动生成平行线".
class CParallelLinesDlg : public CParameterDlg {
    Q_OBJECT
public:
    explicit CParallelLinesDlg(QWidget* parent = nullptr);
};

// "方向距离推算".
class CBearingDistanceDlg : public CParameterDlg {
    Q_OBJECT
public:
    explicit CBearingDistanceDlg(QWidget* parent = nullptr);
};
