#include "shell/HeadlessExport.h"

#include "plots/AnalysisLoader.h"
#include "plots/CsvExport.h"
#include "plots/RecordLoader.h"
#include "shell/SettingsKey.h"
#include "view/AnalysisSession.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace {
void Say(const QString& text) {
    std::fprintf(stderr, "quillmar: %s\n", qPrintable(QString(text).replace('\n', ' ')));
}
} // namespace

int ExportCsvFile(const std::vector<AnalysisSample>& records, const AnalysisTimes& times,
                  const QString& path, const QString& loadedPath) {
    // Never over the recording it was made from, nor over its own files.
    const std::string error =
        ExportAnalysisCsv(QFile::encodeName(path).toStdString(), records, times,
                          RecordingFiles(QFile::encodeName(loadedPath).toStdString()));
    if (error.empty())
        return 0;
    Say(QString::fromStdString(error));
    return 1;
}

int RunCsvExport(const CCommandLineInfo& info) {
    if (const QString refusal = SettingsRefusal(); !refusal.isEmpty())
        Say(refusal);
    if (!info.analysisRecordFile.isEmpty()) {
        RecordLoadOutput out;
        const RecordLoadResult result =
            LoadRecordFile(QFile::encodeName(info.analysisRecordFile).toStdString(), out, {},
                           nullptr, ReadSentenceOptions());
        if (const QString refusal = CAnalysisSession::Refusal(result, info.analysisRecordFile);
            !refusal.isEmpty()) {
            Say(refusal);
            return 1;
        }
        // The times are not those a script would expect: said, not hidden.
        if (!out.times.strSourceNote.empty())
            Say(CAnalysisSession::TimeSourceText(out.times));
        return ExportCsvFile(out.records, out.times, info.exportCsvFile, info.analysisRecordFile);
    }
    if (info.analysisFile.isEmpty()) {
        Say(QCoreApplication::translate(
            "HeadlessExport",
            "--export-csv 需要指明要导出的记录：--analyse 文件 或 --analyse-record 文件"));
        return 2;
    }
    std::vector<AnalysisSample> records;
    const LoadResult result =
        LoadAnalysisFile(QFile::encodeName(info.analysisFile).toStdString(), records);
    if (const QString refusal = CAnalysisSession::Refusal(result, info.analysisFile);
        !refusal.isEmpty()) {
        Say(refusal);
        return 1;
    }
    // The instrument's own files carry no times.
    return ExportCsvFile(records, AnalysisTimes{}, info.exportCsvFile, info.analysisFile);
}
