#include "shell/DataHealthDlg.h"

#include "shell/DeltaCurve.h"

#include "link/InstrumentSession.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {
const char* const kColumns[] = {QT_TRANSLATE_NOOP("DataHealthDlg", "类型"),
                                QT_TRANSLATE_NOOP("DataHealthDlg", "数量"),
                                QT_TRANSLATE_NOOP("DataHealthDlg", "速率(条/秒)"),
                                QT_TRANSLATE_NOOP("DataHealthDlg", "最近(秒前)"),
                                QT_TRANSLATE_NOOP("DataHealthDlg", "校验错误"),
                                QT_TRANSLATE_NOOP("DataHealthDlg", "读到的量")};

const char* const kQuantityNames[kQuantities] = {
    QT_TRANSLATE_NOOP("DataHealthDlg", "航向"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "俯仰角"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "横滚角"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "位置"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "磁航向"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "磁航向所示真航向"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "转向速率"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "对地航向"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "对地航速")};
const char* const kValidityNames[kValidities] = {
    QT_TRANSLATE_NOOP("DataHealthDlg", "空"), QT_TRANSLATE_NOOP("DataHealthDlg", "有效"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "无效"), QT_TRANSLATE_NOOP("DataHealthDlg", "不可信")};

const char* const kSourceColumns[] = {QT_TRANSLATE_NOOP("DataHealthDlg", "来源"),
                                      QT_TRANSLATE_NOOP("DataHealthDlg", "量"),
                                      QT_TRANSLATE_NOOP("DataHealthDlg", "值"),
                                      QT_TRANSLATE_NOOP("DataHealthDlg", "状态"),
                                      QT_TRANSLATE_NOOP("DataHealthDlg", "最近(秒前)"),
                                      QT_TRANSLATE_NOOP("DataHealthDlg", "速率(条/秒)"),
                                      QT_TRANSLATE_NOOP("DataHealthDlg", "显示")};
const char* const kPairColumns[] = {
    QT_TRANSLATE_NOOP("DataHealthDlg", "来源 A"), QT_TRANSLATE_NOOP("DataHealthDlg", "来源 B"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "差值"), QT_TRANSLATE_NOOP("DataHealthDlg", "限值"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "状态")};
// By SourceState; Unavailable is never shown.
const char* const kSourceStateNames[] = {
    "", QT_TRANSLATE_NOOP("DataHealthDlg", "有效"), QT_TRANSLATE_NOOP("DataHealthDlg", "无效"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "不可信"), QT_TRANSLATE_NOOP("DataHealthDlg", "无数据")};
// By AlertState.
const char* const kAlertStateNames[] = {
    QT_TRANSLATE_NOOP("DataHealthDlg", "正常"), QT_TRANSLATE_NOOP("DataHealthDlg", "超限"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "已静音"), QT_TRANSLATE_NOOP("DataHealthDlg", "已确认"),
    QT_TRANSLATE_NOOP("DataHealthDlg", "已恢复，请确认")};
static_assert(std::size(kSourceStateNames) == static_cast<int>(SourceState::Stale) + 1);
static_assert(std::size(kAlertStateNames) ==
              static_cast<int>(AlertState::RectifiedUnacknowledged) + 1);

QString Translated(const char* text) {
    return QCoreApplication::translate("DataHealthDlg", text);
}

// A reading's value in its quantity's unit. A position's value is only its
// latitude's digits: not shown.
QString ValueText(Quantity quantity, double value) {
    switch (quantity) {
    case Quantity::Position:
        return "—";
    case Quantity::Pitch:
    case Quantity::Roll:
        return QString::number(value, 'f', 2) + "°";
    case Quantity::RateOfTurn:
        return QCoreApplication::translate("DataHealthDlg", "%1°/分").arg(value, 0, 'f', 1);
    case Quantity::Speed:
        return QCoreApplication::translate("DataHealthDlg", "%1 节").arg(value, 0, 'f', 1);
    case Quantity::Heading:
    case Quantity::MagneticHeading:
    case Quantity::TrueFromMagnetic:
    case Quantity::Course:
        break;
    }
    return QString::number(value, 'f', 1) + "°";
}

