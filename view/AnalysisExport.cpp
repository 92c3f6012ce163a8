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
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>

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
} // namespace

bool CQuillmarView::HasRecords() const {
    return !m_analysis.IsLoading() && !m_analysis.Records().empty();
}

void CQuillmarView::DrawAnalysisPicture(CCanvas& canvas) const {
    const QSize target = canvas.Size();
    const double kx = width() > 0 ? static_cast<double>(target.width()) / width() : 1;
    const double ky = height() > 0 ? static_cast<double>(target.height()) / height() : 1;
    const CNavigation navigation = m_navigation.ScaledBy(kx, ky);
    m_analysis.DrawCurves(canvas, MakePlotFrame(target.width() * kPerReferenceX,
                                                target.height() * kPerReferenceY, navigation,
                                                m_analysis.Records().size()));
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
    const QString path = CPrompter::Instance().FileDialog(this, request);
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
        SummariseSession(m_analysis.Records(), m_analysis.Times(), counts, limits);
    if (!m_analysis.Path().isEmpty())
        summary.arrEvents = ReadAlarmEvents(Encoded(m_analysis.Path()));
    const std::string text = SessionSummaryText(summary, Encoded(m_analysis.Path()));
    const std::string csv = SessionSummaryCsv(summary);
    if (m_pSummaryDlg)
        m_pSummaryDlg->close();
    m_pSummaryDlg = new CSessionSummaryDlg(
        this, QString::fromStdString(text),
        QByteArray(csv.data(), static_cast<qsizetype>(csv.size())), BaseName(m_analysis.Path()));
    m_pSummaryDlg->setAttribute(Qt::WA_DeleteOnClose);
    m_pSummaryDlg->show();
}
