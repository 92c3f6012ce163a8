// "会话摘要": a loaded recording's summary, read-only, with buttons that save
// it as CSV and as text. Not modal: the curves stay usable beside it.
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;

class CSessionSummaryDlg : public QDialog {
    Q_OBJECT
public:
    // text and csv: the two forms of the summary (plots/SessionReport.h);
    // baseName: the recording's name, proposed for the saved files.
    CSessionSummaryDlg(QWidget* parent, const QString& text, const QByteArray& csv,
                       const QString& baseName);
    QString Text() const;

signals:
    // The summary was saved to path.
    void Saved(const QString& path);

private:
    void Save(const QByteArray& bytes, const QString& filter, const QString& suffix);

    QPlainTextEdit* m_pText;
    QByteArray m_csv;
    QString m_strBaseName;
};
