// Loading a record file written by this program (every message as received:
// any mix of sentences from any talker, and packets' data bytes) into
// analysis records, with the time each message arrived.
//
// The messages and their times come from CRecordReader (link/RecordReader.h);
// each line is read by ReadSentence (link/Sentences.h), the reading
// of the live link, so a recording loads into the records the live samples of
// the same stream were: one record per message that carries at least one
// angle, holding the last value received of heading, pitch and roll. An angle
// not yet received is NaN, as in the live samples (the curves and the status
// bar leave such records out). GGA positions are counted, every message is
// counted under its type (CMessageCounts; a packet by the type byte its timing
// file kept, 0 without one), and everything else is skipped.
//
// Memory: the records and their times are reserved for the most messages the
// file can hold (address space only, pages are touched as records arrive), so
// they never grow by copying: 24 bytes a record.
#pragma once

#include "link/MessageCounts.h"
#include "link/Sentences.h"
#include "plots/AnalysisLoader.h"
#include "plots/Samples.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct RecordLoadResult {
    // NoAttitude: the file holds no message with an angle.
    enum class Status { Complete, Empty, CannotOpen, NotRegularFile, NoAttitude, Cancelled };
    Status status = Status::Complete;
    int nError = 0;       // errno when the file could not be opened or read
    std::string strError; // the reader's reason, when it gave one
    std::uint64_t nLength = 0;
    std::uint64_t nMessages = 0;
    std::uint64_t nPositions = 0; // GGA sentences with a fix
};

struct RecordLoadOutput {
    std::vector<AnalysisSample> records;
    AnalysisTimes times;
    CMessageCounts counts;
};

// Reads path into out (emptied first). progress, now and then, gets the bytes
// read so far and the file's length; cancel, when set, ends the load soon
// (Status::Cancelled, out then holds what was read). The sentences are read
// with options, as the live session reads them.
RecordLoadResult LoadRecordFile(const std::string& path, RecordLoadOutput& out,
                                const LoadProgress& progress = {},
                                const std::atomic<bool>* cancel = nullptr,
                                const SentenceOptions& options = {});
