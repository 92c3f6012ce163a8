#include "platform/Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <cstdio>

namespace {
CPrompter g_interactive;
CPrompter* g_pCurrent = &g_interactive;

QMessageBox::Icon ToQt(CPrompter::Icon icon) {
    switch (icon) {
    case CPrompter::Icon::Information:
        return QMessageBox::Information;
    case CPrompter::Icon::Warning:
        return QMessageBox::Warning;
    case CPrompter::Icon::Error:
        return QMessageBox::Critical;
    case CPrompter::Icon::Question:
        return QMessageBox::Question;
    case CPrompter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QString ApplicationTitle() {
    return QStringLiteral("Quillmar");
}

CPrompter& CPrompter::Instance() {
    return *g_pCurrent;
}

void CPrompter::Install(CPrompter* prompter) {
    g_pCurrent = prompter ? prompter : &g_interactive;
}

QMessageBox::StandardButton CPrompter::MessageBox(QWidget* parent, const QString& text,
                                                  const QString& caption,
                                                  QMessageBox::StandardButtons buttons, Icon icon) {
    QMessageBox box(ToQt(icon), caption.isEmpty() ? ApplicationTitle() : caption, text, buttons,
                    parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void CPrompter::Notify(QWidget* parent, const QString& text, const QString& caption, Icon icon) {
    auto* box = new QMessageBox(ToQt(icon), caption.isEmpty() ? ApplicationTitle() : caption, text,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

QString CPrompter::FileDialog(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent, request.title, QString(), request.filter);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.proposedName.isEmpty())
        dialog.selectFile(request.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool CPrompter::PrintDialog(QWidget* parent, QPrinter* printer) {
    QPrintDialog dialog(printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

QMessageBox::StandardButton CUnattendedPrompter::MessageBox(QWidget* parent, const QString& text,
                                                            const QString& caption,
                                                            QMessageBox::StandardButtons buttons,
                                                            Icon icon) {
    Notify(parent, text, caption, icon);
    for (QMessageBox::StandardButton answer :
         {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::No, QMessageBox::Close}) {
        if (buttons.testFlag(answer))
            return answer;
    }
    return QMessageBox::NoButton;
}

void CUnattendedPrompter::Notify(QWidget*, const QString& text, const QString&, Icon) {
    std::fprintf(stderr, "quillmar: %s\n", qPrintable(QString(text).replace('\n', ' ')));
    std::fflush(stderr);
}
