// The analysis view's "导出…" (the records as CSV, the picture as PNG, PDF or
// SVG) and "会话摘要".
#include "platform/Canvas.h"
#include "platform/Prompter.h"
#include "platform/ReplacingFile.h"
#include "plots/CsvExport.h"
#include "plots/SessionReport.h"
#include "view/PictureExport.h"
#include "view/QuillmarView.h"
#include "view/SessionSummaryDlg.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace {
// The name a recording's exports and summaries are proposed under.
QString BaseName(const QString& recordingPath) {
    return recordingPath.isEmpty() ? QStringLiteral("Quillmar")
                                   : QFileInfo(recordingPath).completeBaseName();
}

std::string Encoded(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

// "2026-12-07 09:05:03" of a UTC time in milliseconds.
QString UtcText(std::int64_t utcMs) {
    return QDateTime::fromMSecsSinceEpoch(utcMs, QTimeZone::utc()).toString("yyyy-MM-dd HH:mm:ss");
}
} // namespace

bool CQuillmarView::HasRecords() const {
    return !m_analysis.IsLoading() && !m_analysis.Records().empty();
}

PictureTexts CQuillmarView::AnalysisPictureTexts(const CPlotFrame& frame, int width) const {
    PictureTexts texts;
    const QString name = m_analysis.Path().isEmpty() ? QStringLiteral("Quillmar")
                                                     : QFileInfo(m_analysis.Path()).fileName();
    // The records drawn: from the first column to the last.
    const std::size_t count = m_analysis.Records().size();
    QString span;
    const double x0 = frame.MapX(frame.TimeX(0));
    const double perRecord = frame.MapX(frame.TimeX(1)) - x0;
    if (count > 0 && perRecord > 0) {
        const double last = static_cast<double>(count - 1);
        const auto first =
            static_cast<std::size_t>(std::clamp(std::ceil(-x0 / perRecord), 0.0, last));
        const auto end =
            static_cast<std::size_t>(std::clamp(std::floor((width - x0) / perRecord), 0.0, last));
        span = m_analysis.Times().Known()
                   ? QCoreApplication::translate("QuillmarView", "UTC %1 至 %2")
                         .arg(UtcText(m_analysis.Times().UtcMs(first)),
                              UtcText(m_analysis.Times().UtcMs(std::max(first, end))))
                   : QCoreApplication::translate("QuillmarView", "第 %1 至 %2 条记录")
                         .arg(first)
                         .arg(std::max(first, end));
    }
    texts.title = span.isEmpty() ? name : QString("%1    %2").arg(name, span);
    const std::size_t* firsts = m_analysis.Loaded().nFirst; // heading, pitch, roll
    const bool heading = m_analysis.HeadingOn() && firsts[0] < count;
    const bool pitch = m_analysis.PitchOn() && firsts[1] < count;
    const bool roll = m_analysis.RollOn() && firsts[2] < count;
    // In the colours the curves are drawn in (plots/AnalysisCurves.cpp).
    if (heading)
        texts.legend.push_back(
            {QCoreApplication::translate("QuillmarView", "方位角"), QColor(0, 255, 0)});
    if (pitch)
        texts.legend.push_back(
            {QCoreApplication::translate("QuillmarView", "俯仰角"), QColor(128, 0, 128)});
    if (roll)
        texts.legend.push_back(
            {QCoreApplication::translate("QuillmarView", "横滚角"), QColor(255, 0, 0)});
    texts.leftAxis = QCoreApplication::translate("QuillmarView", "方位角（°）");
    texts.rightAxis = roll ? QCoreApplication::translate("QuillmarView", "俯仰角、横滚角（°）")
                           : QCoreApplication::translate("QuillmarView", "俯仰角（°）");
    texts.bottomAxis = m_analysis.TimeAxisOn()
                           ? QCoreApplication::translate("QuillmarView", "时间（UTC，时:分:秒）")
                           : QCoreApplication::translate("QuillmarView", "记录序号");
    return texts;
}

void CQuillmarView::DrawAnalysisPicture(CCanvas& canvas) const {
    // The curves inside margins that carry the title, the legend and the
    // axes' names.
    const int lineHeight = QFontMetrics(font()).height();
    const QRect plot = PicturePlotArea(canvas.Size(), lineHeight);
    const QSize target = plot.size();
    const double kx = width() > 0 ? static_cast<double>(target.width()) / width() : 1;
    const double ky = height() > 0 ? static_cast<double>(target.height()) / height() : 1;
    const CNavigation navigation = m_navigation.ScaledBy(kx, ky);
    const CPlotFrame frame =
        MakePlotFrame(target.width() * kPerReferenceX, target.height() * kPerReferenceY, navigation,
                      m_analysis.Records().size());
    COffsetCanvas inner(canvas, plot);
    m_analysis.DrawCurves(inner, frame);
    DrawPictureFrame(canvas, plot, AnalysisPictureTexts(frame, target.width()), lineHeight);
}