// A difference with its sign, to a tenth ("+4.0°", "-0.3°", "0.0°").
QString DeltaText(double delta) {
    const double tenths = std::round(delta * 10);
    if (tenths == 0)
        return "0.0°";
    return (tenths > 0 ? "+" : "") + QString::number(tenths / 10, 'f', 1) + "°";
}

} // namespace

QString CourseText(const CourseCheck& course) {
    if (!course.bChecked)
        return QCoreApplication::translate("DataHealthDlg", "未比较（航速不足或无对地航向）");
    const QString delta = DeltaText(course.dDelta);
    return course.bSuspect ? QCoreApplication::translate("DataHealthDlg", "%1（可疑）").arg(delta)
                           : delta;
}

namespace {

// A source by its label; the first one, unnamed, by its port or URL.
QString SourceName(const SourceStatus& source) {
    const std::string& name = !source.strLabel.empty()         ? source.strLabel
                              : !source.link.strSource.empty() ? source.link.strSource
                                                               : source.link.strDevice;
    return QString::fromStdString(name.empty() ? std::string("1") : name);
}

// One side of a compared pair: "gyro", or "compass（磁）" for the true heading
// its magnetic heading implies.
QString PairSide(const std::string& label, bool magnetic) {
    const QString name = QString::fromStdString(label);
    return magnetic ? QCoreApplication::translate("DataHealthDlg", "%1（磁）").arg(name) : name;
}

// What a sentence type gave: "航向：有效 120，不可信 3；俯仰角：有效 120", then
// its last status, the device its tag blocks name and the over-long ones.
QString ReadingsText(const CMessageCounts::Row& row) {
    const auto named = [](const char* text) {
        return QCoreApplication::translate("DataHealthDlg", text);
    };
    QStringList parts;
    for (int q = 0; q < kQuantities; ++q) {
        QStringList counts;
        for (int v = 0; v < kValidities; ++v) {
            if (row.observed[q][v] != 0)
                counts << QCoreApplication::translate("DataHealthDlg", "%1 %2")
                              .arg(named(kValidityNames[v]))
                              .arg(row.observed[q][v]);
        }
        if (!counts.isEmpty())
            parts << QCoreApplication::translate("DataHealthDlg", "%1：%2")
                         .arg(named(kQuantityNames[q]),
                              counts.join(QCoreApplication::translate("DataHealthDlg", "，")));
    }
    const auto latin = [](std::string_view text) {
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    };
    if (!row.Status().empty())
        parts << QCoreApplication::translate("DataHealthDlg", "状态 %1").arg(latin(row.Status()));
    if (!row.Source().empty())
        parts << QCoreApplication::translate("DataHealthDlg", "设备 %1").arg(latin(row.Source()));
    if (row.overlong != 0)
        parts
            << QCoreApplication::translate("DataHealthDlg", "超过 82 字符 %1 条").arg(row.overlong);
    return parts.join(QCoreApplication::translate("DataHealthDlg", "；"));
}

QString TypeText(const CMessageCounts::Row& row) {
    switch (row.kind) {
    case CMessageCounts::Row::Kind::Sentence:
        return QString::fromLatin1(row.Name().data(), static_cast<qsizetype>(row.Name().size()));
    case CMessageCounts::Row::Kind::Packet: {
        QString text = QCoreApplication::translate("DataHealthDlg", "数据包 %1")
                           .arg(QString::asprintf("0x%02X", row.packetType));
        if (row.packetType > 0x20 && row.packetType < 0x7F)
            text += QString(" ('%1')").arg(QChar(row.packetType));
        return text;
    }
    case CMessageCounts::Row::Kind::Other:
        break;
    }
    return QCoreApplication::translate("DataHealthDlg", "其他");
}

QString SizeText(std::uint64_t bytes) {
    const double b = static_cast<double>(bytes);
    if (bytes < 1000)
        return QCoreApplication::translate("DataHealthDlg", "%1 字节").arg(bytes);
    if (bytes < 1000000)
        return QString::number(b / 1e3, 'f', 1) + " KB";
    if (bytes < 1000000000)
        return QString::number(b / 1e6, 'f', 1) + " MB";
    return QString::number(b / 1e9, 'f', 2) + " GB";
}

QString DurationText(std::int64_t ms) {
    const std::int64_t s = ms / 1000;
    const QString clock =
        QString::asprintf("%02d:%02d:%02d", static_cast<int>(s / 3600 % 24),
                          static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
    return s >= 86400
               ? QCoreApplication::translate("DataHealthDlg", "%1 天 %2").arg(s / 86400).arg(clock)
               : clock;
}

void SetText(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

QTableWidget* NewTable(QWidget* parent, const char* name, const char* const* columns, int count) {
    auto* table = new QTableWidget(0, count, parent);
    table->setObjectName(name);
    QStringList headers;
    for (int i = 0; i < count; ++i)
        headers << Translated(columns[i]);
    table->setHorizontalHeaderLabels(headers);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus); // no current cell framed: nothing here to act on
    return table;
}

// The rows into a table, reusing its items; the attention column in red
// where a row asks for it.
void FillTable(QTableWidget* table, const std::vector<SourceRowsText::Row>& rows,
               int attentionColumn, const QColor& normal) {
    const int count = static_cast<int>(rows.size());
    if (table->rowCount() != count)
        table->setRowCount(count);
    for (int row = 0; row < count; ++row) {
        for (int column = 0; column < rows[row].cells.size(); ++column) {
            QTableWidgetItem* item = table->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignVCenter | Qt::AlignLeft);
                table->setItem(row, column, item);
            }
            item->setText(rows[row].cells[column]);
        }
        table->item(row, attentionColumn)
            ->setForeground(rows[row].bAttention ? QColor(0xc0, 0, 0) : normal);
    }
}

