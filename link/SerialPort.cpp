#include "link/SerialPort.h"

#include "platform/ErrorText.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool BaudToSpeed(unsigned baud, speed_t* speed) {
    static constexpr struct {
        unsigned baud;
        speed_t speed;
    } table[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},    {9600, B9600},
                 {19200, B19200},   {38400, B38400},   {57600, B57600},  {115200, B115200},
                 {230400, B230400}, {460800, B460800}, {921600, B921600}};
    for (const auto& row : table) {
        if (row.baud == baud) {
            *speed = row.speed;
            return true;
        }
    }
    return false;
}

void DrainEventFd(int fd) {
    std::uint64_t value;
    while (read(fd, &value, sizeof value) > 0) {
    }
}

void SignalEventFd(int fd) {
    const std::uint64_t one = 1;
    while (write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool IsHangupError(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

// Takes exclusive use of an open tty: TIOCEXCL keeps other opens out (except
// for privileged ones), the flock keeps out everyone who also asks for it.
bool TakeExclusive(int fd, int* error) {
    if (!isatty(fd)) {
        *error = ENOTTY;
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *error = errno == EWOULDBLOCK ? EBUSY : errno;
        return false;
    }
    ioctl(fd, TIOCEXCL);
    return true;
}

void ReleaseAndClose(int fd) {
    // Clear the exclusive flag: it belongs to the tty, not the descriptor, and
    // would otherwise keep a still-open pseudo-terminal locked after we leave.
    ioctl(fd, TIOCNXCL);
    close(fd);
}

} // namespace

CSerialPort::~CSerialPort() {
    StopWatching();
    CloseDevice();
    if (m_fdShutdown >= 0)
        close(m_fdShutdown);
    if (m_fdWrite >= 0)
        close(m_fdWrite);
}

std::string CSerialPort::ComposeError(const char* call, int error, unsigned port) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "WARNING:  %s Failed with the following error: \n%s\nPort: %d\n", call,
                  SystemErrorText(error).c_str(), static_cast<int>(port));
    return text;
}

void CSerialPort::ReportError(const char* call, int error) {
    const std::string text = ComposeError(call, error, m_nPort);
    if (m_pOwner)
        m_pOwner->PostPortError(text);
    else
        std::fputs(text.c_str(), stderr);
}

bool CSerialPort::CanOpenExclusive(const std::string& device, int* error) {
    int dummy = 0;
    int& err = error ? *error : dummy;
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return false;
    }
    // Probing must not take the flag away from a holder, so only flock here.
    const bool ok = isatty(fd) && flock(fd, LOCK_EX | LOCK_NB) == 0;
    err = ok ? 0 : (isatty(fd) ? EBUSY : ENOTTY);
    close(fd);
    return ok;
}

bool CSerialPort::Open(IPortOwner* owner, unsigned port, const std::string& device, unsigned baud,
                       char parity, int dataBits, int stopBits, PortEvents events,
                       unsigned writeBufferSize) {
    StopWatching();
    if (m_fdShutdown < 0)
        m_fdShutdown = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    else
        DrainEventFd(m_fdShutdown);
    if (m_fdWrite < 0)
        m_fdWrite = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    else
        DrainEventFd(m_fdWrite);

    m_pOwner = owner;
    m_nPort = port;
    m_strDevice = device;
    m_events = events;
    {
        std::lock_guard<std::mutex> guard(m_writeLock);
        m_writeBuffer.assign(writeBufferSize, 0);
        m_nWriteLength = 0;
    }

    std::lock_guard<std::mutex> guard(m_lock);
    if (m_fdPort >= 0) {
        ReleaseAndClose(m_fdPort);
        m_fdPort = -1;
    }
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_nOpenError = errno;
        return false;
    }
    if (!TakeExclusive(fd, &m_nOpenError)) {
        close(fd);
        return false;
    }
    m_nOpenError = 0;
    m_fdPort = fd;

    // Configuration failures are reported; the port stays open as it was.
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        ReportError("GetCommState()");
        return true;
    }
    speed_t speed{};
    if (!BaudToSpeed(baud, &speed) || dataBits < 5 || dataBits > 8 ||
        (parity != 'N' && parity != 'E' && parity != 'O') || (stopBits != 1 && stopBits != 2)) {
        ReportError("BuildCommDCB()", EINVAL);
        return true;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= sizes[dataBits - 5];
    if (parity != 'N')
        tio.c_cflag |= PARENB | (parity == 'O' ? PARODD : 0);
    if (stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // VMIN 1: with no data a non-blocking read says EAGAIN, so a read of 0
    // bytes can only mean the line hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        ReportError("SetCommState()");
        return true;
    }
    // RTS on, as the instrument expects; pseudo-terminals have no modem lines.
    int rts = TIOCM_RTS;
    ioctl(fd, TIOCMBIS, &rts);
    return true;
}

