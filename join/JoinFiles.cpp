#include "join/JoinFiles.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <sys/stat.h>
#include <sys/types.h>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <linux/magic.h>
#include <sys/sendfile.h>
#include <sys/vfs.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0 // POSIX never translates newlines
#endif
#ifndef O_CLOEXEC
#ifdef _WIN32
#define O_CLOEXEC _O_NOINHERIT
#else
#define O_CLOEXEC 0
#endif
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif

namespace {

#if defined(_WIN32)
// The long-path form reaches this many UTF-16 units.
constexpr std::size_t kMaxPath = 32767;
constexpr const char* kPathUnits = "characters";
#elif defined(PATH_MAX)
constexpr std::size_t kMaxPath = PATH_MAX;
constexpr const char* kPathUnits = "bytes";
#else
constexpr std::size_t kMaxPath = 260;
constexpr const char* kPathUnits = "bytes";
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

// A path as a message shows it: its bytes on Linux, UTF-8 on Windows.
#ifdef _WIN32
std::string Shown(const JoinPath& path) {
    if (path.empty())
        return {};
    const int size = static_cast<int>(path.size());
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, path.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, path.data(), size, text.data(), n, nullptr, nullptr);
    return text;
}
#else
const std::string& Shown(const JoinPath& path) {
    return path;
}
#endif

std::string Quoted(const JoinPath& path) {
    return "\"" + Shown(path) + "\"";
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

std::string OutputOpenError(int err, const JoinPath& path) {
    if (const char* known = KnownOpenError(err))
        return known;
    return "The output file " + Quoted(path) + " cannot be opened: " + ErrorText(err) +
           ". Nothing was written.";
}

std::string DeviceNamed(const JoinPath& path);

// Empty when the path can be handed to the system as it is.
std::string PathProblem(const JoinPath& path, const char* what) {
    if (path.find(JoinPath::value_type(0)) != JoinPath::npos)
        return std::string("The ") + what + " path contains a zero byte. Nothing was joined.";
    if (path.size() >= kMaxPath)
        return std::string("The ") + what + " path is too long (" + std::to_string(path.size()) +
               " " + kPathUnits + "; the system allows " + std::to_string(kMaxPath - 1) +
               "). Nothing was joined.\n" + Shown(path.substr(0, 200)) + "...";
    // Bytes written to it would go to the device (a serial port, or nowhere), read from it
    // would wait on it.
    if (const std::string device = DeviceNamed(path); !device.empty())
        return std::string("The ") + what + " " + Quoted(path) + " has the name of a device (" +
               device + ") on Windows, which would be used instead of a file. Choose another " +
               "name. Nothing was joined.";
    return {};
}

// What the join needs to know of an open file or a path.
enum class FileKind { Regular, Folder, Fifo, Socket, Other };
struct FileId {
    bool bKnown = false; // pipes and devices on Windows have none
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    // The size and two times (creation and last write on Windows, modification and status
    // change here): a file with the same index on another volume is the same file when these
    // agree too. Wine gives every drive letter a serial of its own, so one file reached by two
    // letters differs in the serial alone; taking two files for one where all of these agree is
    // the lesser harm.
    std::uint64_t size = 0;
    std::uint64_t time1 = 0;
    std::uint64_t time2 = 0;
    bool SameAs(const FileId& other) const {
        return bKnown && other.bKnown && index == other.index &&
               (volume == other.volume ||
                (size == other.size && time1 == other.time1 && time2 == other.time2));
    }
};
struct FileState {
    FileId id;
    FileKind kind = FileKind::Other;
    // The size and the identity's two times agree: nothing wrote to the file in between. The
    // status change (POSIX ctime) also moves when a file is cut and its size and modification
    // time are then set back.
    bool SameContentsAs(const FileState& other) const {
        return id.size == other.id.size && id.time1 == other.id.time1 && id.time2 == other.id.time2;
    }
};

#ifdef _WIN32
constexpr int kNewFileMode = _S_IREAD | _S_IWRITE;

// Whether the system's clean-up of a path would change which file it names beyond dots and
// spaces at the ends of names: a "." or ".." in it, or two separators in a row.
bool NeedsCleaning(const std::wstring& path) {
    for (std::size_t start = path.starts_with(L"\\\\") ? 2 : 0; start < path.size();) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        const std::wstring_view name = std::wstring_view(path).substr(start, end - start);
        if (name.empty() || name == L"." || name == L"..")
            return true;
        start = end + 1;
    }
    return false;
}