// A table as tall as its rows, so the few pairs take no more room than they need.
void FitHeight(QTableWidget* table) {
    int height = table->horizontalHeader()->sizeHint().height() + 2 * table->frameWidth();
    for (int row = 0; row < table->rowCount(); ++row)
        height += table->rowHeight(row);
    if (table->height() != height)
        table->setFixedHeight(height);
}
} // namespace

SourceRowsText SourceRows(const std::vector<SourceStatus>& sources,
                          const std::array<std::string, kQuantities>& chosen,
                          const std::vector<HeadingPairStatus>& pairs, std::int64_t nowMs) {
    SourceRowsText text;
    text.bShown = sources.size() > 1 || !pairs.empty();
    if (!text.bShown)
        return text;
    for (const SourceStatus& source : sources) {
        for (int q = 0; q < kQuantities; ++q) {
            const SourceReading& reading = source.readings[q];
            if (reading.state == SourceState::Unavailable)
                continue;
            const bool shown = !chosen[q].empty() && chosen[q] == source.strLabel;
            text.sources.push_back(
                {{SourceName(source), Translated(kQuantityNames[q]),
                  ValueText(static_cast<Quantity>(q), reading.value),
                  Translated(kSourceStateNames[static_cast<int>(reading.state)]),
                  QString::number(static_cast<double>(nowMs - reading.receivedMs) / 1000, 'f', 1),
                  reading.rate.Rate(nowMs) < 0 ? QString("—")
                                               : QString::number(reading.rate.Rate(nowMs), 'f', 1),
                  shown ? QString("●") : QString()},
                 reading.state != SourceState::Valid});
        }
    }
    for (const HeadingPairStatus& pair : pairs) {
        text.pairs.push_back(
            {{PairSide(pair.strA, pair.bMagneticA), PairSide(pair.strB, pair.bMagneticB),
              pair.bFresh ? DeltaText(pair.dDelta) : QString("--"),
              QString::number(pair.dLimit, 'f', 1) + "°",
              Translated(kAlertStateNames[static_cast<int>(pair.state)])},
             pair.state != AlertState::Normal});
    }
    return text;
}

