// The system calls a join makes, for JoinFiles.cpp alone: one implementation per platform,
// JoinFilesPosix.cpp and JoinFilesWin.cpp, of which the build takes one.
#pragma once

#include "join/JoinTypes.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <utility>

#ifndef O_BINARY
#define O_BINARY 0 // POSIX never translates newlines
#endif
#ifndef O_CLOEXEC
#ifdef _O_NOINHERIT
#define O_CLOEXEC _O_NOINHERIT // the C runtime's name for it on Windows
#else
#define O_CLOEXEC 0
#endif
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif

namespace JoinSystem {

// The kernel's copies between two regular files, where the system has them.
JoinKernelCopies KernelCopies();

// The longest path the system takes (one less than this), and what its length counts.
extern const std::size_t kMaxPath;
extern const char* const kPathUnits;
// The permissions of an output the join creates.
extern const int kNewFileMode;

// What the join needs to know of an open file or a path.
enum class FileKind { Regular, Folder, Fifo, Socket, Other };
struct FileId {
    bool bKnown = false; // pipes and devices on Windows have none
    std::uint64_t nVolume = 0;
    std::uint64_t nIndex = 0;
    // The size and two times (creation and last write on Windows, modification and status
    // change here): a file with the same index on another volume is the same file when these
    // agree too. Wine gives every drive letter a serial of its own, so one file reached by two
    // letters differs in the serial alone; taking two files for one where all of these agree is
    // the lesser harm.
    std::uint64_t nSize = 0;
    std::uint64_t nTime1 = 0;
    std::uint64_t nTime2 = 0;
    bool SameAs(const FileId& other) const {
        return bKnown && other.bKnown && nIndex == other.nIndex &&
               (nVolume == other.nVolume ||
                (nSize == other.nSize && nTime1 == other.nTime1 && nTime2 == other.nTime2));
    }
};
struct FileState {
    FileId id;
    FileKind kind = FileKind::Other;
    // The size and the identity's two times agree: nothing wrote to the file in between. The
    // status change (POSIX ctime) also moves when a file is cut and its size and modification
    // time are then set back.
    bool SameContentsAs(const FileState& other) const {
        return id.nSize == other.id.nSize && id.nTime1 == other.id.nTime1 &&
               id.nTime2 == other.id.nTime2;
    }
};

// The system's text for an errno value.
std::string ErrorText(int err);

// A path as a message shows it: its bytes on Linux, UTF-8 on Windows.
std::string Shown(const JoinPath& path);

// The device a file name stands for on Windows (CON, NUL, COM1, ...); empty for other names, and
// on systems where names are files in every folder.
std::string DeviceNamed(const JoinPath& path);

// The C runtime's open, with the path in the form the system takes it; an open a signal
// interrupts is made again. -1, with errno, when it fails.
int OpenDescriptor(const JoinPath& path, int flags, int mode = 0);
std::ptrdiff_t ReadSome(int fd, char* data, std::size_t n);
std::ptrdiff_t WriteSome(int fd, const char* data, std::size_t n);
int CloseFile(int fd);
// Takes O_NONBLOCK off an open descriptor, where the system has it.
void MakeBlocking(int fd);

// false, with errno, when the system cannot say.
bool StateOfFd(int fd, FileState& state);
bool StateOfPath(const JoinPath& path, FileState& state);

// What the look at an input before the join found; err says why it cannot be read.
enum class InputFound { Readable, Folder, Unreadable };
// state then holds its identity, where the look took it.
InputFound ExamineInput(const JoinPath& path, FileState& state, int& err);

// Whether the file's system reports sizes its contents do not reach, so a read that ends early
// is how the file is.
bool SizeMayBeUnreal(int fd);

enum class Ready { ToRead, ToWrite };

// Waits until fd is ready (or has reached its end); false once stop is set.
bool WaitUntilReady(int fd, Ready ready, const std::atomic<bool>& stop);
// Wakes the waits of WaitUntilReady, for good, once their stop has been set.
void WakeWaitingJoins();

// An open descriptor, closed on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            CloseFile(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int Get() const { return m_fd; }
    // Closes it now; false, with errno set, when the system reports that the close failed,
    // which for an output can mean its last writes were lost.
    bool Close() { return CloseFile(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

} // namespace JoinSystem
