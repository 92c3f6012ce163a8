#include "platform/ReplacingFile.h"
#include "platform/UiText.h"

#include "platform/ErrorText.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

CReplacingFile::~CReplacingFile() {
    if (m_fd >= 0) {
        close(m_fd);
        unlink(m_strTemp.c_str());
    }
}

bool CReplacingFile::Fail(int error) {
    m_nError = error;
    if (m_fd >= 0) {
        close(m_fd);
        unlink(m_strTemp.c_str());
        m_fd = -1;
    }
    return false;
}

bool CReplacingFile::Open(const std::string& path) {
    static std::atomic<unsigned> s_nSerial{0};
    m_strPath = path;
    m_nError = 0;
    m_nWritten = m_nFlushing = 0;
    // Beside the target, so the rename stays on one file system; hidden, so
    // a folder listing does not show it while it is written. Created with the
    // usual permissions (0666 less the umask), as the target would be.
    const std::size_t slash = path.rfind('/');
    const std::size_t cut = slash == std::string::npos ? 0 : slash + 1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_strTemp = path.substr(0, cut) + "." + path.substr(cut) + "." + std::to_string(getpid()) +
                    "-" + std::to_string(s_nSerial++) + ".tmp";
        m_fd = open(m_strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            return true;
        if (errno != EEXIST)
            return Fail(errno);
    }
    return Fail(EEXIST);
}

bool CReplacingFile::Write(std::string_view bytes) {
    if (m_fd < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t written = write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Fail(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        m_nWritten += static_cast<std::uint64_t>(written);
    }
    // The disk starts on what is written while the rest is made, so that the
    // flush before the rename has little left to wait for.
    if (m_nWritten - m_nFlushing >= kFlushStep) {
        sync_file_range(m_fd, static_cast<off_t>(m_nFlushing),
                        static_cast<off_t>(m_nWritten - m_nFlushing), SYNC_FILE_RANGE_WRITE);
        m_nFlushing = m_nWritten;
    }
    return true;
}

bool CReplacingFile::Commit() {
    if (m_fd < 0)
        return false;
    // On the disk before it takes the target's name: after a power cut the
    // name holds the old file or the whole new one.
    if (fsync(m_fd) != 0)
        return Fail(errno);
    if (close(m_fd) != 0) {
        m_fd = -1;
        const int error = errno;
        unlink(m_strTemp.c_str());
        return Fail(error);
    }
    m_fd = -1;
    if (rename(m_strTemp.c_str(), m_strPath.c_str()) != 0) {
        const int error = errno;
        unlink(m_strTemp.c_str());
        return Fail(error);
    }
    return true;
}

std::string CReplacingFile::ErrorText() const {
    return FillIn(UiText("ReplacingFile", "无法写入文件：%1\n%2"),
                  {m_strPath, SystemErrorText(m_nError)});
}

std::string ReplaceFile(const std::string& path, std::string_view bytes) {
    CReplacingFile file;
    if (file.Open(path) && file.Write(bytes) && file.Commit())
        return {};
    return file.ErrorText();
}
