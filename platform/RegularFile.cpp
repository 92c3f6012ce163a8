#include "platform/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RegularFile OpenRegularFile(const std::string& path) {
    RegularFile file;
    // Looked at first, so that a device is not even opened (opening a serial
    // port raises its lines); the descriptor is looked at again below in case
    // the name was replaced meanwhile.
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        file.error = errno;
        return file;
    }
    if (!S_ISREG(info.st_mode)) {
        file.notRegular = true;
        return file;
    }
    // Non-blocking, so that a FIFO put there since does not wait for a writer;
    // no controlling terminal from a terminal put there either.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        file.error = errno;
        return file;
    }
    int flags = 0;
    if (fstat(fd, &info) != 0 || (flags = fcntl(fd, F_GETFL)) < 0) {
        file.error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        file.notRegular = true;
    } else if (fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        file.error = errno;
    } else {
        file.fd = fd;
        file.size = static_cast<std::uint64_t>(info.st_size);
        return file;
    }
    close(fd);
    return file;
}
