// The survey tools: the coordinate library, the vessel-outline choice with its
// preview, the cross-track gauge and the small parameter dialogs the survey
// menu opens.
#pragma once

#include "platform/Prompter.h"

#include <QDialog>
#include <QString>
#include <QWidget>

class CCanvas;
class QAction;
class QLineEdit;
class QListWidget;
class QMenuBar;
class QRadioButton;
class QTableWidget;

// The request of the survey tools' file dialogs: data files, proposed as
// "Untitled", ".DAT" added when no suffix is typed.
CPrompter::FileDialogRequest SurveyFileRequest(bool save);

// "坐标库": the table of control points, with its own menu bar.
class CCoordLibraryDlg : public QDialog {
    Q_OBJECT
public:
    // Command ids of the dialog's menu.
    enum Command {
        ID_LIB_NEW = 32815,
        ID_LIB_OPEN = 32816,
        ID_LIB_SAVE = 32817,
        ID_LIB_SAVE_AS = 32818,
        ID_LIB_DELETE = 32819,
        ID_LIB_PRINT = 32820,
        ID_LIB_EXIT = 32821,
        ID_LIB_COPY = 32822,
        ID_LIB_BEARING = 32823,
        ID_LIB_PARALLEL = 32824,
        ID_LIB_ENTRY = 32825,
    };

    explicit CCoordLibraryDlg(QWidget* parent = nullptr);

    // Carries out a menu command, as choosing it from the menu does.
    void OnCommand(int id);
    // The menu entry of a command id; nullptr for an id the menu does not have.
    QAction* Action(int id) const;

    // The sketch drawn over the dialog on every paint.
    static void DrawSketch(CCanvas& canvas);

    QTableWidget* Table() const { return m_pTable; }
    QMenuBar* MenuBar() const { return m_pMenuBar; }
    QRadioButton* PlaneRadio() const { return m_pPlane; }
    QRadioButton* GeographicRadio() const { return m_pGeographic; }
    // 0: plane coordinates, 1: latitude and longitude.
    int m_nCoordMode = 0;
    // The file last chosen in the open or save-as dialog (empty when cancelled).
    QString m_strFile;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void SetCoordMode(int mode);

    QMenuBar* m_pMenuBar;
    QTableWidget* m_pTable;
    QRadioButton* m_pPlane;
    QRadioButton* m_pGeographic;
};

// "自动生成平行线".
class CParallelLinesDlg : public QDialog {
    Q_OBJECT
public:
    explicit CParallelLinesDlg(QWidget* parent = nullptr);
};

// "方向距离推算".
class CBearingDistanceDlg : public QDialog {
    Q_OBJECT
public:
    explicit CBearingDistanceDlg(QWidget* parent = nullptr);
};

// The drawing of a vessel outline file: the first line holds the number of
// points, each further line one point "x y". Points are drawn relative to
// the control pixel (65, 180), the antenna's place; a line starts there.
class CShapePreview : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 136;
    static constexpr int kHeight = 289;
    // At most this many points of a file are drawn.
    static constexpr int kMaxPoints = 256;

    explicit CShapePreview(QWidget* parent = nullptr);

    void SetPath(const QString& path);
    QString Path() const { return m_strPath; }

    // The frame, then the outline of the file at `path` in red. A line of the
    // file that does not hold two numbers draws nothing but still counts as
    // one of the points announced.
    static void Draw(CCanvas& canvas, const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_strPath;
};

// "船形选择": the vessel outline shown on the chart, chosen from the outline
// files beside the program.
class CShipShapeDlg : public QDialog {
    Q_OBJECT
public:
    explicit CShipShapeDlg(QWidget* parent = nullptr);

    // The folder the outline files are looked for in: the program's folder's
    // "Boat" by default, or the installed share/quillmar/Boat.
    static QString DefaultShapeFolder();
    // That folder for a program in programFolder: its "Boat" when there is
    // one, else ../share/quillmar/Boat when there is one, else its "Boat".
    static QString ShapeFolderBeside(const QString& programFolder);
    void SetShapeFolder(const QString& folder) { m_strFolder = folder; }

    // The file of the selected outline; empty while nothing is selected.
    QString ShapePath() const { return m_strShapePath; }

    QListWidget* List() const { return m_pList; }
    CShapePreview* Preview() const { return m_pPreview; }

private:
    void OnSelChange();

    QString m_strFolder;
    QString m_strShapePath;
    QListWidget* m_pList;
    CShapePreview* m_pPreview;
};

// "偏航窗口": the cross-track gauge, a window of its own beside the chart.
class CYawWindow : public QDialog {
    Q_OBJECT
public:
    explicit CYawWindow(QWidget* parent = nullptr);

    // The gauge for a client area `width` pixels wide: the scale spans
    // 1005 units of that width, the centre at unit 500.
    static void Draw(CCanvas& canvas, int width);
    static int ScaleX(int width, int unit) { return width * unit / 1005; }

    int m_nWidth = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

// A parameter dialog whose one button picks a library file.
class CFileChoiceDlg : public QDialog {
    Q_OBJECT
public:
    CFileChoiceDlg(const QString& caption, const QString& buttonText, int buttonId,
                   QWidget* parent);

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

// "文字注记": the text of a note placed on the chart.
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