CDataHealthDlg::CDataHealthDlg(const CInstrumentSession& session, QWidget* parent)
    : QDialog(parent), m_pSession(&session) {
    setWindowTitle(QCoreApplication::translate("DataHealthDlg", "数据状态"));
    setModal(false);
    resize(860, 520);
    auto* layout = new QVBoxLayout(this);
    m_pTable = new QTableWidget(0, static_cast<int>(std::size(kColumns)), this);
    m_pTable->setObjectName("types");
    QStringList columns;
    for (const char* column : kColumns)
        columns << QCoreApplication::translate("DataHealthDlg", column);
    m_pTable->setHorizontalHeaderLabels(columns);
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->verticalHeader()->hide();
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setSelectionMode(QAbstractItemView::NoSelection);
    m_pTable->setFocusPolicy(Qt::NoFocus); // no current cell framed: nothing here to act on
    layout->addWidget(m_pTable, 1);
    m_pSourcesPart = new QWidget(this);
    auto* part = new QVBoxLayout(m_pSourcesPart);
    part->setContentsMargins(0, 0, 0, 0);
    part->addWidget(new QLabel(Translated(QT_TRANSLATE_NOOP("DataHealthDlg", "各来源")), this));
    m_pSources =
        NewTable(this, "sources", kSourceColumns, static_cast<int>(std::size(kSourceColumns)));
    part->addWidget(m_pSources, 1);
    m_pPairsCaption = new QLabel(Translated(QT_TRANSLATE_NOOP("DataHealthDlg", "航向比较")), this);
    part->addWidget(m_pPairsCaption);
    m_pPairs = NewTable(this, "pairs", kPairColumns, static_cast<int>(std::size(kPairColumns)));
    part->addWidget(m_pPairs);
    m_pDeltaCurve = new CDeltaCurve(this);
    part->addWidget(m_pDeltaCurve);
    m_pSourcesPart->hide();               // one source: the window as it always was
    layout->addWidget(m_pSourcesPart, 2); // the sources' rows outnumber the types'
    auto* form = new QFormLayout;
    m_pBadPackets = AddTotal(
        form, QCoreApplication::translate("DataHealthDlg", "坏数据包（校验和不符，已丢弃）"),
        "badPackets");
    m_pOverlongLines = AddTotal(
        form, QCoreApplication::translate("DataHealthDlg", "超长行（分段记录）"), "overlongLines");
    m_pDroppedBytes = AddTotal(
        form, QCoreApplication::translate("DataHealthDlg", "丢弃字节（窗口未及显示，记录完整）"),
        "droppedBytes");
    m_pUpTime = AddTotal(form, QCoreApplication::translate("DataHealthDlg", "连接时长"), "upTime");
    m_pReconnects =
        AddTotal(form, QCoreApplication::translate("DataHealthDlg", "重新连接次数"), "reconnects");
    m_pDatagramsLost = AddTotal(
        form, QCoreApplication::translate("DataHealthDlg", "丢失的数据报（系统接收缓冲区已满）"),
        "datagramsLost");
    m_pOtherDatagrams =
        AddTotal(form,
                 QCoreApplication::translate("DataHealthDlg",
                                             "未读的 IEC 61162-450 数据报（二进制传输等，已记录）"),
                 "otherDatagrams");
    m_pCourse = AddTotal(form, QCoreApplication::translate("DataHealthDlg", "航向与对地航向"),
                         "courseCheck");
    m_pSenders =
        AddTotal(form, QCoreApplication::translate("DataHealthDlg", "数据报发送方"), "senders");
    m_pRecordFile =
        AddTotal(form, QCoreApplication::translate("DataHealthDlg", "记录文件"), "recordFile");
    m_pRecordFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pRecordFile->setWordWrap(true);
    m_pRecordSize =
        AddTotal(form, QCoreApplication::translate("DataHealthDlg", "记录文件大小"), "recordSize");
    m_pFreeSpace =
        AddTotal(form, QCoreApplication::translate("DataHealthDlg", "磁盘剩余空间"), "freeSpace");
    layout->addLayout(form);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &CDataHealthDlg::Refresh);
}

QLabel* CDataHealthDlg::AddTotal(QFormLayout* form, const QString& caption, const char* name) {
    auto* value = new QLabel(this);
    value->setObjectName(name);
    form->addRow(QCoreApplication::translate("DataHealthDlg", "%1：").arg(caption), value);
    return value;
}

void CDataHealthDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Refresh();
    m_timer.start();
}

void CDataHealthDlg::hideEvent(QHideEvent* event) {
    m_timer.stop();
    QDialog::hideEvent(event);
}

void CDataHealthDlg::SetSession(const CInstrumentSession& session, bool replay) {
    m_pSession = &session;
    setWindowTitle(replay ? QCoreApplication::translate("DataHealthDlg", "数据状态（回放）")
                          : QCoreApplication::translate("DataHealthDlg", "数据状态"));
    if (isVisible())
        Refresh();
}

void CDataHealthDlg::Refresh() {
    const SessionHealth health = m_pSession->Health();
    const std::int64_t now = SteadyMs();
    const CMessageCounts& types = health.types;
    const bool other = types.Other().count > 0;
    const int rows = types.Types() + (other ? 1 : 0);
    if (m_pTable->rowCount() != rows)
        m_pTable->setRowCount(rows); // only ever grows, to kMaxTypes + 1
    for (int i = 0; i < types.Types(); ++i)
        SetRow(i, types.Type(i), now);
    if (other)
        SetRow(types.Types(), types.Other(), now);

    SetText(m_pBadPackets, QString::number(health.nBadPackets));
    SetText(m_pOverlongLines, QString::number(health.nOverlongLines));
    SetText(m_pDroppedBytes, QString::number(health.nDroppedBytes));
    SetText(m_pUpTime, health.link.kind == LinkState::Kind::Connected
                           ? DurationText(now - health.link.nSinceMs)
                           : QCoreApplication::translate("DataHealthDlg", "未连接"));
    SetText(m_pReconnects, QString::number(health.nReconnects));
    SetText(m_pDatagramsLost, QString::number(health.nDatagramsLost));
    const QString lostStyle = health.nDatagramsLost ? "color: #c00000" : QString();
    if (m_pDatagramsLost->styleSheet() != lostStyle)
        m_pDatagramsLost->setStyleSheet(lostStyle);
    SetText(m_pOtherDatagrams, QString::number(health.nOtherDatagrams));
    const CourseCheck course = m_pSession->Course();
    SetText(m_pCourse, CourseText(course));
    const QString courseStyle = course.bSuspect ? "color: #c00000" : QString();
    if (m_pCourse->styleSheet() != courseStyle)
        m_pCourse->setStyleSheet(courseStyle);
    RefreshSenders(health.senders);
    RefreshRecord(health.strRecordPath);
    RefreshSources(now);
}

void CDataHealthDlg::RefreshSources(std::int64_t nowMs) {
    std::array<std::string, kQuantities> chosen;
    for (int q = 0; q < kQuantities; ++q)
        chosen[q] = m_pSession->ChosenSource(static_cast<Quantity>(q));
    const SourceRowsText text =
        SourceRows(m_pSession->Sources(), chosen, m_pSession->HeadingPairs(), nowMs);
    if (m_pSourcesPart->isVisibleTo(this) != text.bShown) {
        m_pSourcesPart->setVisible(text.bShown);
        if (text.bShown && height() < 760)
            resize(width(), 760); // room for the sources below the types
    }
    if (!text.bShown)
        return;
    const QColor normal = palette().color(QPalette::Text);
    FillTable(m_pSources, text.sources, 3, normal);
    FillTable(m_pPairs, text.pairs, 4, normal);
    const bool pairs = !text.pairs.empty();
    m_pPairs->setVisible(pairs);
    m_pPairsCaption->setVisible(pairs);
    m_pDeltaCurve->setVisible(pairs);
    if (!pairs)
        return;
    FitHeight(m_pPairs);
    // The curve of a pair that holds the heading shown, two true headings
    // before a magnetic compass's; else the first pair.
    const std::vector<HeadingPairStatus> status = m_pSession->HeadingPairs();
    std::size_t shown = 0;
    int best = -1;
    for (std::size_t i = 0; i < status.size(); ++i) {
        const HeadingPairStatus& p = status[i];
        const int score = (p.strA == chosen[0] || p.strB == chosen[0] ? 2 : 0) +
                          (p.bMagneticA || p.bMagneticB ? 0 : 1);
        if (score > best) {
            best = score;
            shown = i;
        }
    }
    if (shown < status.size()) {
        const HeadingPairStatus& pair = status[shown];
        m_pDeltaCurve->SetCurve(
            QCoreApplication::translate("DataHealthDlg", "%1 − %2，最近 10 分钟")
                .arg(PairSide(pair.strA, pair.bMagneticA), PairSide(pair.strB, pair.bMagneticB)),
            m_pSession->HeadingDeltas(shown), pair.dLimit, nowMs);
    }
}