bool CSerialPort::StartWatching() {
    if (m_fdPort < 0 || m_thread.joinable())
        return false;
    m_bStopRequested = false;
    m_bThreadRunning = true;
    m_thread = std::thread([this] { WatchLoop(); });
    return true;
}

void CSerialPort::StopWatching() {
    if (!m_thread.joinable())
        return;
    m_bStopRequested = true;
    SignalEventFd(m_fdShutdown);
    m_thread.join();
    DrainEventFd(m_fdShutdown);
}

void CSerialPort::CloseDevice() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_fdPort >= 0) {
        ReleaseAndClose(m_fdPort);
        m_fdPort = -1;
    }
}

void CSerialPort::Post(PortEvent event, std::size_t bytes) {
    if (m_pOwner)
        m_pOwner->PostPortEvent(event, m_nPort, bytes);
}

void CSerialPort::WatchLoop() {
    bool vanished = false;
    while (!m_bStopRequested && !vanished) {
        // A full ring leaves the port unread: the kernel holds the bytes until
        // the owner has taken its share. Nothing is ever dropped here.
        const bool full = m_ring.ContiguousFree() == 0;
        pollfd fds[3] = {
            {m_fdShutdown, POLLIN, 0}, {full ? -1 : m_fdPort, POLLIN, 0}, {m_fdWrite, POLLIN, 0}};
        if (poll(fds, 3, full ? kFullRingPollMs : -1) < 0) {
            if (errno == EINTR)
                continue;
            ReportError("WaitCommEvent()");
            break;
        }
        if (fds[0].revents)
            break;
        if (fds[1].revents) {
            for (PortEvent event : {PortEvent::Cts, PortEvent::Flag, PortEvent::Break,
                                    PortEvent::Error, PortEvent::Ring}) {
                if (m_events.Has(event))
                    Post(event);
            }
            // Read whatever was asked for: an unread descriptor stays readable
            // and the thread would spin on it.
            vanished = !ReceiveRoutine();
            if (!vanished && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) &&
                !(fds[1].revents & POLLIN))
                vanished = true;
        }
        if (!vanished && fds[2].revents)
            WriteRoutine();
    }
    if (vanished)
        CloseDevice();
    // Cleared before the report goes out: the owner tells a current report
    // from a stale one by it.
    m_bThreadRunning = false;
    if (vanished)
        Post(PortEvent::Vanished);
}

bool CSerialPort::ReceiveRoutine() {
    while (!m_bStopRequested) {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_fdPort < 0)
            return false;
        const std::uint32_t room = m_ring.ContiguousFree();
        if (room == 0)
            return true; // the loop waits for the owner to take
        const ssize_t got = read(m_fdPort, m_ring.WritePointer(), room);
        if (got > 0) {
            m_ring.Commit(static_cast<std::uint32_t>(got));
            Post(PortEvent::Received, static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0)
            return false; // a hung-up tty reads as end of file, forever
        if (errno == EAGAIN || errno == EINTR)
            return true;
        if (IsHangupError(errno))
            return false;
        ReportError("ReadFile()");
        return true;
    }
    return true;
}

void CSerialPort::WriteRoutine() {
    DrainEventFd(m_fdWrite);
    std::vector<std::uint8_t> pending;
    {
        std::lock_guard<std::mutex> guard(m_writeLock);
        pending.assign(m_writeBuffer.begin(), m_writeBuffer.begin() + m_nWriteLength);
        m_nWriteLength = 0;
    }
    if (pending.empty())
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_fdPort < 0)
        return;
    // Output still queued from an earlier command is discarded; received input
    // is left alone, it belongs to the record.
    tcflush(m_fdPort, TCOFLUSH);
    std::size_t sent = 0;
    while (sent < pending.size()) {
        const ssize_t n = write(m_fdPort, pending.data() + sent, pending.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd out{m_fdPort, POLLOUT, 0};
            if (poll(&out, 1, 1000) > 0)
                continue;
            ReportError("WriteFile()", ETIMEDOUT);
            return;
        }
        ReportError("WriteFile()");
        return;
    }
}

void CSerialPort::SendBytes(const std::uint8_t* bytes, unsigned count) {
    {
        std::lock_guard<std::mutex> guard(m_writeLock);
        if (count > m_writeBuffer.size())
            count = static_cast<unsigned>(m_writeBuffer.size());
        std::memcpy(m_writeBuffer.data(), bytes, count);
        m_nWriteLength = count;
    }
    if (m_fdWrite >= 0)
        SignalEventFd(m_fdWrite);
}

void CSerialPort::SetBaudRate(unsigned baud) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_fdPort < 0)
        return;
    termios tio{};
    if (tcgetattr(m_fdPort, &tio) != 0) {
        ReportError("GetCommState()");
        return;
    }
    speed_t speed{};
    if (!BaudToSpeed(baud, &speed)) {
        ReportError("SetCommState()", EINVAL);
        return;
    }
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(m_fdPort, TCSANOW, &tio) != 0)
        ReportError("SetCommState()");
}
