#include "view/SerialMonitorDlg.h"

#include "platform/DialogUnits.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>

CSerialMonitorDlg::CSerialMonitorDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QCoreApplication::translate("SerialMonitorDlg", "串口监视"));
    setFixedSize(DialogUnits(this, 0, 0, 374, 167).size());
    m_pList = new QListWidget(this);
    m_pList->setObjectName("receivedMessages");
    PlaceInDialogUnits(m_pList, 7, 7, 360, 129);
    auto* ok = new QPushButton(QCoreApplication::translate("SerialMonitorDlg", "确定"), this);
    ok->setDefault(true);
    PlaceInDialogUnits(ok, 177, 146, 31, 14);
    auto* cancel = new QPushButton(QCoreApplication::translate("SerialMonitorDlg", "取消"), this);
    PlaceInDialogUnits(cancel, 271, 146, 31, 14);
    auto* clear =
        new QPushButton(QCoreApplication::translate("SerialMonitorDlg", "清空接收区"), this);
    PlaceInDialogUnits(clear, 71, 146, 44, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(clear, &QPushButton::clicked, this, &CSerialMonitorDlg::OnClear);
}

int CSerialMonitorDlg::DoModal() {
    m_pList->clear(); // every opening starts empty
    m_bShown = true;
    return exec();
}

void CSerialMonitorDlg::done(int result) {
    m_bShown = false;
    QDialog::done(result);
}

void CSerialMonitorDlg::AppendMessage(const QByteArray& text) {
    // Latin-1 keeps every byte visible as one character.
    m_pList->addItem(QString::fromLatin1(text.left(qMax<qsizetype>(0, text.size() - 2))));
    if (m_pList->count() >= kClearAt)
        m_pList->clear();
}

void CSerialMonitorDlg::OnClear() {
    m_pList->clear();
}
