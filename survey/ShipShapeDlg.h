// "船形选择": the vessel outline shown on the chart, chosen from the outline
// files beside the program.
#pragma once

#include <QDialog>
#include <QString>

class CShapePreview;
class QListWidget;

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
