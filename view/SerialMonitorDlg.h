// "串口监视": shows the received messages as they arrive, while it is open.
#pragma once

#include <QByteArray>
#include <QDialog>

class QListWidget;

class CSerialMonitorDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClearAt = 16; // the sixteenth line empties the list

    explicit CSerialMonitorDlg(QWidget* parent = nullptr);

    // Shows the dialog modally, starting empty; reception goes on meanwhile.
    int DoModal();
    bool IsShown() const { return m_bShown; }
    // Adds a message without its last two characters (its line end).
    void AppendMessage(const QByteArray& text);
    void OnClear();
    QListWidget* List() const { return m_pList; }

    void done(int result) override;

private:
    bool m_bShown = false;
    QListWidget* m_pList;
};
