// "串口选择": the operator picks the port the instrument is connected to from
// the ports found free at start-up.
#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;

class CPortSelectDlg : public QDialog {
    Q_OBJECT
public:
    struct Entry {
        QString name;   // "COM3"
        QString device; // "/dev/ttyUSB0"
    };
    // port: the frame's port number, shown pre-selected and changed by "设置".
    CPortSelectDlg(const QList<Entry>& freePorts, int* port, QWidget* parent = nullptr);

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
    QList<Entry> m_entries;
    int* m_pPort;
    QComboBox* m_pCombo;
};
