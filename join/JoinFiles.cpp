#include "JoinFiles.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <utility>
#include <vector>

#ifndef O_BINARY
#define O_BINARY 0 // POSIX never translates newlines
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif

namespace {

#ifdef PATH_MAX
constexpr std::size_t kMaxPath = PATH_MAX;
#else
constexpr std::size_t kMaxPath = 260;
#endif

// strerror_r comes in a GNU and a POSIX flavour; these pick the text out of either.
[[maybe_unused]] const char* ErrorTextOf(int rc, const char* buf) {
    return rc == 0 ? buf : "unknown error";
}
[[maybe_unused]] const char* ErrorTextOf(const char* text, const char*) {
    return text;
}

std::string ErrorText(int err) {
    char buf[256] = {};
#ifdef _WIN32
    strerror_s(buf, sizeof buf, err);
    return buf;
#else
    return ErrorTextOf(strerror_r(err, buf, sizeof buf), buf);
#endif
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// The texts users know from earlier versions, for the reasons they cover.
const char* KnownOpenError(int err) {
    switch (err) {
    case EACCES:
        return "Access violation";
    case EEXIST:
        return "File already exists";
    case EINVAL:
        return "Invalid arguments";
    case EMFILE:
        return "No handles available";
    case ENOENT:
        return "File not found";
    default:
        return nullptr;
    }
}

std::string OutputOpenError(int err, const std::string& path) {
    if (const char* known = KnownOpenError(err))
        return known;
    return "The output file " + Quoted(path) + " cannot be opened: " + ErrorText(err) +
           ". Nothing was written.";
}

// Empty when the path can be handed to the system as it is.
std::string PathProblem(const std::string& path, const char* what) {
    if (path.find('\0') != std::string::npos)
        return std::string("The ") + what + " path contains a zero byte. Nothing was joined.";
    if (path.size() >= kMaxPath)
        return std::string("The ") + what + " path is too long (" + std::to_string(path.size()) +
               " bytes; the system allows " + std::to_string(kMaxPath - 1) +
               "). Nothing was joined.\n" + path.substr(0, 200) + "...";
    return {};
}

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// An open descriptor, closed on every way out.
class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd) : m_fd(fd) {}
    ~CFileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int Get() const { return m_fd; }
    // Closes it now; false, with errno set, when the system reports that the close failed,
    // which for an output can mean its last writes were lost.
    bool Close() { return ::close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

// The err of a join asked to stop by StopEndlessJoins; no errno has this value.
constexpr int kStopped = -1;

std::atomic<bool> s_bStopEndless{false};

// The read end of a pipe that becomes readable, for good, once endless joins are asked to stop,
// so a join waiting on a pipe or device wakes; -1 when none could be made.
struct CWakePipe {
    int fdRead = -1;
    int fdWrite = -1;
};
CWakePipe& WakePipe() {
    static CWakePipe wake;
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

// Waits until fd is ready for events (or has reached its end); false, with no wait at all,
// once endless joins are asked to stop.
bool WaitUntilReady(int fd, short events) {
    pollfd fds[2] = {{fd, events, 0}, {WakePipe().fdRead, POLLIN, 0}};
    // Without a wake-up pipe the stop is still seen, a moment later.
    const int timeoutMs = fds[1].fd < 0 ? 200 : -1;
    while (!s_bStopEndless.load()) {
        const int n = ::poll(fds, 2, timeoutMs);
        if (n < 0 && errno != EINTR)
            return true; // the read or write that follows reports what is wrong
        if (n > 0 && fds[0].revents != 0)
            return true;
    }
    return false;
}

// Writes all n bytes with as few writes as the system allows: one, unless it writes short.
// A full pipe or device is waited for, as long as it takes unless the join is endless and asked
// to stop (err is then kStopped).
bool WriteAll(int fd, const char* data, std::size_t n, int& err) {
    while (n > 0) {
        const ssize_t written = ::write(fd, data, n);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (WaitUntilReady(fd, POLLOUT))
                    continue;
                err = kStopped;
                return false;
            }
            err = errno;
            return false;
        }
        if (written == 0) { // no progress and no reason given
            err = EIO;
            return false;
        }
        data += written;
        n -= static_cast<std::size_t>(written);
    }
    return true;
}

// Large, so that the kernel can share a whole part's extents in one call.
constexpr std::size_t kKernelCopyRequest = std::size_t(1) << 30;

// Lets the kernel copy the rest of the input. Returns false, with err, on a failure that stops
// the join; where the kernel cannot copy between these two files it stops quietly, and the
// block loop goes on from the positions it reached.
bool CopyInKernel(int fdIn, int fdOut, std::uint64_t& copied, int& err) {
    for (;;) {
        const std::ptrdiff_t n = g_pfnJoinKernelCopy(fdIn, fdOut, kKernelCopyRequest);
        if (n > 0) {
            copied += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n == 0)
            return true;
        switch (errno) {
        case EINTR:
            continue;
        case EXDEV:
        case EINVAL:
        case ENOSYS:
        case EOPNOTSUPP:
#if defined(ENOTSUP) && ENOTSUP != EOPNOTSUPP
        case ENOTSUP:
#endif
            return true;
        default:
            err = errno;
            return false;
        }
    }
}

// A failed kernel copy does not say which side failed; these can only come from writing.
bool WriteSideError(int err) {
    switch (err) {
    case ENOSPC:
    case EFBIG:
    case EROFS:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return true;
    default:
        return false;
    }
}

std::string ReadFailed(const std::string& path, int err) {
    return "Reading the input file " + Quoted(path) + " failed: " + ErrorText(err) + ".";
}

std::string WriteFailed(int err) {
    return "Writing the output file failed: " + ErrorText(err) + ".";
}

std::string ChangedWhileJoined(const std::string& path) {
    return "The input file " + Quoted(path) + " changed while it was being joined.";
}

// Whether a regular file that gave fewer bytes than it had when it was opened has really
// changed since: files such as those under /sys report a size their contents never reach.
bool ShrankSince(int fd, const struct stat& opened) {
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return true;
    return now.st_size != opened.st_size || now.st_mtim.tv_sec != opened.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != opened.st_mtim.tv_nsec;
}

// Opens without waiting: a pipe's open would otherwise block until a writer comes, where
// nothing could end the wait. Regular files go back to blocking calls.
int OpenNonBlocking(const char* path, int flags, struct stat& st, mode_t mode = 0) {
    const int fd = OpenRetrying(path, flags | O_NONBLOCK, mode);
    if (fd < 0)
        return fd;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    if (S_ISREG(st.st_mode))
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

#ifdef __linux__
std::ptrdiff_t KernelCopy(int fdIn, int fdOut, std::size_t count) {
    return ::copy_file_range(fdIn, nullptr, fdOut, nullptr, count, 0);
}
#endif

struct FileId {
    dev_t dev;
    ino_t ino;
};

std::string AlsoAnInput(const std::string& outputPath) {
    return "The output file " + Quoted(outputPath) + " is also one of the files to join";
}

std::string CannotRead(const std::string& path, int err) {
    if (err == ENOENT || err == ENOTDIR)
        return "The input file " + Quoted(path) + " does not exist. Nothing was joined.";
    return "The input file " + Quoted(path) + " cannot be read: " + ErrorText(err) +
           ". Nothing was joined.";
}

// Empty when the input can be joined; st then holds its identity. Only a regular file is
// opened to prove it readable: opening a pipe would wake a writer waiting on it, whose data
// is then lost when the check closes it again, and opening a device can have effects of its
// own. Anything else is judged by its permissions.
std::string InputProblem(const std::string& path, struct stat& st) {
    if (::stat(path.c_str(), &st) != 0)
        return CannotRead(path, errno);
    if (S_ISDIR(st.st_mode))
        return Quoted(path) + " is a folder, not a file. Nothing was joined.";
    if (S_ISSOCK(st.st_mode))
        return CannotRead(path, ENXIO); // what opening one says
    if (!S_ISREG(st.st_mode)) {
        if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0)
            return CannotRead(path, errno);
        return {};
    }
    const CFileDescriptor fd(
        OpenRetrying(path.c_str(), O_RDONLY | O_BINARY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.IsOpen())
        return CannotRead(path, errno);
    if (::fstat(fd.Get(), &st) != 0) // the file just opened, should the name have moved
        return CannotRead(path, errno);
    if (S_ISDIR(st.st_mode))
        return Quoted(path) + " is a folder, not a file. Nothing was joined.";
    return {};
}

} // namespace

// Windows has no kernel copy into an open file; its nearest counterpart is
// FSCTL_DUPLICATE_EXTENTS_TO_FILE (block cloning on ReFS, cluster-aligned ranges only), with the
// block loop for the rest.
#ifdef __linux__
JoinKernelCopy g_pfnJoinKernelCopy = KernelCopy;
#else
JoinKernelCopy g_pfnJoinKernelCopy = nullptr;
#endif

JoinResult JoinResult::Failure(std::string message) {
    JoinResult result;
    result.m_bOk = false;
    result.m_strMessage = std::move(message);
    if (result.m_strMessage.empty())
        result.m_strMessage = "The join failed.";
    return result;
}

JoinResult CheckJoinRequest(const std::string& outputPath,
                            const std::list<std::string>& inputPaths) {
    if (std::string problem = PathProblem(outputPath, "output file"); !problem.empty())
        return JoinResult::Failure(problem);

    std::vector<FileId> inputIds;
    for (const std::string& path : inputPaths) {
        if (std::string problem = PathProblem(path, "input file"); !problem.empty())
            return JoinResult::Failure(problem);
        struct stat st {};
        if (std::string problem = InputProblem(path, st); !problem.empty())
            return JoinResult::Failure(problem);
        inputIds.push_back({st.st_dev, st.st_ino});
    }

    // Opening the output empties it, so an output that is also an input would lose its data
    // before it is read. Compare files, not names: links and relative paths reach the same.
    struct stat out {};
    if (!outputPath.empty() && ::stat(outputPath.c_str(), &out) == 0) {
        for (const FileId& id : inputIds) {
            if (id.dev == out.st_dev && id.ino == out.st_ino)
                return JoinResult::Failure(AlsoAnInput(outputPath) +
                                           ". Choose another output file; nothing was joined.");
        }
    }
    return JoinResult::Success();
}

namespace {

// How a copy stopped short: a read or a write failed, or the join was asked to stop.
enum class CopyStop { Read, Write, Stopped };

std::string CopyFailed(CopyStop how, const std::string& path, int err) {
    switch (how) {
    case CopyStop::Read:
        return ReadFailed(path, err);
    case CopyStop::Write:
        return err == kStopped ? CopyFailed(CopyStop::Stopped, path, err) : WriteFailed(err);
    case CopyStop::Stopped:
        break;
    }
    return "The join was stopped because the program was closed.";
}

// The block loop: whatever the kernel did not copy. After a whole kernel copy this is one read
// that finds the end, or finds more where the size a file reports is short of its contents
// (/proc). An input with no known end is read as it becomes ready, and the copy gives up once
// such joins are asked to stop.
bool CopyBlocks(int fdIn, int fdOut, bool endless, std::uint64_t& copied, CopyStop& how, int& err) {
    char block[kJoinBlockSize];
    for (;;) {
        if (endless && s_bStopEndless.load()) {
            how = CopyStop::Stopped;
            return false;
        }
        const ssize_t n = ::read(fdIn, block, sizeof block);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (WaitUntilReady(fdIn, POLLIN))
                    continue;
                how = CopyStop::Stopped;
                return false;
            }
            how = CopyStop::Read;
            err = errno;
            return false;
        }
        if (!WriteAll(fdOut, block, static_cast<std::size_t>(n), err)) {
            how = CopyStop::Write;
            return false;
        }
        copied += static_cast<std::uint64_t>(n);
    }
}

} // namespace