// The device a file name stands for on Windows (CON, NUL, COM1, ...), which the system opens in
// every folder and, before Windows 11, with any extension too; empty for other names. Names in
// the device namespace (\\.\COM1) are named as devices on purpose and not judged here.
std::string DeviceNamed(const JoinPath& path) {
    if (path.starts_with(L"\\\\.\\"))
        return {};
    std::wstring name = path.substr(path.find_last_of(L"\\/:") + 1);
    name = name.substr(0, name.find(L'.'));
    name.erase(name.find_last_not_of(L' ') + 1);
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(::towupper(c));
    static const std::wstring kDevices[] = {L"CON",       L"PRN",       L"AUX",       L"NUL",
                                            L"CONIN$",    L"CONOUT$",   L"COM\u00b9", L"COM\u00b2",
                                            L"COM\u00b3", L"LPT\u00b9", L"LPT\u00b2", L"LPT\u00b3"};
    const bool numbered = name.size() == 4 &&
                          (name.starts_with(L"COM") || name.starts_with(L"LPT")) &&
                          name[3] >= L'1' && name[3] <= L'9';
    if (!numbered &&
        std::find(std::begin(kDevices), std::end(kDevices), name) == std::end(kDevices))
        return {};
    return Shown(name);
}

// The form a path reaches the system in. An absolute path goes in the long-path form, which the
// system takes exactly as given: its clean-up would drop a trailing dot or space, and so open
// "data" for "data.". A relative one, or one with "." or "..", is left to that clean-up, and made
// absolute by it first when it is 260 characters or more, which only the long-path form reaches.
std::wstring SystemForm(const JoinPath& path) {
    const auto isPrefixed = [](const std::wstring& p) {
        return p.starts_with(L"\\\\?\\") || p.starts_with(L"\\\\.\\");
    };
    if (isPrefixed(path))
        return path;
    std::wstring native = path;
    std::replace(native.begin(), native.end(), L'/', L'\\');
    const bool onDrive = native.size() >= 3 && native[1] == L':' && native[2] == L'\\';
    const bool onShare = native.starts_with(L"\\\\");
    if ((onDrive || onShare) && !NeedsCleaning(native))
        return onShare ? L"\\\\?\\UNC\\" + native.substr(2) : L"\\\\?\\" + native;
    if (path.size() < MAX_PATH)
        return path;
    DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    if (n == 0 || n >= full.size())
        return path;
    full.resize(n);
    if (isPrefixed(full))
        return full;
    if (full.starts_with(L"\\\\")) // a share: \\server\share\...
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

int OpenRetrying(const JoinPath& path, int flags, int mode = 0) {
    return ::_wopen(SystemForm(path).c_str(), flags, mode);
}

std::ptrdiff_t ReadSome(int fd, char* data, std::size_t n) {
    return ::_read(fd, data, static_cast<unsigned>(n));
}

int CloseFile(int fd) {
    return ::_close(fd);
}

// errno for what the system reported last; EIO where it has none.
int ErrnoOfLastError() {
    switch (::GetLastError()) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
        return EPIPE;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILE_TOO_LARGE:
        return EFBIG;
    default:
        return EIO;
    }
}

// Straight to the system: the runtime's _write drops the count of a write that a full disk cut
// short and says EINVAL (Wine's), where WriteFile gives the count and the next write the reason.
std::ptrdiff_t WriteSome(int fd, const char* data, std::size_t n) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    DWORD written = 0;
    const auto count = static_cast<DWORD>(std::min<std::size_t>(n, std::size_t(1) << 30));
    if (!::WriteFile(handle, data, count, &written, nullptr)) {
        errno = ErrnoOfLastError();
        return -1;
    }
    return written;
}

