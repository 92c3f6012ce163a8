// "串口选择": the operator picks the port the instrument is connected to from
// the ports free when the dialog opens. Given the other sources too, it lists
// them after the ports and lets the operator add and remove them by URL
// (network sources, and serial devices the slots do not stand for).
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <utility>

class QComboBox;
class QListWidget;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

class CPortSelectDlg : public QDialog {
    Q_OBJECT
public:
    struct Entry {
        QString name;   // "COM3"
        QString device; // "/dev/ttyUSB0"
    };
    // port: the frame's port number, shown pre-selected and changed by "设置".
    CPortSelectDlg(const QList<Entry>& freePorts, int* port, QWidget* parent = nullptr);
    // The ports offered, asked for when the dialog opens (in place of freePorts).
    void SetPortLister(std::function<QList<Entry>()> list) { m_fnListPorts = std::move(list); }

    // Network sources (URLs) offered after the ports; sources is changed by
    // "添加" and "删除", *chosen becomes the URL chosen, or empty for a port.
    void SetNetSources(QStringList* sources, QString* chosen);
    // Further sources read beside the chosen one from the next start: the
    // network sources and free ports, ticked as *more holds them
    // ("label=url"); "设置" writes the ticked ones back.
    void SetMoreSources(QStringList* more);
    QListWidget* MoreList() const { return m_pMore; }
    void OnAddSource();
    void OnRemoveSource();
    QLineEdit* UrlEdit() const { return m_pUrl; }

    // Fills the list and warns when there is nothing to choose; then runs the dialog.
    int DoModal();
    void OnInitDialog();

    // The list position pre-selected for the port number: the entry of that
    // name, else the entry at the position of the number itself, else none (-1).
    static int PreselectIndex(const QStringList& names, int port);

    QComboBox* ComboBox() const { return m_pCombo; }
    int m_nSelection = -1;

public slots:
    void OnOK();

private:
    void AddPart(QWidget* part);
    void Arrange();

    QList<Entry> m_entries;
    std::function<QList<Entry>()> m_fnListPorts;
    QVBoxLayout* m_pLayout;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;
    QPushButton* m_pAdd = nullptr;
    QPushButton* m_pRemove = nullptr;
    int* m_pPort;
    QComboBox* m_pCombo;
    QStringList* m_pSources = nullptr;
    QString* m_pChosen = nullptr;
    QLineEdit* m_pUrl = nullptr;
    QStringList* m_pMoreSources = nullptr;
    QListWidget* m_pMore = nullptr;
};