void CDataHealthDlg::RefreshSenders(const CUdpSenders& senders) {
    QStringList lines;
    for (int i = 0; i < senders.Senders(); ++i) {
        const CUdpSenders::Sender& sender = senders.At(i);
        const QString address = QString::fromStdString(sender.address.Text());
        lines << (sender.accepted
                      ? QCoreApplication::translate("DataHealthDlg", "%1：%2 个数据报")
                      : QCoreApplication::translate("DataHealthDlg", "%1：已拒绝 %2 个数据报"))
                     .arg(address)
                     .arg(sender.datagrams);
    }
    if (senders.UnlistedDatagrams() != 0) {
        lines << QCoreApplication::translate("DataHealthDlg",
                                             "其他发送方（过多，未逐一列出）：%1 个数据报")
                     .arg(senders.UnlistedDatagrams());
    }
    SetText(m_pSenders, lines.isEmpty() ? QString("—") : lines.join('\n'));
}

void CDataHealthDlg::SetCell(int row, int column, const QString& text) {
    QTableWidgetItem* item = m_pTable->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignVCenter |
                               (column == 0 || column == 5 ? Qt::AlignLeft : Qt::AlignRight));
        m_pTable->setItem(row, column, item);
    }
    item->setText(text); // an unchanged text changes nothing
}

void CDataHealthDlg::SetRow(int row, const CMessageCounts::Row& counts, std::int64_t nowMs) {
    const double rate = counts.Rate(nowMs);
    SetCell(row, 0, TypeText(counts));
    SetCell(row, 1, QString::number(counts.count));
    SetCell(row, 2, rate < 0 ? QString("—") : QString::number(rate, 'f', 1));
    SetCell(row, 3, QString::number(static_cast<double>(nowMs - counts.lastMs) / 1000, 'f', 1));
    SetCell(row, 4, QString::number(counts.checksumFailures));
    m_pTable->item(row, 4)->setForeground(
        counts.checksumFailures ? QColor(0xc0, 0, 0) : palette().color(QPalette::Text));
    SetCell(row, 5, ReadingsText(counts));
}

void CDataHealthDlg::RefreshRecord(const std::string& path) {
    if (path.empty()) {
        SetText(m_pRecordFile, QCoreApplication::translate("DataHealthDlg", "没有记录文件"));
        SetText(m_pRecordSize, "—");
        SetText(m_pFreeSpace, "—");
        return;
    }
    SetText(m_pRecordFile, QString::fromStdString(path));
    struct stat file {};
    SetText(m_pRecordSize, stat(path.c_str(), &file) == 0
                               ? SizeText(static_cast<std::uint64_t>(file.st_size))
                               : QString("—"));
    const QByteArray folder = QFileInfo(QString::fromStdString(path)).absolutePath().toLocal8Bit();
    struct statvfs disk {};
    if (statvfs(folder.constData(), &disk) != 0) {
        SetText(m_pFreeSpace, "—");
        return;
    }
    const std::uint64_t free = static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
    const bool low = free < m_nLowSpaceBytes;
    SetText(m_pFreeSpace,
            low ? SizeText(free) +
                      QCoreApplication::translate("DataHealthDlg", "（不足 1 GB，请尽快腾出空间）")
                : SizeText(free));
    const QString style = low ? "color: #c00000; font-weight: bold" : QString();
    if (m_pFreeSpace->styleSheet() != style)
        m_pFreeSpace->setStyleSheet(style);
}
