// "坐标库": the table of control points, with its own menu bar.
#pragma once

#include <QDialog>
#include <QString>

class CCanvas;
class QAction;
class QMenuBar;
class QRadioButton;
class QTableWidget;

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
