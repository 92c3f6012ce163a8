// The parameter dialogs whose one button picks a library file, and the
// request every file dialog of the survey tools makes.
#pragma once

#include "platform/Prompter.h"
#include "survey/ParameterDlg.h"

#include <QString>

// The request of the survey tools' file dialogs: data files, proposed as
// "Untitled", ".DAT" added when no suffix is typed.
CPrompter::FileDialogRequest SurveyFileRequest(bool save);

// A parameter dialog whose one button ("chooseFile") picks a library file.
class CFileChoiceDlg : public CParameterDlg {
    Q_OBJECT
public:
    CFileChoiceDlg(const QString& caption, const QString& buttonText, QWidget* parent);

    // Asks for the file; a cancelled dialog keeps the previous choice.
    void OnChooseFile();
    QString Path() const { return m_strPath; }

private:
    QString m_strPath;
};

// "航道布线参数".
class CChannelLayoutDlg : public CFileChoiceDlg {
    Q_OBJECT
public:
    explicit CChannelLayoutDlg(QWidget* parent = nullptr);
};

// "计划测线调入".
class CPlannedLineDlg : public CFileChoiceDlg {
    Q_OBJECT
public:
    explicit CPlannedLineDlg(QWidget* parent = nullptr);
};

// "坐标作图".
class CCoordPlotDlg : public CFileChoiceDlg {
    Q_OBJECT
public:
    explicit CCoordPlotDlg(QWidget* parent = nullptr);
};
