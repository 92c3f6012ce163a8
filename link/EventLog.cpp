#include "link/EventLog.h"

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
    const std::size_t slash = recordPath.rfind('/');
    const std::size_t dot = recordPath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? recordPath.substr(0, dot) : recordPath) + "-events.csv";
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
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error)
            *error = path + ": " + SystemErrorText(errno);
        return false;
    }
    Close();
    m_fd = fd;
    NoteWrittenFile(fd);
    m_strPath = path;
    struct stat info {};
    if (fstat(fd, &info) == 0 && info.st_size == 0) {
        static const char header[] = "time,subject,event,value,limit\n";
        if (write(fd, header, sizeof header - 1) < 0 && error)
            *error = path + ": " + SystemErrorText(errno);
    }
    return true;
}

void CEventLog::Close() {
    if (m_fd >= 0) {
        ForgetWrittenFile(m_fd);
        close(m_fd);
    }
    m_fd = -1;
}

bool CEventLog::Write(std::string_view subject, std::string_view event, std::string_view value,
                      std::string_view limit, std::int64_t utcMs) {
    if (m_fd < 0)
        return false;
    std::string line = IsoTime(utcMs);
    for (std::string_view field : {subject, event, value, limit}) {
        line += ',';
        line += field;
    }
    line += '\n';
    ssize_t written;
    do {
        written = write(m_fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(line.size());
}
