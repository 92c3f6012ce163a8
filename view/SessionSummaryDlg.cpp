#include "view/SessionSummaryDlg.h"

#include "platform/Prompter.h"
#include "platform/ReplacingFile.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CSessionSummaryDlg::CSessionSummaryDlg(QWidget* parent, const QString& text, const QByteArray& csv,
                                       const QString& baseName)
    : QDialog(parent), m_pText(new QPlainTextEdit(text, this)), m_csv(csv),
      m_strBaseName(baseName) {
    setWindowTitle(QCoreApplication::translate("SessionSummaryDlg", "会话摘要"));
    m_pText->setReadOnly(true);
    m_pText->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* csvButton =
        buttons->addButton(QCoreApplication::translate("SessionSummaryDlg", "保存为 CSV…"),
                           QDialogButtonBox::ActionRole);
    csvButton->setObjectName("saveCsv");
    QPushButton* textButton =
        buttons->addButton(QCoreApplication::translate("SessionSummaryDlg", "保存为文本…"),
                           QDialogButtonBox::ActionRole);
    textButton->setObjectName("saveText");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(csvButton, &QPushButton::clicked, this, [this] {
        Save(m_csv, QCoreApplication::translate("SessionSummaryDlg", "CSV 文件 (*.csv)"), "csv");
    });
    connect(textButton, &QPushButton::clicked, this, [this] {
        Save(Text().toUtf8(), QCoreApplication::translate("SessionSummaryDlg", "文本文件 (*.txt)"),
             "txt");
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pText);
    layout->addWidget(buttons);
    resize(560, 480);
}

QString CSessionSummaryDlg::Text() const {
    return m_pText->toPlainText();
}

void CSessionSummaryDlg::Save(const QByteArray& bytes, const QString& filter,
                              const QString& suffix) {
    CPrompter::FileDialogRequest request;
    request.save = true;
    request.title = QCoreApplication::translate("SessionSummaryDlg", "保存会话摘要");
    request.filter = filter;
    request.defaultSuffix = suffix;
    request.proposedName =
        m_strBaseName + QCoreApplication::translate("SessionSummaryDlg", "-摘要.") + suffix;
    request.kind = CPrompter::FileKind::Export;
    const QString path = CPrompter::Instance().ChooseFile(this, request);
    if (path.isEmpty())
        return;
    const std::string error =
        ReplaceFile(QFile::encodeName(path).toStdString(),
                    std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!error.empty())
        CPrompter::Instance().MessageBox(this, QString::fromStdString(error), QString(),
                                         QMessageBox::Ok, CPrompter::Icon::Warning);
    else
        emit Saved(path);
}