JoinResult CopyJoinInputs(const std::string& outputPath, const std::list<std::string>& inputPaths) {
    struct stat out {};
    CFileDescriptor output(OpenNonBlocking(
        outputPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_BINARY | O_CLOEXEC, out, 0666));
    if (!output.IsOpen())
        return JoinResult::Failure(OutputOpenError(errno, outputPath));
    const int fdOut = output.Get();
    const bool outputIsFile = S_ISREG(out.st_mode);

    const auto incomplete = [&](const std::string& what) {
        return JoinResult::Failure(what + " The output file " + Quoted(outputPath) +
                                   " is incomplete.");
    };

    for (const std::string& path : inputPaths) {
        struct stat in {};
        const CFileDescriptor input(
            OpenNonBlocking(path.c_str(), O_RDONLY | O_BINARY | O_CLOEXEC, in));
        if (!input.IsOpen())
            return incomplete("The input file " + Quoted(path) +
                              " could not be opened: " + ErrorText(errno) + ".");
        const int fdIn = input.Get();
        // The check before the copy went by name; the name may lead to the output by now, and
        // reading the output while appending to it would never end.
        if (in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            return incomplete(AlsoAnInput(outputPath) + " (as " + Quoted(path) + ").");
        const bool inputIsFile = S_ISREG(in.st_mode);
        // A pipe opened before its writer reads as ended: wait for the writer first.
        if (S_ISFIFO(in.st_mode) && !WaitUntilReady(fdIn, POLLIN))
            return incomplete(CopyFailed(CopyStop::Stopped, path, 0));

        std::uint64_t copied = 0;
        int err = 0;
        if (g_pfnJoinKernelCopy && inputIsFile && outputIsFile &&
            !CopyInKernel(fdIn, fdOut, copied, err))
            return incomplete(WriteSideError(err) ? WriteFailed(err) : ReadFailed(path, err));
        CopyStop how{};
        if (!CopyBlocks(fdIn, fdOut, !inputIsFile || !outputIsFile, copied, how, err))
            return incomplete(CopyFailed(how, path, err));
        // A file that grew is copied to the end it has now; one that shrank is no longer what
        // was checked, and the output holds part of it.
        if (inputIsFile && copied < static_cast<std::uint64_t>(in.st_size) && ShrankSince(fdIn, in))
            return incomplete(ChangedWhileJoined(path));
    }

    if (!output.Close()) {
        const int err = errno;
        return JoinResult::Failure("Closing the output file " + Quoted(outputPath) + " failed: " +
                                   ErrorText(err) + ". The output file is incomplete.");
    }
    return JoinResult::Success();
}

void StopEndlessJoins() {
    s_bStopEndless.store(true);
    if (const int fd = WakePipe().fdWrite; fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1); // never read: stays readable
    }
}

JoinResult JoinFiles(const std::string& outputPath, const std::list<std::string>& inputPaths) {
    JoinResult checked = CheckJoinRequest(outputPath, inputPaths);
    if (!checked.ok())
        return checked;
    return CopyJoinInputs(outputPath, inputPaths);
}
