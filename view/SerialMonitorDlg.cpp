#include "view/SerialMonitorDlg.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

CSerialMonitorDlg::CSerialMonitorDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QCoreApplication::translate("SerialMonitorDlg", "串口监视"));
    // Created in reading order, which is the order Tab goes.
    m_pList = new QListWidget(this);
    m_pList->setObjectName("receivedMessages");
    m_pList->setUniformItemSizes(true); // the scroll-back is long
    auto* clear =
        new QPushButton(QCoreApplication::translate("SerialMonitorDlg", "清空接收区"), this);
    m_pPause = new QPushButton(QCoreApplication::translate("SerialMonitorDlg", "暂停"), this);
    m_pPause->setObjectName("pause");
    m_pPause->setCheckable(true);
    auto* ok = new QPushButton(QCoreApplication::translate("SerialMonitorDlg", "确定"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QCoreApplication::translate("SerialMonitorDlg", "取消"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clear);
    buttons->addWidget(m_pPause);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pList, 1);
    layout->addLayout(buttons);
    resize(640, 340);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(clear, &QPushButton::clicked, this, &CSerialMonitorDlg::OnClear);
    connect(m_pPause, &QPushButton::toggled, this, &CSerialMonitorDlg::SetPaused);
}

int CSerialMonitorDlg::DoModal() {
    SetPaused(false);
    OnClear(); // every opening starts empty
    m_bShown = true;
    return exec();
}

void CSerialMonitorDlg::done(int result) {
    m_bShown = false;
    QDialog::done(result);
}

void CSerialMonitorDlg::AppendMessage(const QByteArray& text) {
    // Latin-1 keeps every byte visible as one character.
    const QString line = QString::fromLatin1(text.left(qMax<qsizetype>(0, text.size() - 2)));
    m_history.push_back(line);
    if (m_history.size() > static_cast<std::size_t>(kHistory))
        m_history.pop_front();
    // The running list fills to fifteen lines and the sixteenth empties it;
    // paused, it is counted the same, for the list to go on from there.
    if (++m_nRunning >= kClearAt)
        m_nRunning = 0;
    if (m_bPaused)
        return;
    if (m_nRunning == 0)
        m_pList->clear();
    else
        m_pList->addItem(line);
}

void CSerialMonitorDlg::OnClear() {
    m_history.clear();
    m_nRunning = 0;
    m_pList->clear();
}

void CSerialMonitorDlg::SetPaused(bool paused) {
    m_bPaused = paused;
    const QSignalBlocker quiet(m_pPause);
    m_pPause->setChecked(paused);
    m_pPause->setText(paused ? QCoreApplication::translate("SerialMonitorDlg", "继续")
                             : QCoreApplication::translate("SerialMonitorDlg", "暂停"));
    ShowLines(paused ? static_cast<qsizetype>(m_history.size()) : m_nRunning);
}

void CSerialMonitorDlg::ShowLines(qsizetype count) {
    QStringList lines;
    for (auto it = m_history.end() - count; it != m_history.end(); ++it)
        lines << *it;
    m_pList->clear();
    m_pList->addItems(lines);
    m_pList->scrollToBottom();
}
