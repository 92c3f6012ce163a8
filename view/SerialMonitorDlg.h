// "串口监视": shows the received messages as they arrive, while it is open.
// "暂停" freezes the view on the last lines received (a scroll-back of up to
// kHistory lines) while reception and the record go on; "继续" shows the
// newest again.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <deque>

class QListWidget;
class QPushButton;

class CSerialMonitorDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClearAt = 16;   // the sixteenth line empties the list
    static constexpr int kHistory = 2000; // lines kept for reading while paused

    explicit CSerialMonitorDlg(QWidget* parent = nullptr);

    // Shows the dialog modally, starting empty and running; reception goes on meanwhile.
    int DoModal();
    bool IsShown() const { return m_bShown; }
    // Adds a message without its last two characters (its line end).
    void AppendMessage(const QByteArray& text);
    void OnClear();
    void SetPaused(bool paused);
    bool IsPaused() const { return m_bPaused; }
    QListWidget* List() const { return m_pList; }
    QPushButton* PauseButton() const { return m_pPause; }

    void done(int result) override;

private:
    void ShowLines(qsizetype count); // the last `count` lines received

    bool m_bShown = false;
    bool m_bPaused = false;
    std::deque<QString> m_history; // the last kHistory lines, newest last
    int m_nRunning = 0;            // lines the running list holds (or would, while paused)
    QListWidget* m_pList;
    QPushButton* m_pPause;
};
