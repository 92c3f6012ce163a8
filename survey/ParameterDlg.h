// The small parameter dialogs the survey menu opens: a caption, the fields
// on the left, "确定" and "取消" in the right-hand column. Two of them hold
// nothing more yet.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QPushButton;
class QVBoxLayout;

class CParameterDlg : public QDialog {
    Q_OBJECT
public:
    CParameterDlg(const QString& caption, QWidget* parent);

protected:
    // Adds a field below those there, before the buttons in the Tab order.
    void AddField(QWidget* field);

private:
    QVBoxLayout* m_pFields;
    QList<QWidget*> m_order;
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