void CQuillmarView::OnExport() {
    CPrompter::FileDialogRequest request;
    request.save = true;
    request.title = QCoreApplication::translate("QuillmarView", "导出");
    request.filter = QCoreApplication::translate(
        "QuillmarView", "CSV 文件 (*.csv);;PNG 图片 (*.png);;PDF 文件 (*.pdf);;SVG 图片 (*.svg)");
    request.defaultSuffix = "csv";
    request.proposedName = BaseName(m_analysis.Path()) + ".csv";
    request.confirmOverwrite = false; // asked below, once the target is known to be replaceable
    request.kind = CPrompter::FileKind::Export;
    const QString path = CPrompter::Instance().ChooseFile(this, request);
    if (path.isEmpty())
        return;
    const ExportFormat format = ExportFormatOf(path);
    // Never over the recording shown, nor over its own files.
    const std::vector<KeptFile> kept = m_analysis.Path().isEmpty()
                                           ? std::vector<KeptFile>{}
                                           : RecordingFiles(Encoded(m_analysis.Path()));
    std::string error =
        format == ExportFormat::Unknown
            ? QCoreApplication::translate(
                  "QuillmarView", "不能导出为这种文件：%1\n请用 .csv、.png、.pdf 或 .svg 作扩展名")
                  .arg(path)
                  .toStdString()
            : ReplaceRefusal(Encoded(path), kept);
    if (error.empty() && QFileInfo::exists(path) &&
        CPrompter::Instance().MessageBox(
            this,
            QCoreApplication::translate("QuillmarView", "%1 已存在。\n要替换它吗？").arg(path),
            QString(), QMessageBox::Yes | QMessageBox::No,
            CPrompter::Icon::Question) != QMessageBox::Yes)
        return;
    if (!error.empty()) {
        // Refused before anything was asked or written.
    } else if (format == ExportFormat::Csv) {
        const WaitCursor wait;
        error = ExportAnalysisCsv(Encoded(path), m_analysis.Records(), m_analysis.Times(), kept);
    } else {
        const QSize size = CPrompter::Instance().PictureSize(
            this, QCoreApplication::translate("QuillmarView", "导出图片的大小"), this->size());
        if (size.isEmpty())
            return;
        const WaitCursor wait;
        // In the window's pixels whatever the page's resolution, as on the screen.
        QFont font = this->font();
        font.setPixelSize(QFontInfo(this->font()).pixelSize());
        const QByteArray bytes = RenderPicture(
            format, size, font, [this](CCanvas& canvas) { DrawAnalysisPicture(canvas); });
        error = ReplaceFile(
            Encoded(path),
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), kept);
    }
    if (!error.empty())
        CPrompter::Instance().MessageBox(this, QString::fromStdString(error), QString(),
                                         QMessageBox::Ok, CPrompter::Icon::Warning);
    else
        emit StatusNote(ExportedText(path));
}

QString CQuillmarView::ExportedText(const QString& path) {
    return QCoreApplication::translate("QuillmarView", "已导出 %1")
        .arg(QDir::toNativeSeparators(path));
}

void CQuillmarView::OnSessionSummary() {
    SummaryLimits limits;
    limits.pitchLimit = Monitor().PitchLimit();
    limits.rollLimit = Monitor().RollLimit();
    limits.staleSeconds = static_cast<double>(Monitor().StaleMs()) / 1000;
    // Counts per message type come only with a record file's own loading.
    const CMessageCounts* counts =
        m_analysis.Times().source != RecordTimeSource::None ? &m_analysis.Loaded().counts : nullptr;
    SessionSummary summary =
        SummariseSession(m_analysis.Records(), m_analysis.Times(), counts, limits,
                         m_analysis.Path().isEmpty() ? std::vector<LoggedEvent>{}
                                                     : ReadAlarmEvents(Encoded(m_analysis.Path())));
    summary.arrHeadings = m_analysis.Loaded().arrHeadings;
    const std::string text = SessionSummaryText(summary, Encoded(m_analysis.Path()));
    const std::string csv = SessionSummaryCsv(summary);
    if (m_pSummaryDlg)
        m_pSummaryDlg->close();
    m_pSummaryDlg = new CSessionSummaryDlg(
        this, QString::fromStdString(text),
        QByteArray(csv.data(), static_cast<qsizetype>(csv.size())), BaseName(m_analysis.Path()));
    m_pSummaryDlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_pSummaryDlg, &CSessionSummaryDlg::Saved, this,
            [this](const QString& path) { emit StatusNote(ExportedText(path)); });
    m_pSummaryDlg->show();
}
