// The system calls of a join on Windows, through the C runtime's descriptors where they serve.
#include "join/JoinSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwctype>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

namespace JoinSystem {

// The long-path form reaches this many UTF-16 units.
const std::size_t kMaxPath = 32767;
const char* const kPathUnits = "characters";
const int kNewFileMode = _S_IREAD | _S_IWRITE;

namespace {

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

} // namespace

std::string ErrorText(int err) {
    char buf[256] = {};
    strerror_s(buf, sizeof buf, err);
    return buf;
}

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

// No retry: signals do not interrupt system calls here.
int OpenDescriptor(const JoinPath& path, int flags, int mode) {
    return ::_wopen(SystemForm(path).c_str(), flags, mode);
}

std::ptrdiff_t ReadSome(int fd, char* data, std::size_t n) {
    return ::_read(fd, data, static_cast<unsigned>(n));
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

int CloseFile(int fd) {
    return ::_close(fd);
}

void MakeBlocking(int) {} // descriptors here always block

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

// Names in the device namespace (\\.\pipe\..., \\.\COM1) are not opened for the check: opening a
// pipe takes the connection its writer waits to hand to the join.
InputFound ExamineInput(const JoinPath& path, FileState& state, int& err) {
    if (path.starts_with(L"\\\\.\\")) {
        state = {};
        return InputFound::Readable;
    }
    const FileDescriptor fd(OpenDescriptor(path, O_RDONLY | O_BINARY | O_CLOEXEC));
    if (!fd.IsOpen()) {
        err = errno;
        // The C runtime refuses folders as access violations.
        const DWORD attributes = ::GetFileAttributesW(SystemForm(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return InputFound::Folder;
        return InputFound::Unreadable;
    }
    if (!StateOfFd(fd.Get(), state)) {
        err = errno;
        return InputFound::Unreadable;
    }
    if (state.kind == FileKind::Folder)
        return InputFound::Folder;
    return InputFound::Readable;
}

bool SizeMayBeUnreal(int) {
    return false;
}

// Descriptors here never refuse to wait, so this is not reached in practice; it only lets the
// caller retry until endless joins are asked to stop.
bool WaitUntilReady(int, Ready, const std::atomic<bool>& stop) {
    ::Sleep(10);
    return !stop.load();
}

void WakeWaitingJoins() {}

} // namespace JoinSystem

// Windows has no kernel copy between descriptors. ReFS's block cloning
// (FSCTL_DUPLICATE_EXTENTS_TO_FILE) would be the counterpart, but it cannot be tried where this
// is built and tested, so it is left out: every input goes through the block loop there.
JoinKernelCopies JoinSystem::KernelCopies() {
    return {nullptr, nullptr};
}
