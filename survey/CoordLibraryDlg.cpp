#include "survey/CoordLibraryDlg.h"

#include "platform/Canvas.h"
#include "platform/DialogUnits.h"
#include "survey/FileChoiceDlg.h"
#include "survey/ParameterDlg.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

struct MenuEntry {
    int id;
    const char* text;
};

} // namespace

CCoordLibraryDlg::CCoordLibraryDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QCoreApplication::translate("SurveyDialogs", "坐标库"));

    m_pMenuBar = new QMenuBar(this);
    const struct {
        const char* title;
        std::initializer_list<MenuEntry> entries;
    } menus[] = {
        {QT_TRANSLATE_NOOP("SurveyDialogs", "文件[&F]"),
         {{ID_LIB_NEW, QT_TRANSLATE_NOOP("SurveyDialogs", "新建")},
          {ID_LIB_OPEN, QT_TRANSLATE_NOOP("SurveyDialogs", "打开")},
          {ID_LIB_SAVE, QT_TRANSLATE_NOOP("SurveyDialogs", "存储")},
          {ID_LIB_SAVE_AS, QT_TRANSLATE_NOOP("SurveyDialogs", "另存")},
          {ID_LIB_DELETE, QT_TRANSLATE_NOOP("SurveyDialogs", "删除")},
          {ID_LIB_PRINT, QT_TRANSLATE_NOOP("SurveyDialogs", "打印")},
          {ID_LIB_EXIT, QT_TRANSLATE_NOOP("SurveyDialogs", "退出")}}},
        {QT_TRANSLATE_NOOP("SurveyDialogs", "功能[&O]"),
         {{ID_LIB_COPY, QT_TRANSLATE_NOOP("SurveyDialogs", "复制")},
          {ID_LIB_BEARING, QT_TRANSLATE_NOOP("SurveyDialogs", "推算")},
          {ID_LIB_PARALLEL, QT_TRANSLATE_NOOP("SurveyDialogs", "生成")},
          {ID_LIB_ENTRY, QT_TRANSLATE_NOOP("SurveyDialogs", "录入")}}},
    };
    for (const auto& menu : menus) {
        QMenu* popup =
            m_pMenuBar->addMenu(QCoreApplication::translate("SurveyDialogs", menu.title));
        for (const MenuEntry& entry : menu.entries) {
            QAction* action =
                popup->addAction(QCoreApplication::translate("SurveyDialogs", entry.text));
            action->setData(entry.id);
            const int id = entry.id;
            connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        }
    }
    // The table is laid out in pixels: its columns have pixel widths.
    const struct {
        const char* title;
        int width;
    } columns[] = {{QT_TRANSLATE_NOOP("SurveyDialogs", "点号"), 50},
                   {"X", 100},
                   {"Y", 100},
                   {"H", 100},
                   {QT_TRANSLATE_NOOP("SurveyDialogs", "说明"), 150}};
    m_pTable = new QTableWidget(0, 5, this);
    m_pTable->setObjectName("pointTable");
    m_pTable->verticalHeader()->hide();
    m_pTable->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setShowGrid(false);
    m_pTable->setTabKeyNavigation(false); // rows are chosen whole: Tab goes on to the buttons
    int tableWidth = 0;
    for (int column = 0; column < 5; ++column) {
        m_pTable->setHorizontalHeaderItem(column, new QTableWidgetItem(QCoreApplication::translate(
                                                      "SurveyDialogs", columns[column].title)));
        m_pTable->setColumnWidth(column, columns[column].width);
        tableWidth += columns[column].width;
    }
    const QStringList rows[] = {{"1", "32300.766", "32363.832", "69.931",
                                 QCoreApplication::translate("SurveyDialogs", "基点")},
                                {"2", "30098.798", "365578.832", "71.931",
                                 QCoreApplication::translate("SurveyDialogs", "测量点")}};
    for (const QStringList& row : rows) {
        const int r = m_pTable->rowCount();
        m_pTable->insertRow(r);
        for (int column = 0; column < row.size(); ++column) {
            auto* item = new QTableWidgetItem(row[column]);
            item->setTextAlignment(Qt::AlignCenter);
            m_pTable->setItem(r, column, item);
        }
    }
    // Room for the frame and a vertical scroll bar beside the columns.
    m_pTable->setMinimumSize(tableWidth + 24, 240);

    // Created in reading order, which is the order Tab goes.
    m_pPlane = new QRadioButton(QCoreApplication::translate("SurveyDialogs", "直角坐标"), this);
    m_pPlane->setObjectName("planeCoords");
    m_pPlane->setChecked(true);
    m_pGeographic = new QRadioButton(QCoreApplication::translate("SurveyDialogs", "经纬度"), this);
    m_pGeographic->setObjectName("geographicCoords");
    connect(m_pPlane, &QRadioButton::clicked, this, [this] { SetCoordMode(0); });
    connect(m_pGeographic, &QRadioButton::clicked, this, [this] { SetCoordMode(1); });
    auto* below = new QHBoxLayout;
    below->addWidget(m_pPlane);
    below->addWidget(m_pGeographic);
    below->addStretch();
    // Row editing is not offered yet: the buttons are there, and do nothing.
    for (const char* text : {QT_TRANSLATE_NOOP("SurveyDialogs", "添加行(&A)"),
                             QT_TRANSLATE_NOOP("SurveyDialogs", "插入行(&I)"),
                             QT_TRANSLATE_NOOP("SurveyDialogs", "删除行(&D)")})
        below->addWidget(new QPushButton(QCoreApplication::translate("SurveyDialogs", text), this));
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(m_pMenuBar);
    layout->addWidget(m_pTable, 1);
    layout->addLayout(below);
    SizeToContents(this);
}

QAction* CCoordLibraryDlg::Action(int id) const {
    for (QAction* menu : m_pMenuBar->actions()) {
        for (QAction* action : menu->menu()->actions()) {
            if (action->data().toInt() == id)
                return action;
        }
    }
    return nullptr;
}

void CCoordLibraryDlg::OnCommand(int id) {
    switch (id) {
    case ID_LIB_OPEN:
        m_strFile = CPrompter::Instance().ChooseFile(this, SurveyFileRequest(false));
        break;
    case ID_LIB_SAVE_AS:
        m_strFile = CPrompter::Instance().ChooseFile(this, SurveyFileRequest(true));
        break;
    case ID_LIB_BEARING: {
        CBearingDistanceDlg dialog(this);
        dialog.exec();
        break;
    }
    case ID_LIB_PARALLEL: {
        CParallelLinesDlg dialog(this);
        dialog.exec();
        break;
    }
    case ID_LIB_EXIT:
        reject();
        break;
    default: // not offered yet
        break;
    }
}

void CCoordLibraryDlg::SetCoordMode(int mode) {
    m_nCoordMode = mode;
    update();
}

void CCoordLibraryDlg::DrawSketch(CCanvas& canvas) {
    static const QPoint sketch[] = {{100, 100}, {200, 200}, {500, 500}, {300, 200}};
    canvas.SelectPen(CPen{1, Qt::black});
    canvas.Polyline(sketch, 4);
}

void CCoordLibraryDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CPainterCanvas canvas(painter, size());
    DrawSketch(canvas);
}
