// "quillmar --analyse FILE --export-csv OUT.csv": the records as CSV, for
// scripts, with no window and no display (run under a QCoreApplication).
#pragma once

#include "plots/Samples.h"
#include "shell/QuillmarApp.h"

#include <vector>

// Loads what the command line names and writes the CSV. The exit status: 0
// written; 1 the file did not load or the CSV could not be written (the
// reason on the error stream); 2 nothing named to export.
int RunCsvExport(const CCommandLineInfo& info);
// Writes records (and their times) loaded from loadedPath to path as CSV,
// never in the place of the recording or its own files; the exit status, as
// above. Any loader of recordings ends here.
int ExportCsvFile(const std::vector<AnalysisSample>& records, const AnalysisTimes& times,
                  const QString& path, const QString& loadedPath);
