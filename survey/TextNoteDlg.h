// "文字注记": the text of a note placed on the chart.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

class CTextNoteDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTextNoteDlg(QWidget* parent = nullptr);

    void OnOK();
    QLineEdit* Edit() const { return m_pEdit; }
    QString Note() const { return m_strNote; }

private:
    QString m_strNote;
    QLineEdit* m_pEdit;
};
