#include "link/RecordFile.h"

#include "platform/ErrorText.h"
#include "platform/WrittenFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {
bool MakeFolders(const std::string& folder, std::string* error) {
    std::string path;
    std::size_t at = 0;
    while (at != std::string::npos) {
        at = folder.find('/', at + 1);
        path = folder.substr(0, at);
        if (path.empty() || mkdir(path.c_str(), 0777) == 0 || errno == EEXIST)
            continue;
        const int failure = errno;
        *error = path + ": " + SystemErrorText(failure);
        return false;
    }
    return true;
}
} // namespace

CRecordFile::~CRecordFile() {
    Close();
}

std::string CRecordFile::FileName(const std::tm& when, int attempt) {
    std::string name = std::to_string(when.tm_year + 1900) + "-" + std::to_string(when.tm_mon + 1) +
                       "-" + std::to_string(when.tm_mday) + "-" + std::to_string(when.tm_hour) +
                       "-" + std::to_string(when.tm_min) + "-" + std::to_string(when.tm_sec);
    if (attempt > 1)
        name += "-" + std::to_string(attempt);
    return name + ".txt";
}

bool CRecordFile::OpenExclusive(const std::string& path, std::string* error) {
    return OpenWith(path, O_EXCL, error);
}

bool CRecordFile::OpenWith(const std::string& path, int flags, std::string* error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | flags, 0666);
    if (fd < 0) {
        m_nLastError = errno;
        if (error)
            *error = SystemErrorText(m_nLastError);
        return false;
    }
    Close();
    m_fd = fd;
    NoteWrittenFile(fd);
    m_strPath = path;
    m_nLastError = 0;
    return true;
}

std::string BesideRecord(const std::string& recordPath, std::string_view suffix) {
    const std::size_t slash = recordPath.rfind('/');
    const std::size_t dot = recordPath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? recordPath.substr(0, dot) : recordPath) + std::string(suffix);
}

bool CRecordFile::CreateNew(const std::string& folder, const std::tm& when, std::string* error) {
    if (!MakeFolders(folder, error)) {
        m_nLastError = errno;
        return false;
    }
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const std::string path = folder + "/" + FileName(when, attempt);
        if (OpenExclusive(path, error))
            return true;
        if (m_nLastError != EEXIST) {
            if (error)
                *error = path + ": " + *error;
            return false;
        }
    }
    return false;
}

bool CRecordFile::Replace(const std::string& path, std::string* error) {
    return OpenWith(path, O_TRUNC, error);
}

void CRecordFile::Close() {
    if (m_fd >= 0) {
        ForgetWrittenFile(m_fd);
        close(m_fd);
    }
    m_fd = -1;
}

bool CRecordFile::Write(std::string_view bytes) {
    if (m_fd < 0)
        return false;
    iovec parts[2] = {{m_backlog.data(), m_backlog.size()},
                      {const_cast<char*>(bytes.data()), bytes.size()}};
    const std::size_t total = m_backlog.size() + bytes.size();
    ssize_t written;
    do {
        written = writev(m_fd, parts, 2);
    } while (written < 0 && errno == EINTR);
    const std::size_t done = written > 0 ? static_cast<std::size_t>(written) : 0;
    if (done == total) {
        // A large backlog's memory goes back to the system once written.
        if (m_backlog.capacity() > (1u << 20))
            std::string().swap(m_backlog);
        m_backlog.clear();
        m_nLastError = 0;
        return true;
    }
    m_nLastError = written < 0 ? errno : ENOSPC;
    // Keep what did not go out, in order, for the next write.
    if (done >= m_backlog.size()) {
        const std::size_t fromBytes = done - m_backlog.size();
        m_backlog.assign(bytes.substr(fromBytes));
    } else {
        m_backlog.erase(0, done);
        if (m_backlog.size() + bytes.size() <= m_nMaxBacklog)
            m_backlog.append(bytes);
        else
            m_nDropped += bytes.size();
    }
    return false;
}

bool CRecordFile::Flush() {
    if (m_backlog.empty())
        return true;
    return Write({});
}

bool CRecordFile::IsRemoved() const {
    struct stat info {};
    return m_fd >= 0 && fstat(m_fd, &info) == 0 && info.st_nlink == 0;
}

bool CRecordFile::Recreate(std::string* error) {
    const std::string old = m_strPath;
    const std::size_t dot = old.rfind(".txt");
    const std::string stem = dot == std::string::npos ? old : old.substr(0, dot);
    if (OpenExclusive(old, error))
        return true;
    for (int attempt = 2; attempt < 1000; ++attempt) {
        if (OpenExclusive(stem + "-" + std::to_string(attempt) + ".txt", error))
            return true;
        if (m_nLastError != EEXIST)
            return false;
    }
    return false;
}
