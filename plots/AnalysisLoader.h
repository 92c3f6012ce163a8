// Loading of recorded attitude files (the instrument's "$C<heading>,<pitch>"
// lines, the R35 format) into analysis records.
//
// The file is read in large blocks and cut into lines of at most 99
// characters (a longer line goes on as a piece of its own, as a 100-byte
// fgets buffer reads it). A line ends at a line feed, or at a carriage return
// not followed by one. Each line is classified in this order: field 1 "GGA"
// stops the load (a GPGGA recording); "HDA" and "ROT" lines are skipped; a
// line not beginning "$C" stops the load; anything else is a record of
// heading (field 1) and pitch (field 2). Fields and numbers are read as the
// live link reads them (link/NumberText.h). Nothing is allocated per line.
#pragma once

#include "plots/Samples.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class LineKind { Record, Skipped, GgaRecording, NotR35 };

// Classifies one line (without its line end, or with it: fields stop there).
LineKind ClassifyLine(std::string_view line, AnalysisSample* record);

struct LoadResult {
    // NotRegularFile: a FIFO, a device or a directory, refused without reading.
    // Cancelled: the caller's cancel flag ended the load.
    enum class Status {
        Complete,
        Empty,
        CannotOpen,
        NotRegularFile,
        GgaRecording,
        NotR35,
        Cancelled
    } status;
    int nError = 0;            // errno when the file could not be opened or read
    std::uint64_t nLength = 0; // file length L in bytes
    std::uint64_t nLines = 0;  // lines read, the offending one included
};

// Called now and then with the number of lines read so far (and the file's
// length); the caller paints the progress from it.
using LoadProgress = std::function<void(std::uint64_t lines, std::uint64_t length)>;

// Reads path into records (emptied first). Records before an offending line
// are kept. blockSize: how much is read at a time (tests make it small so that
// lines cross block boundaries everywhere). cancel, when set, is looked at
// every 4096 lines and ends the load (another thread sets it).
LoadResult LoadAnalysisFile(const std::string& path, std::vector<AnalysisSample>& records,
                            const LoadProgress& progress = {}, std::size_t blockSize = 1u << 20,
                            const std::atomic<bool>* cancel = nullptr);
