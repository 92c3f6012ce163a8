#include "platform/Prompter.h"

#include "platform/DialogUnits.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QMap>
#include <QPrintDialog>
#include <QRegularExpression>
#include <QSpinBox>
#include <cstdio>

namespace {
CPrompter g_interactive;
CPrompter* g_pCurrent = &g_interactive;
CPrompter::FolderStore g_folders;
// The folders used in this run, for when the store cannot keep them.
QMap<int, QString> g_used;

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

void CPrompter::SetFolderStore(FolderStore store) {
    g_folders = std::move(store);
    g_used.clear();
}

QString CPrompter::RecordFilter() {
    return QCoreApplication::translate("Prompter", "记录文件 (*.txt *.dat);;所有文件 (*)");
}

QString CPrompter::FolderKey(FileKind kind) {
    switch (kind) {
    case FileKind::Analysis:
        return QStringLiteral("Analysis");
    case FileKind::Record:
        return QStringLiteral("Records");
    case FileKind::Export:
        return QStringLiteral("Exports");
    case FileKind::Drawing:
        return QStringLiteral("Drawings");
    case FileKind::Other:
        break;
    }
    return {};
}

QString CPrompter::FolderFor(FileKind kind) {
    QString folder = g_used.value(static_cast<int>(kind));
    if (folder.isEmpty() && kind != FileKind::Other && g_folders.read)
        folder = g_folders.read(kind);
    // A folder since removed (a USB disk taken out) is no place to start.
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return g_folders.start;
}

QString CPrompter::ChooseFile(QWidget* parent, FileDialogRequest request) {
    if (request.folder.isEmpty())
        request.folder = FolderFor(request.kind);
    const QString path = FileDialog(parent, request);
    if (!path.isEmpty() && request.kind != FileKind::Other) {
        const QString folder = QFileInfo(path).absolutePath();
        g_used.insert(static_cast<int>(request.kind), folder);
        if (g_folders.write)
            g_folders.write(request.kind, folder);
    }
    return path;
}

QString CPrompter::FileDialog(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent, request.title, request.folder, request.filter);
    // "*.dat" lists X.DAT too, as the names the save dialog makes end.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.defaultSuffix.isEmpty()) {
        dialog.setDefaultSuffix(request.defaultSuffix);
        // A name typed without an extension takes the one of the type chosen.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString& filter) {
                             static const QRegularExpression pattern(R"(\*\.(\w+))");
                             const QRegularExpressionMatch match = pattern.match(filter);
                             if (match.hasMatch())
                                 dialog.setDefaultSuffix(match.captured(1));
                         });
    }
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

QSize CPrompter::PictureSize(QWidget* parent, const QString& title, QSize proposed) {
    constexpr int kLargest = 10000; // pixels a side: at most 400 MB of image in memory
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto* form = new QFormLayout(&dialog);
    auto side = [&](const QString& label, int value) {
        auto* box = new QSpinBox(&dialog);
        box->setRange(16, kLargest);
        box->setValue(value);
        box->setSuffix(QCoreApplication::translate("Prompter", " 像素"));
        form->addRow(label, box);
        return box;
    };
    QSpinBox* width = side(QCoreApplication::translate("Prompter", "宽度："), proposed.width());
    QSpinBox* height = side(QCoreApplication::translate("Prompter", "高度："), proposed.height());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    SizeToContents(&dialog); // the title whole
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return {width->value(), height->value()};
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
