// "报警角度设定": the plus/minus pitch and roll angles beyond which the alarm sounds.
#pragma once

#include <QDialog>

class QLineEdit;

class CAlarmLimitsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAlarmLimitsDlg(QWidget* parent = nullptr);

    // Shows the current limits; on OK with valid values, m_nPitch and m_nRoll hold them.
    void OnInitDialog(int pitchLimit, int rollLimit);
    void OnOK();

    // Reads an edit as a whole number within 0..90; else the message to
    // show, and false.
    static bool ParseLimit(const QString& text, int* value, QString* message);

    QLineEdit* PitchEdit() const { return m_pPitch; }
    QLineEdit* RollEdit() const { return m_pRoll; }
    int m_nPitch = 0;
    int m_nRoll = 0;

private:
    bool Exchange(QLineEdit* edit, int* value);

    QLineEdit* m_pPitch;
    QLineEdit* m_pRoll;
};
