// "数据转发": switches the sharing of the received lines on and off and sets
// its addresses, and the datagrams' form (as received, or that of 61162-450
// bridge networks), while reception and recording go on. The change is made on
// the session's thread; the dialog stays open until it is known, so that an
// address that cannot be used is told there and the sharing stays as it was.
#pragma once

#include "link/InstrumentSession.h"

#include <QDialog>
#include <QTimer>
#include <future>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CServeDlg : public QDialog {
    Q_OBJECT
public:
    // The fields as given: on, "[host:]port" and "host:port" (may be empty),
    // and the datagrams' form (its source and TTL are kept as they are).
    CServeDlg(CInstrumentSession& session, bool on, const QString& address,
              const QString& udpAddress, const UdpOutput& udp, QWidget* parent = nullptr);

    // The choice, once accepted.
    bool On() const;
    QString Address() const;
    QString UdpAddress() const;
    UdpOutput Udp() const;

    // The fields into target (all empty when off); false with *error, the
    // parser's reason.
    static bool Parse(bool on, const QString& address, const QString& udpAddress,
                      ServeTarget* target, QString* error);
    // "正在监听 127.0.0.1:10110，2 个客户端", or why it does not.
    static QString StateText(const ServeState& state);

    QCheckBox* CheckBox() const { return m_pOn; }
    QLineEdit* AddressEdit() const { return m_pAddress; }
    QLineEdit* UdpEdit() const { return m_pUdp; }
    QCheckBox* Udp450Box() const { return m_pUdp450; }
    QLabel* StateLabel() const { return m_pState; }
    QPushButton* OkButton() const { return m_pOk; }

    // Ignored while a choice is being made: its answer closes the dialog.
    void reject() override;

private:
    void OnOK();
    void OnApplied();
    void RefreshState();

    CInstrumentSession& m_session;
    QCheckBox* m_pOn;
    QLineEdit* m_pAddress;
    QLineEdit* m_pUdp;
    QCheckBox* m_pUdp450;
    UdpOutput m_udp;
    QLabel* m_pState;
    QPushButton* m_pOk;
    QTimer m_stateTimer;
    QTimer m_waitTimer; // looks for the session's answer
    std::future<std::string> m_applied;
};
