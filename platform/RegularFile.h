// Opening a file that is to be read whole: only a regular file is opened. A
// FIFO (whose open would wait for a writer), a device (/dev/zero never ends)
// or a directory is refused at once. Plain C++, no Qt.
#pragma once

#include <cstdint>
#include <string>

struct RegularFile {
    int fd = -1;             // open for reading (blocking); the caller closes it
    int error = 0;           // errno when it could not be opened or examined
    bool notRegular = false; // it is there, but not a regular file
    std::uint64_t size = 0;  // its length in bytes when opened
};

// fd >= 0 on success; otherwise either notRegular or error says why.
RegularFile OpenRegularFile(const std::string& path);
