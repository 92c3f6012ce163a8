// The record file: every received message, in order, as it arrived.
//
// Each message goes to the operating system with one write(2) as soon as it
// has been interpreted, without buffering in the program, so a crash loses at
// most the message being written. A new file is always created exclusively:
// start-up never empties an existing file. When a write fails (disk full) the
// bytes are kept in memory, in order, and written ahead of the next message
// once writes succeed again.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

// A file that goes with a record: "X.txt" with suffix "-times.bin" is
// "X-times.bin" (a name without an extension keeps it whole).
std::string BesideRecord(const std::string& recordPath, std::string_view suffix);

class CRecordFile {
public:
    // Bytes kept in memory while writes fail; beyond this a write's bytes are
    // dropped whole and counted (a day of the instrument's traffic is ~80 MB).
    static constexpr std::size_t kMaxBacklog = 256u << 20;

    CRecordFile() = default;
    ~CRecordFile();
    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;

    // "2005-12-7-9-5-3.txt"; the second file of the same second is
    // "2005-12-7-9-5-3-2.txt", and so on.
    static std::string FileName(const std::tm& when, int attempt = 1);

    // Creates a new file named for `when` in folder (made when missing).
    bool CreateNew(const std::string& folder, const std::tm& when, std::string* error);
    // Creates the file at path, which must not exist yet.
    bool CreateAt(const std::string& path, std::string* error) {
        return OpenExclusive(path, error);
    }
    // Creates or empties the file at path: only for a file the operator chose
    // and agreed to replace.
    bool Replace(const std::string& path, std::string* error);
    void Close();

    // Writes bytes (after anything kept from failed writes). False when not
    // everything reached the system; LastError() says why.
    bool Write(std::string_view bytes);
    // Writes what failed writes left, if anything; true when nothing is left.
    bool Flush();
    // The file was deleted while open (writes would go nowhere). Recreates it
    // at its path, or beside it when that name is taken again.
    bool IsRemoved() const;
    bool Recreate(std::string* error);

    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_strPath; }
    int LastError() const { return m_nLastError; }
    std::size_t Backlog() const { return m_backlog.size(); }
    std::size_t DroppedBytes() const { return m_nDropped; }
    void SetBacklogLimit(std::size_t bytes) { m_nMaxBacklog = bytes; }

private:
    bool OpenExclusive(const std::string& path, std::string* error);
    // Opens path for appending with the extra open flags; the file in use
    // is closed only once the new one is open.
    bool OpenWith(const std::string& path, int flags, std::string* error);

    int m_fd = -1;
    std::string m_strPath;
    std::string m_backlog;
    std::size_t m_nDropped = 0;
    std::size_t m_nMaxBacklog = kMaxBacklog;
    int m_nLastError = 0;
};
