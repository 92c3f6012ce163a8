// "数据状态": how the data is arriving, per message type (count, rate over the
// last ten seconds, age of the last one, checksum failures) and in total (bad
// packets, over-long lines, bytes the window dropped, the link's up-time and
// reconnects, a UDP source's datagrams the system dropped and who sent them,
// the bridge network's datagrams of no text that were skipped,
// the record file's size and the free space on its disk). A session that
// reads several sources adds "各来源" (each source's last reading of each
// quantity, whether it is believed, and which one the displays follow) and
// "航向比较" (each pair of heading sources, their difference and its alarm).
//
// A window that may stay open beside the displays for days: it refreshes
// twice a second while shown and not at all while hidden, reuses its table
// items, and only copies what the session counts anyway (under a short lock);
// the file system is asked about the record file here, never on the live path.
#pragma once

#include "link/HeadingCompare.h"
#include "link/MessageCounts.h"
#include "link/UdpSenders.h"

#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CInstrumentSession;
struct HeadingPairStatus;
struct SourceStatus;
class QFormLayout;
class QLabel;
class QTableWidget;

// What "各来源" and "航向比较" show, as text: shown at all only when the
// session reads more than one source or compares headings.
struct SourceRowsText {
    struct Row {
        QStringList cells;
        bool bAttention = false; // a reading not believed, an alarm not over
    };
    bool bShown = false;
    std::vector<Row> sources; // 来源, 量, 值, 状态, 最近(秒前), 速率(条/秒), 显示
    std::vector<Row> pairs;   // A, B, 差值, 限值, 状态
};

// The heading against the course over ground: "+12.3°", "+45.0°（可疑）", or why
// it is not compared.
QString CourseText(const CourseCheck& course);

// chosen: per quantity the label of the source the displays follow (empty: none).
SourceRowsText SourceRows(const std::vector<SourceStatus>& sources,
                          const std::array<std::string, kQuantities>& chosen,
                          const std::vector<HeadingPairStatus>& pairs, std::int64_t nowMs);

class CDataHealthDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 500;
    static constexpr std::uint64_t kLowSpaceBytes = 1000000000; // 1 GB

    explicit CDataHealthDlg(const CInstrumentSession& session, QWidget* parent = nullptr);

    void Refresh();
    // Shows another session's data from now on (a replay's, and back).
    void SetSession(const CInstrumentSession& session, bool replay);
    QTableWidget* Table() const { return m_pTable; }
    QTableWidget* SourcesTable() const { return m_pSources; }
    QTableWidget* PairsTable() const { return m_pPairs; }
    // Free space below this is shown as a warning.
    void SetLowSpaceBytes(std::uint64_t bytes) { m_nLowSpaceBytes = bytes; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* AddTotal(QFormLayout* form, const QString& caption, const char* name);
    void SetRow(int row, const CMessageCounts::Row& counts, std::int64_t nowMs);
    void SetCell(int row, int column, const QString& text);
    void RefreshSources(std::int64_t nowMs);
    void RefreshRecord(const std::string& path);
    void RefreshSenders(const CUdpSenders& senders);

    const CInstrumentSession* m_pSession;
    std::uint64_t m_nLowSpaceBytes = kLowSpaceBytes;
    QTableWidget* m_pTable;
    QWidget* m_pSourcesPart; // "各来源" and "航向比较", hidden for one source
    QTableWidget* m_pSources;
    QLabel* m_pPairsCaption;
    QTableWidget* m_pPairs;
    class CDeltaCurve* m_pDeltaCurve; // the difference of the pair shown, over the last minutes
    QLabel* m_pBadPackets;
    QLabel* m_pOverlongLines;
    QLabel* m_pDroppedBytes;
    QLabel* m_pUpTime;
    QLabel* m_pReconnects;
    QLabel* m_pDatagramsLost;
    QLabel* m_pOtherDatagrams;
    QLabel* m_pCourse; // the heading against the course over ground
    QLabel* m_pSenders;
    QLabel* m_pRecordFile;
    QLabel* m_pRecordSize;
    QLabel* m_pFreeSpace;
    QTimer m_timer;
};