// Identity is the volume's serial number and the file's index on it: the same through hard
// links, other spellings and shares of a local folder.
bool StateOfHandle(HANDLE handle, FileState& state) {
    state = {};
    switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK:
        break;
    case FILE_TYPE_PIPE:
        state.kind = FileKind::Fifo;
        return true;
    case FILE_TYPE_CHAR:
        return true;
    default:
        if (::GetLastError() != NO_ERROR) {
            errno = ErrnoOfLastError();
            return false;
        }
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        errno = ErrnoOfLastError();
        return false;
    }
    const auto time = [](const FILETIME& t) {
        return (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    state.id = {true,
                info.dwVolumeSerialNumber,
                (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                time(info.ftCreationTime),
                time(info.ftLastWriteTime)};
    state.kind =
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Folder : FileKind::Regular;
    return true;
}

bool StateOfFd(int fd, FileState& state) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    return StateOfHandle(handle, state);
}

// Opens the path only to ask for its identity (no read or write access), so any file counts.
bool StateOfPath(const JoinPath& path, FileState& state) {
    const HANDLE handle = ::CreateFileW(
        SystemForm(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ErrnoOfLastError();
        return false;
    }
    const bool ok = StateOfHandle(handle, state);
    ::CloseHandle(handle);
    return ok;
}
#else
constexpr int kNewFileMode = 0666;

std::string DeviceNamed(const JoinPath&) {
    return {}; // names here are files in every folder
}

int OpenRetrying(const JoinPath& path, int flags, int mode = 0) {
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
#endif

// An open descriptor, closed on every way out.
class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd) : m_fd(fd) {}
    ~CFileDescriptor() {
        if (m_fd >= 0)
            CloseFile(m_fd);
    }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int Get() const { return m_fd; }
    // Closes it now; false, with errno set, when the system reports that the close failed,
    // which for an output can mean its last writes were lost.
    bool Close() { return CloseFile(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

// The outputs being written, so that JoinActivity can see them grow.
std::mutex s_outputsMutex;
std::vector<int> s_outputs;
std::uint64_t s_nOutputsSeen = 0; // under s_outputsMutex

// Holds an output in JoinActivity's sight until Forget, which must come before it is closed.
class CWatchedOutput {
public:
    explicit CWatchedOutput(int fd) : m_fd(fd) {
        const std::lock_guard lock(s_outputsMutex);
        s_outputs.push_back(fd);
        ++s_nOutputsSeen;
    }
    ~CWatchedOutput() { Forget(); }
    CWatchedOutput(const CWatchedOutput&) = delete;
    CWatchedOutput& operator=(const CWatchedOutput&) = delete;

    void Forget() {
        const std::lock_guard lock(s_outputsMutex);
        if (const auto it = std::find(s_outputs.begin(), s_outputs.end(), m_fd);
            it != s_outputs.end()) {
            s_outputs.erase(it);
            ++s_nOutputsSeen;
        }
    }

private:
    int m_fd;
};

// Past a file size limit the system sends SIGXFSZ, which ends the process unless ignored; the
// write then fails with EFBIG and the join says so.
void IgnoreFileSizeSignal() {
#ifdef SIGXFSZ
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
#endif
}

// The err of a join asked to stop by StopEndlessJoins; no errno has this value.
constexpr int kStopped = -1;

std::atomic<bool> s_bStopEndless{false};

enum class Ready { ToRead, ToWrite };

#ifdef _WIN32
// Descriptors here never refuse to wait, so this is not reached in practice; it only lets the
// caller retry until endless joins are asked to stop.
bool WaitUntilReady(int, Ready) {
    ::Sleep(10);
    return !s_bStopEndless.load();
}

void WakeWaitingJoins() {}
#else
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

// Waits until fd is ready (or has reached its end); false, with no wait at all, once endless
// joins are asked to stop.
bool WaitUntilReady(int fd, Ready ready) {
    const short events = ready == Ready::ToRead ? POLLIN : POLLOUT;
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

void WakeWaitingJoins() {
    if (const int fd = WakePipe().fdWrite; fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1); // never read: stays readable
    }
}
#endif

// After a read or write that failed: whether to try it again (interrupted, or a pipe or device
// that is ready now). stopped says the join was asked to stop while it waited; otherwise errno
// still tells why the call failed.
bool TryAgain(int fd, Ready ready, bool& stopped) {
    if (errno == EINTR)
        return true;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
        return false;
    stopped = !WaitUntilReady(fd, ready);
    return !stopped;
}

// Writes all n bytes with as few writes as the system allows: one, unless it writes short.
// A full pipe or device is waited for, as long as it takes unless the join is endless and asked
// to stop (err is then kStopped).
bool WriteAll(int fd, const char* data, std::size_t n, int& err) {
    while (n > 0) {
        const std::ptrdiff_t written = WriteSome(fd, data, n);
        if (written < 0) {
            bool stopped = false;
            if (TryAgain(fd, Ready::ToWrite, stopped))
                continue;
            err = stopped ? kStopped : errno;
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

// Large, so that the kernel can share a whole part's extents in one call (sendfile takes at most
// 2 GiB less a page per call).
constexpr std::size_t kKernelCopyRequest = std::size_t(1) << 30;

// Lets the kernel copy the rest of the input with copy. Returns false, with err, on a failure
// that stops the join; where the kernel cannot copy between these two files this way it stops
// quietly, and the next way goes on from the positions it reached.
bool CopyInKernel(JoinKernelCopy copy, int fdIn, int fdOut, std::uint64_t& copied, int& err) {
    for (;;) {
        const std::ptrdiff_t n = copy(fdIn, fdOut, kKernelCopyRequest);
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

std::string ReadFailed(const JoinPath& path, int err) {
    return "Reading the input file " + Quoted(path) + " failed: " + ErrorText(err) + ".";
}

std::string WriteFailed(int err) {
    return "Writing the output file failed: " + ErrorText(err) + ".";
}

std::string ChangedWhileJoined(const JoinPath& path) {
    return "The input file " + Quoted(path) + " changed while it was being joined.";
}

bool SizeMayBeUnreal(int fd);

// Why a regular file gave fewer bytes than its size when it was opened; empty where that is how
// its file system works. A file that changed since is no longer what was checked; one that did
// not had its read ended early (a network or user-space file system), and the rest of it is
// missing from the output either way.
std::string ShortInputProblem(int fd, const FileState& opened, const JoinPath& path,
                              std::uint64_t copied) {
    FileState now;
    if (!StateOfFd(fd, now) || !now.SameContentsAs(opened))
        return ChangedWhileJoined(path);
    if (SizeMayBeUnreal(fd))
        return {};
    return "Reading the input file " + Quoted(path) + " failed: it ended after " +
           std::to_string(copied) + " of its " + std::to_string(opened.id.size) + " bytes.";
}

// Opens without waiting: a pipe's open would otherwise block until a writer comes, where
// nothing could end the wait. Regular files go back to blocking calls.
int OpenNonBlocking(const JoinPath& path, int flags, FileState& state, int mode = 0) {
    const int fd = OpenRetrying(path, flags | O_NONBLOCK, mode);
    if (fd < 0)
        return fd;
    if (!StateOfFd(fd, state)) {
        const int err = errno;
        CloseFile(fd);
        errno = err;
        return -1;
    }
#ifndef _WIN32
    if (state.kind == FileKind::Regular)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
    return fd;
}

#ifdef __linux__
std::ptrdiff_t CopyFileRange(int fdIn, int fdOut, std::size_t count) {
    return ::copy_file_range(fdIn, nullptr, fdOut, nullptr, count, 0);
}

std::ptrdiff_t SendFile(int fdIn, int fdOut, std::size_t count) {
    return ::sendfile(fdOut, fdIn, nullptr, count);
}

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

std::string AlsoAnInput(const JoinPath& outputPath) {
    return "The output file " + Quoted(outputPath) + " is also one of the files to join";
}

std::string CannotRead(const JoinPath& path, int err) {
    if (err == ENOENT || err == ENOTDIR)
        return "The input file " + Quoted(path) + " does not exist. Nothing was joined.";
    return "The input file " + Quoted(path) + " cannot be read: " + ErrorText(err) +
           ". Nothing was joined.";
}

#ifdef _WIN32
// Empty when the input can be joined; state then holds its identity. Names in the device
// namespace (\\.\pipe\..., \\.\COM1) are not opened for the check: opening a pipe takes the
// connection its writer waits to hand to the join.
std::string InputProblem(const JoinPath& path, FileState& state) {
    if (path.starts_with(L"\\\\.\\")) {
        state = {};
        return {};
    }
    const CFileDescriptor fd(OpenRetrying(path, O_RDONLY | O_BINARY | O_CLOEXEC));
    if (!fd.IsOpen()) {
        const int err = errno;
        // The C runtime refuses folders as access violations.
        const DWORD attributes = ::GetFileAttributesW(SystemForm(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Quoted(path) + " is a folder, not a file. Nothing was joined.";
        return CannotRead(path, err);
    }
    if (!StateOfFd(fd.Get(), state))
        return CannotRead(path, errno);
    if (state.kind == FileKind::Folder)
        return Quoted(path) + " is a folder, not a file. Nothing was joined.";
    return {};
}
#else
// Empty when the input can be joined; state then holds its identity. Only a regular file is
// opened to prove it readable: opening a pipe would wake a writer waiting on it, whose data
// is then lost when the check closes it again, and opening a device can have effects of its
// own. Anything else is judged by its permissions.
std::string InputProblem(const JoinPath& path, FileState& state) {
    if (!StateOfPath(path, state))
        return CannotRead(path, errno);
    if (state.kind == FileKind::Folder)
        return Quoted(path) + " is a folder, not a file. Nothing was joined.";
    if (state.kind == FileKind::Socket)
        return CannotRead(path, ENXIO); // what opening one says
    if (state.kind != FileKind::Regular) {
        if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0)
            return CannotRead(path, errno);
        return {};
    }
    const CFileDescriptor fd(OpenRetrying(path, O_RDONLY | O_BINARY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.IsOpen())
        return CannotRead(path, errno);
    if (!StateOfFd(fd.Get(), state)) // the file just opened, should the name have moved
        return CannotRead(path, errno);
    if (state.kind == FileKind::Folder)
        return Quoted(path) + " is a folder, not a file. Nothing was joined.";
    return {};
}
#endif

} // namespace

// Windows has no kernel copy between descriptors. ReFS's block cloning
// (FSCTL_DUPLICATE_EXTENTS_TO_FILE) would be the counterpart, but it cannot be tried where this
// is built and tested, so it is left out: every input goes through the block loop there.
#ifdef __linux__
JoinKernelCopies g_joinKernelCopies = {CopyFileRange, SendFile};
#else
JoinKernelCopies g_joinKernelCopies = {nullptr, nullptr};
#endif

bool g_bJoinComparesFiles = true;

JoinResult JoinResult::Failure(std::string message) {
    JoinResult result;
    result.m_bOk = false;
    result.m_strMessage = std::move(message);
    if (result.m_strMessage.empty())
        result.m_strMessage = "The join failed.";
    return result;
}

JoinResult CheckJoinRequest(const JoinPath& outputPath, const std::list<JoinPath>& inputPaths) {
    if (std::string problem = PathProblem(outputPath, "output file"); !problem.empty())
        return JoinResult::Failure(problem);

    std::vector<FileId> inputIds;
    for (const JoinPath& path : inputPaths) {
        if (std::string problem = PathProblem(path, "input file"); !problem.empty())
            return JoinResult::Failure(problem);
        FileState state;
        if (std::string problem = InputProblem(path, state); !problem.empty())
            return JoinResult::Failure(problem);
        inputIds.push_back(state.id);
    }

    // Opening the output empties it, so an output that is also an input would lose its data
    // before it is read. Compare files, not names: links and relative paths reach the same.
    FileState out;
    if (!outputPath.empty() && StateOfPath(outputPath, out)) {
        for (const FileId& id : inputIds) {
            if (g_bJoinComparesFiles && id.SameAs(out.id))
                return JoinResult::Failure(AlsoAnInput(outputPath) +
                                           ". Choose another output file; nothing was joined.");
        }
    }
    return JoinResult::Success();
}

namespace {

// How a copy stopped short: a read or a write failed, the join was asked to stop, or it was
// reading back what it wrote.
enum class CopyStop { Read, Write, Stopped, ReadBack };

std::string CopyFailed(CopyStop how, const JoinPath& path, int err) {
    switch (how) {
    case CopyStop::Read:
        return ReadFailed(path, err);
    case CopyStop::Write:
        return err == kStopped ? CopyFailed(CopyStop::Stopped, path, err) : WriteFailed(err);
    case CopyStop::Stopped:
    case CopyStop::ReadBack: // said by the caller, which knows the output
        break;
    }
    return "The join was stopped because the program was closed.";
}

// The block loop: whatever the kernel did not copy. After a whole kernel copy this is one read
// that finds the end, or finds more where the size a file reports is short of its contents
// (/proc). An input with no known end is read as it becomes ready, and the copy gives up once
// such joins are asked to stop.
//
// readBackFrom is where a regular input that is copied into a regular output passes its size at
// open; past it, the loop watches for the input growing in step with the output, block after
// block: that input is the output itself, reached by a road the identity checks missed, and the
// copy would never end.
bool CopyBlocks(int fdIn, int fdOut, std::span<char> block, bool endless,
                std::uint64_t readBackFrom, std::uint64_t& copied, CopyStop& how, int& err) {
    constexpr int kBlocksInStep = 8; // a file that merely grows will not keep step that long
    int blocksInStep = 0;
    for (;;) {
        if (endless && s_bStopEndless.load()) {
            how = CopyStop::Stopped;
            return false;
        }
        const std::ptrdiff_t n = ReadSome(fdIn, block.data(), block.size());
        if (n == 0)
            return true;
        if (n < 0) {
            bool stopped = false;
            if (TryAgain(fdIn, Ready::ToRead, stopped))
                continue;
            how = stopped ? CopyStop::Stopped : CopyStop::Read;
            err = errno;
            return false;
        }
        FileState before;
        const bool watch = copied >= readBackFrom && StateOfFd(fdIn, before);
        if (!WriteAll(fdOut, block.data(), static_cast<std::size_t>(n), err)) {
            how = CopyStop::Write;
            return false;
        }
        copied += static_cast<std::uint64_t>(n);
        FileState in, out;
        const bool inStep = watch && StateOfFd(fdIn, in) && StateOfFd(fdOut, out) &&
                            in.id.size == out.id.size &&
                            in.id.size - before.id.size == static_cast<std::uint64_t>(n);
        blocksInStep = inStep ? blocksInStep + 1 : 0;
        if (blocksInStep == kBlocksInStep) {
            how = CopyStop::ReadBack;
            return false;
        }
    }
}

// The block loop's buffer, one per join; a small one on the stack should the heap refuse.
class CJoinBlock {
public:
    std::span<char> Get() {
        if (m_data)
            return {m_data.get(), kJoinBlockSize};
        return m_fallback;
    }

private:
    std::unique_ptr<char[]> m_data{new (std::nothrow) char[kJoinBlockSize]};
    char m_fallback[4096];
};

// Lets the kernel copy what it can between two regular files, copy_file_range first, then
// sendfile from where it stopped.
bool CopyInKernel(int fdIn, int fdOut, std::uint64_t& copied, int& err) {
    for (JoinKernelCopy copy : {g_joinKernelCopies.copyRange, g_joinKernelCopies.sendFile}) {
        if (copy && !CopyInKernel(copy, fdIn, fdOut, copied, err))
            return false;
    }
    return true;
}

} // namespace

JoinResult CopyJoinInputs(const JoinPath& outputPath, const std::list<JoinPath>& inputPaths) {
    IgnoreFileSizeSignal();
    FileState out;
    CFileDescriptor output(OpenNonBlocking(
        outputPath, O_RDWR | O_CREAT | O_TRUNC | O_BINARY | O_CLOEXEC, out, kNewFileMode));
    if (!output.IsOpen())
        return JoinResult::Failure(OutputOpenError(errno, outputPath));
    const int fdOut = output.Get();
    const bool outputIsFile = out.kind == FileKind::Regular;
    CWatchedOutput watched(fdOut);

    const auto incomplete = [&](const std::string& what) {
        return JoinResult::Failure(what + " The output file " + Quoted(outputPath) +
                                   " is incomplete.");
    };

    CJoinBlock block;
    for (const JoinPath& path : inputPaths) {
        FileState in;
        const CFileDescriptor input(OpenNonBlocking(path, O_RDONLY | O_BINARY | O_CLOEXEC, in));
        if (!input.IsOpen())
            return incomplete("The input file " + Quoted(path) +
                              " could not be opened: " + ErrorText(errno) + ".");
        const int fdIn = input.Get();
        // The check before the copy went by name; the name may lead to the output by now, and
        // reading the output while appending to it would never end. The output's size and times
        // are those of now, for the comparison across volumes.
        if (g_bJoinComparesFiles && StateOfFd(fdOut, out) && in.id.SameAs(out.id))
            return incomplete(AlsoAnInput(outputPath) + " (as " + Quoted(path) + ").");
        const bool inputIsFile = in.kind == FileKind::Regular;
        // A pipe opened before its writer reads as ended: wait for the writer first.
        if (in.kind == FileKind::Fifo && !WaitUntilReady(fdIn, Ready::ToRead))
            return incomplete(CopyFailed(CopyStop::Stopped, path, 0));

        std::uint64_t copied = 0;
        int err = 0;
        if (inputIsFile && outputIsFile && !CopyInKernel(fdIn, fdOut, copied, err))
            return incomplete(WriteSideError(err) ? WriteFailed(err) : ReadFailed(path, err));
        CopyStop how{};
        const std::uint64_t readBackFrom =
            inputIsFile && outputIsFile ? in.id.size : std::numeric_limits<std::uint64_t>::max();
        if (!CopyBlocks(fdIn, fdOut, block.Get(), !inputIsFile || !outputIsFile, readBackFrom,
                        copied, how, err))
            return incomplete(how == CopyStop::ReadBack
                                  ? AlsoAnInput(outputPath) + " (as " + Quoted(path) + ")."
                                  : CopyFailed(how, path, err));
        // A file that grew is copied to the end it has now; one that gave less than its size
        // left part of itself out.
        if (inputIsFile && copied < in.id.size) {
            if (std::string problem = ShortInputProblem(fdIn, in, path, copied); !problem.empty())
                return incomplete(problem);
        }
    }

    watched.Forget();
    if (!output.Close()) {
        const int err = errno;
        return JoinResult::Failure("Closing the output file " + Quoted(outputPath) + " failed: " +
                                   ErrorText(err) + ". The output file is incomplete.");
    }
    return JoinResult::Success();
}

std::uint64_t JoinActivity() {
    const std::lock_guard lock(s_outputsMutex);
    std::uint64_t activity = s_nOutputsSeen;
    for (const int fd : s_outputs) {
        FileState state;
        if (StateOfFd(fd, state))
            activity += state.id.size;
    }
    return activity;
}

std::string JoinDeviceName(const JoinPath& path) {
    return DeviceNamed(path);
}

void StopEndlessJoins() {
    s_bStopEndless.store(true);
    WakeWaitingJoins();
}

JoinResult JoinFiles(const JoinPath& outputPath, const std::list<JoinPath>& inputPaths) {
    JoinResult checked = CheckJoinRequest(outputPath, inputPaths);
    if (!checked.ok())
        return checked;
    return CopyJoinInputs(outputPath, inputPaths);
}
