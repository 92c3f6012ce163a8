#include "survey/ShipShapeDlg.h"

#include "platform/DialogUnits.h"
#include "survey/ShapePreview.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// List entries ordered as a list box sorts them: letter case aside.
class CNameItem : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override {
        return QString::compare(text(), other.text(), Qt::CaseInsensitive) < 0;
    }
};

} // namespace

CShipShapeDlg::CShipShapeDlg(QWidget* parent) : QDialog(parent), m_strFolder(DefaultShapeFolder()) {
    setWindowTitle(QCoreApplication::translate("SurveyDialogs", "船形选择"));

    // Created in reading order, which is the order Tab goes.
    m_pList = new QListWidget(this);
    m_pList->setObjectName("shapeList");
    m_pList->setSortingEnabled(true);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setFixedSize(DialogUnits(this, 0, 0, 80, 0).width(), CShapePreview::kHeight);
    m_pPreview = new CShapePreview(this);
    auto* ok = new QPushButton(QCoreApplication::translate("SurveyDialogs", "确定"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QCoreApplication::translate("SurveyDialogs", "取消"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pList);
    layout->addWidget(m_pPreview);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // the list and the drawing have fixed sizes

    static const char* const names[] = {
        "300.shp",     "333.shp",      "plane.shp",   "6x2.shp",     "6x2_2.shp",   "BOAT.shp",
        "barge.shp",   "cutter.shp",   "dredge.shp",  "dredge1.shp", "dredge3.shp", "ferry.shp",
        "junk.shp",    "missile.shp",  "launch.shp",  "pilot.shp",   "raft.shp",    "sampan.shp",
        "seiner.shp",  "skiff.shp",    "sloop.shp",   "pontoon.shp", "hopper.shp",  "smboat.shp",
        "smlboat.shp", "standard.shp", "trawler.shp", "tug.shp",     "yacht.shp",
    };
    for (const char* name : names)
        m_pList->addItem(new CNameItem(QString::fromLatin1(name)));
    connect(m_pList, &QListWidget::itemSelectionChanged, this, &CShipShapeDlg::OnSelChange);
}

QString CShipShapeDlg::DefaultShapeFolder() {
    return ShapeFolderBeside(QCoreApplication::applicationDirPath());
}

QString CShipShapeDlg::ShapeFolderBeside(const QString& programFolder) {
    // Beside the program in a build tree; under share/ when installed
    // (bin/quillmar and share/quillmar/Boat under one prefix).
    const QString beside = programFolder + "/Boat";
    if (QFileInfo(beside).isDir())
        return beside;
    const QString installed = QDir::cleanPath(programFolder + "/../share/quillmar/Boat");
    return QFileInfo(installed).isDir() ? installed : beside;
}

void CShipShapeDlg::OnSelChange() {
    const QList<QListWidgetItem*> selected = m_pList->selectedItems();
    m_strShapePath = selected.isEmpty() ? QString() : m_strFolder + "/" + selected[0]->text();
    m_pPreview->SetPath(m_strShapePath);
}
