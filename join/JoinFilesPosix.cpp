// The system calls of a join on Linux and other POSIX systems.
#include "join/JoinSystem.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/magic.h>
#include <sys/sendfile.h>
#include <sys/vfs.h>
#endif

namespace JoinSystem {

#if defined(PATH_MAX)
const std::size_t kMaxPath = PATH_MAX;
#else
const std::size_t kMaxPath = 260;
#endif
const char* const kPathUnits = "bytes";
const int kNewFileMode = 0666;

namespace {

// strerror_r comes in a GNU and a POSIX flavour; these pick the text out of either.
[[maybe_unused]] const char* ErrorTextOf(int rc, const char* buf) {
    return rc == 0 ? buf : "unknown error";
}
[[maybe_unused]] const char* ErrorTextOf(const char* text, const char*) {
    return text;
}

FileState StateOf(const struct stat& st) {
    FileState state;
    const auto time = [](const timespec& t) {
        return std::uint64_t(t.tv_sec) * 1000000000u + std::uint64_t(t.tv_nsec);
    };
    state.id = {true,
                static_cast<std::uint64_t>(st.st_dev),
                static_cast<std::uint64_t>(st.st_ino),
                static_cast<std::uint64_t>(st.st_size),
                time(st.st_mtim),
                time(st.st_ctim)};
    if (S_ISREG(st.st_mode))
        state.kind = FileKind::Regular;
    else if (S_ISDIR(st.st_mode))
        state.kind = FileKind::Folder;
    else if (S_ISFIFO(st.st_mode))
        state.kind = FileKind::Fifo;
    else if (S_ISSOCK(st.st_mode))
        state.kind = FileKind::Socket;
    return state;
}

// The read end of a pipe that becomes readable, for good, once endless joins are asked to stop,
// so a join waiting on a pipe or device wakes; -1 when none could be made.
struct WakePipe {
    int fdRead = -1;
    int fdWrite = -1;
};
WakePipe& SharedWakePipe() {
    static WakePipe wake;
    static std::once_flag made;
    std::call_once(made, [] {
        int fds[2];
        if (::pipe(fds) == 0) {
            for (int fd : fds)
                ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            wake = {fds[0], fds[1]};
        }
    });
    return wake;
}

} // namespace

std::string ErrorText(int err) {
    char buf[256] = {};
    return ErrorTextOf(strerror_r(err, buf, sizeof buf), buf);
}

std::string Shown(const JoinPath& path) {
    return path;
}

std::string DeviceNamed(const JoinPath&) {
    return {}; // names here are files in every folder
}

int OpenDescriptor(const JoinPath& path, int flags, int mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    return fd;
}

std::ptrdiff_t ReadSome(int fd, char* data, std::size_t n) {
    return ::read(fd, data, n);
}

std::ptrdiff_t WriteSome(int fd, const char* data, std::size_t n) {
    return ::write(fd, data, n);
}

int CloseFile(int fd) {
    return ::close(fd);
}

void MakeBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}

bool StateOfFd(int fd, FileState& state) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    state = StateOf(st);
    return true;
}

bool StateOfPath(const JoinPath& path, FileState& state) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    state = StateOf(st);
    return true;
}

// Only a regular file is opened to prove it readable: opening a pipe would wake a writer waiting
// on it, whose data is then lost when the check closes it again, and opening a device can have
// effects of its own. Anything else is judged by its permissions.
InputFound ExamineInput(const JoinPath& path, FileState& state, int& err) {
    if (!StateOfPath(path, state)) {
        err = errno;
        return InputFound::Unreadable;
    }
    if (state.kind == FileKind::Folder)
        return InputFound::Folder;
    if (state.kind == FileKind::Socket) {
        err = ENXIO; // what opening one says
        return InputFound::Unreadable;
    }
    if (state.kind != FileKind::Regular) {
        if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) {
            err = errno;
            return InputFound::Unreadable;
        }
        return InputFound::Readable;
    }
    const FileDescriptor fd(OpenDescriptor(path, O_RDONLY | O_BINARY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.IsOpen()) {
        err = errno;
        return InputFound::Unreadable;
    }
    if (!StateOfFd(fd.Get(), state)) { // the file just opened, should the name have moved
        err = errno;
        return InputFound::Unreadable;
    }
    if (state.kind == FileKind::Folder)
        return InputFound::Folder;
    return InputFound::Readable;
}

#ifdef __linux__
// Files under /proc, /sys and their kind report sizes their contents do not reach (4096 for
// most of /sys), so they end early by design.
bool SizeMayBeUnreal(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (fs.f_type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
        return true;
    default:
        return false;
    }
}
#else
bool SizeMayBeUnreal(int) {
    return false;
}
#endif

// No wait at all once stop is set.
bool WaitUntilReady(int fd, Ready ready, const std::atomic<bool>& stop) {
    const short events = ready == Ready::ToRead ? POLLIN : POLLOUT;
    pollfd fds[2] = {{fd, events, 0}, {SharedWakePipe().fdRead, POLLIN, 0}};
    // Without a wake-up pipe the stop is still seen, a moment later.
    const int timeoutMs = fds[1].fd < 0 ? 200 : -1;
    while (!stop.load()) {
        const int n = ::poll(fds, 2, timeoutMs);
        if (n < 0 && errno != EINTR)
            return true; // the read or write that follows reports what is wrong
        if (n > 0 && fds[0].revents != 0)
            return true;
    }
    return false;
}

void WakeWaitingJoins() {
    if (const int fd = SharedWakePipe().fdWrite; fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1); // never read: stays readable
    }
}

} // namespace JoinSystem

#ifdef __linux__
namespace {

std::ptrdiff_t CopyFileRange(int fdIn, int fdOut, std::size_t count) {
    return ::copy_file_range(fdIn, nullptr, fdOut, nullptr, count, 0);
}

std::ptrdiff_t SendFile(int fdIn, int fdOut, std::size_t count) {
    return ::sendfile(fdOut, fdIn, nullptr, count);
}

} // namespace

JoinKernelCopies JoinSystem::KernelCopies() {
    return {CopyFileRange, SendFile};
}
#else
JoinKernelCopies JoinSystem::KernelCopies() {
    return {nullptr, nullptr};
}
#endif
