#include "link/EventLog.h"

#include "link/RecordFile.h"
#include "platform/ErrorText.h"
#include "platform/WrittenFiles.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CEventLog::~CEventLog() {
    Close();
}

std::string CEventLog::PathFor(const std::string& recordPath) {
    return BesideRecord(recordPath, "-events.csv");
}

std::int64_t CEventLog::NowUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string CEventLog::IsoTime(std::int64_t utcMs) {
    const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(utcMs % 1000));
    return text;
}

std::string CEventLog::Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string out = text;
    while (out.back() == '0')
        out.pop_back();
    if (out.back() == '.')
        out.pop_back();
    return out == "-0" ? "0" : out;
}

bool CEventLog::Open(const std::string& path, std::string* error) {
    Close();
    m_strPath = path;
    if (!OpenFile(error))
        return false;
    Flush();
    return true;
}

bool CEventLog::OpenFile(std::string* error) {
    const int fd = open(m_strPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error)
            *error = m_strPath + ": " + SystemErrorText(errno);
        return false;
    }
    m_fd = fd;
    NoteWrittenFile(fd);
    struct stat info {};
    if (fstat(fd, &info) == 0 && info.st_size == 0) {
        static constexpr std::string_view header = "time,subject,event,value,limit\n";
        if (!m_pending.starts_with(header))
            m_pending.insert(0, header);
    }
    return true;
}

bool CEventLog::Flush() {
    if (m_fd < 0 && (m_strPath.empty() || !OpenFile(nullptr)))
        return m_pending.empty();
    while (!m_pending.empty()) {
        const ssize_t written = write(m_fd, m_pending.data(), m_pending.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        m_pending.erase(0, static_cast<std::size_t>(written));
    }
    if (m_pending.capacity() > (64u << 10))
        std::string().swap(m_pending);
    return true;
}

void CEventLog::Close() {
    if (m_fd >= 0) {
        ForgetWrittenFile(m_fd);
        close(m_fd);
    }
    m_fd = -1;
}

std::string CEventLog::Line(std::string_view subject, std::string_view event,
                            std::string_view value, std::string_view limit, std::int64_t utcMs) {
    std::string line = IsoTime(utcMs);
    for (std::string_view field : {subject, event, value, limit}) {
        line += ',';
        line += field;
    }
    line += '\n';
    return line;
}

bool CEventLog::Write(std::string_view subject, std::string_view event, std::string_view value,
                      std::string_view limit, std::int64_t utcMs) {
    const std::string line = Line(subject, event, value, limit, utcMs);
    // Kept lines beyond the limit: the oldest whole lines go.
    if (m_pending.size() + line.size() > kMaxPending) {
        const std::size_t cut = m_pending.find('\n', m_pending.size() + line.size() - kMaxPending);
        m_pending.erase(0, cut == std::string::npos ? m_pending.size() : cut + 1);
    }
    m_pending += line;
    return Flush();
}
