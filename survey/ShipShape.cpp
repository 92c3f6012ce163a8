#include "survey/SurveyDialogs.h"

#include "platform/Canvas.h"
#include "platform/DialogUnits.h"
#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <cmath>
#include <cstdlib>

namespace {

// Where the outline's origin lands in the control: a point (x, y) of the
// file is drawn at (x + 65, y + 180).
constexpr int kOriginX = 65;
constexpr int kOriginY = 180;

// An outline file read line by line as a C stream would with a 100-byte
// buffer: a line longer than 99 characters comes back in pieces.
class COutlineReader {
public:
    explicit COutlineReader(QFile& file) : m_file(file) {}

    bool Next() {
        if (m_file.atEnd())
            return false;
        return m_file.readLine(m_line, sizeof m_line) >= 0;
    }
    // The leading whole number of the line, if it has one.
    bool Count(long* count) const {
        char* end = nullptr;
        *count = std::strtol(m_line, &end, 10);
        return end != m_line;
    }
    // The two leading numbers of the line, if it has them and they can be
    // drawn (finite, and not so far out that a pixel position overflows).
    bool Point(double* x, double* y) const {
        char* end = nullptr;
        *x = std::strtod(m_line, &end);
        if (end == m_line)
            return false;
        const char* second = end;
        *y = std::strtod(second, &end);
        if (end == second)
            return false;
        return Drawable(*x) && Drawable(*y);
    }

private:
    static bool Drawable(double v) { return std::isfinite(v) && std::fabs(v) < 1e9; }

    QFile& m_file;
    char m_line[100] = {};
};

// List entries ordered as a list box sorts them: letter case aside.
class CNameItem : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override {
        return QString::compare(text(), other.text(), Qt::CaseInsensitive) < 0;
    }
};

} // namespace

CShapePreview::CShapePreview(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
}

void CShapePreview::SetPath(const QString& path) {
    m_strPath = path;
    update();
}

void CShapePreview::Draw(CCanvas& canvas, const QString& path) {
    static const QPoint frame[] = {
        {0, 0}, {kWidth - 1, 0}, {kWidth - 1, kHeight - 1}, {0, kHeight - 1}, {0, 0}};
    canvas.SelectPen(CPen{});
    canvas.Polyline(frame, 5);
    if (path.isEmpty())
        return;
    canvas.SelectPen(CPen{1, Qt::red});
    // A FIFO among the outlines would hold the window for ever: a regular file only.
    const RegularFile opened = OpenRegularFile(QFile::encodeName(path).toStdString());
    QFile file;
    if (opened.fd < 0 ||
        !file.open(opened.fd, QIODevice::ReadOnly | QIODevice::Text, QFileDevice::AutoCloseHandle))
        return;
    COutlineReader reader(file);
    long count = 0;
    if (!reader.Next() || !reader.Count(&count) || count <= 0)
        return;
    count = std::min<long>(count, kMaxPoints);
    canvas.MoveTo(kOriginX, kOriginY);
    // A file shorter than it announces draws the points it has.
    for (long i = 0; i < count && reader.Next(); ++i) {
        double x = 0, y = 0;
        if (reader.Point(&x, &y))
            canvas.LineTo(static_cast<int>(x) + kOriginX, static_cast<int>(y) + kOriginY);
    }
}

void CShapePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    CPainterCanvas canvas(painter, size());
    Draw(canvas, m_strPath);
}

CShipShapeDlg::CShipShapeDlg(QWidget* parent) : QDialog(parent), m_strFolder(DefaultShapeFolder()) {
    setWindowTitle(QCoreApplication::translate("SurveyDialogs", "船形选择"));

    m_pList = new QListWidget(this);
    m_pList->setObjectName("list1002");
    m_pList->setSortingEnabled(true);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    const QRect button = DialogUnits(this, 0, 0, 50, 14);
    m_pList->setGeometry(10, 10, DialogUnits(this, 0, 0, 80, 0).width(), CShapePreview::kHeight);

    m_pPreview = new CShapePreview(this);
    m_pPreview->move(m_pList->geometry().right() + 11, 10);

    const int column = m_pPreview->geometry().right() + 11;
    auto* ok = new QPushButton(QCoreApplication::translate("SurveyDialogs", "确定"), this);
    ok->setDefault(true);
    ok->setGeometry(column, 10, button.width(), button.height());
    auto* cancel = new QPushButton(QCoreApplication::translate("SurveyDialogs", "取消"), this);
    cancel->setGeometry(column, 18 + button.height(), button.width(), button.height());
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(column + button.width() + 10, CShapePreview::kHeight + 20);

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
