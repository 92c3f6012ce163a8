// The one seam through which the program asks the operator something or tells
// them something in a box, so tests can answer without a human.
#pragma once

#include <QMessageBox>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

class QPrinter;
class QWidget;

class CPrompter {
public:
    enum class Icon { None, Information, Warning, Error, Question };

    virtual ~CPrompter() = default;

    // A modal box; returns the button pressed. An empty caption means the
    // application title (ApplicationTitle()).
    virtual QMessageBox::StandardButton MessageBox(QWidget* parent, const QString& text,
                                                   const QString& caption,
                                                   QMessageBox::StandardButtons buttons, Icon icon);
    // A box that does not wait for the operator: reception and painting go on
    // while it is shown.
    virtual void Notify(QWidget* parent, const QString& text, const QString& caption, Icon icon);

    // The kinds of file whose dialogs each remember the folder last used.
    enum class FileKind { Other, Analysis, Record, Export, Drawing };
    struct FileDialogRequest {
        bool save = false;
        FileKind kind = FileKind::Other;
        QString folder; // where the dialog opens (ChooseFile fills it in)
        QString title;
        QString filter;        // Qt form: "Data Files (*.dat);;All File (*.*)"
        QString defaultSuffix; // without the dot
        QString proposedName;
        bool confirmOverwrite = true;
    };
    // The chosen path, or an empty string when the operator cancelled.
    virtual QString FileDialog(QWidget* parent, const FileDialogRequest& request);
    // FileDialog opened in the folder last used for the request's kind of
    // file, else in the start folder; the folder of a chosen file is
    // remembered for its kind.
    QString ChooseFile(QWidget* parent, FileDialogRequest request);

    // Where the folders are kept between runs (the settings), and the folder
    // a kind of file starts in before one was used (the record folder).
    struct FolderStore {
        std::function<QString(FileKind)> read;
        std::function<void(FileKind, const QString&)> write;
        QString start;
    };
    static void SetFolderStore(FolderStore store);
    // The folder the next dialog for kind opens in (empty: Qt's own choice).
    static QString FolderFor(FileKind kind);
    // The filter of the dialogs that choose a record file: one named in the
    // save dialog of 保存数据路径 ends in .DAT, the others in .txt.
    static QString RecordFilter();
    // The name a kind's folder is kept under ("Analysis", "Records", …).
    static QString FolderKey(FileKind kind);

    // The print dialog; true when the operator chose to print.
    virtual bool PrintDialog(QWidget* parent, QPrinter* printer);

    // Width and height in pixels for a picture, `proposed` offered first; an
    // empty size when the operator cancelled.
    virtual QSize PictureSize(QWidget* parent, const QString& title, QSize proposed);

    static CPrompter& Instance();
    // Replaces the prompter (tests); nullptr restores the interactive one.
    // The caller keeps ownership.
    static void Install(CPrompter* prompter);
};

// For a run nobody watches (a screenshot run, which ends by itself): a box
// would wait for ever, so its text goes to the error stream and it takes the
// first of OK, Cancel, No, Close that it offers; file, print and picture-size
// dialogs are cancelled.
class CUnattendedPrompter : public CPrompter {
public:
    QMessageBox::StandardButton MessageBox(QWidget* parent, const QString& text,
                                           const QString& caption,
                                           QMessageBox::StandardButtons buttons,
                                           Icon icon) override;
    void Notify(QWidget* parent, const QString& text, const QString& caption, Icon icon) override;
    QString FileDialog(QWidget*, const FileDialogRequest&) override { return {}; }
    bool PrintDialog(QWidget*, QPrinter*) override { return false; }
    QSize PictureSize(QWidget*, const QString&, QSize) override { return {}; }
};

// "Quillmar": the caption of the program's own boxes.
QString ApplicationTitle();
