#include "join/JoinFiles.h"

#include "join/JoinSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <utility>
#include <vector>

using namespace JoinSystem;

JoinKernelCopies g_joinKernelCopies = JoinSystem::KernelCopies();

namespace {

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

// The outputs being written, so that JoinActivity can see them grow.
std::mutex s_outputsMutex;
std::vector<int> s_outputs;
std::uint64_t s_nOutputsSeen = 0; // under s_outputsMutex

// Holds an output in JoinActivity's sight until Forget, which must come before it is closed.
class WatchedOutput {
public:
    explicit WatchedOutput(int fd) : m_fd(fd) {
        const std::lock_guard lock(s_outputsMutex);
        s_outputs.push_back(fd);
        ++s_nOutputsSeen;
    }
    ~WatchedOutput() { Forget(); }
    WatchedOutput(const WatchedOutput&) = delete;
    WatchedOutput& operator=(const WatchedOutput&) = delete;

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

// After a read or write that failed: whether to try it again (interrupted, or a pipe or device
// that is ready now). stopped says the join was asked to stop while it waited; otherwise errno
// still tells why the call failed.
bool TryAgain(int fd, Ready ready, bool& stopped) {
    if (errno == EINTR)
        return true;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
        return false;
    stopped = !WaitUntilReady(fd, ready, s_bStopEndless);
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
           std::to_string(copied) + " of its " + std::to_string(opened.id.nSize) + " bytes.";
}

// Opens without waiting: a pipe's open would otherwise block until a writer comes, where
// nothing could end the wait. Regular files go back to blocking calls.
int OpenNonBlocking(const JoinPath& path, int flags, FileState& state, int mode = 0) {
    const int fd = OpenDescriptor(path, flags | O_NONBLOCK, mode);
    if (fd < 0)
        return fd;
    if (!StateOfFd(fd, state)) {
        const int err = errno;
        CloseFile(fd);
        errno = err;
        return -1;
    }
    if (state.kind == FileKind::Regular)
        MakeBlocking(fd);
    return fd;
}

std::string AlsoAnInput(const JoinPath& outputPath) {
    return "The output file " + Quoted(outputPath) + " is also one of the files to join";
}

std::string CannotRead(const JoinPath& path, int err) {
    if (err == ENOENT || err == ENOTDIR)
        return "The input file " + Quoted(path) + " does not exist. Nothing was joined.";
    return "The input file " + Quoted(path) + " cannot be read: " + ErrorText(err) +
           ". Nothing was joined.";
}

// Empty when the input can be joined; state then holds its identity.
std::string InputProblem(const JoinPath& path, FileState& state) {
    int err = 0;
    switch (ExamineInput(path, state, err)) {
    case InputFound::Readable:
        return {};
    case InputFound::Folder:
        return Quoted(path) + " is a folder, not a file. Nothing was joined.";
    case InputFound::Unreadable:
        break;
    }
    return CannotRead(path, err);
}

} // namespace

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
                            in.id.nSize == out.id.nSize &&
                            in.id.nSize - before.id.nSize == static_cast<std::uint64_t>(n);
        blocksInStep = inStep ? blocksInStep + 1 : 0;
        if (blocksInStep == kBlocksInStep) {
            how = CopyStop::ReadBack;
            return false;
        }
    }
}

// The block loop's buffer, one per join; a small one on the stack should the heap refuse.
class JoinBlock {
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
    FileDescriptor output(OpenNonBlocking(
        outputPath, O_RDWR | O_CREAT | O_TRUNC | O_BINARY | O_CLOEXEC, out, kNewFileMode));
    if (!output.IsOpen())
        return JoinResult::Failure(OutputOpenError(errno, outputPath));
    const int fdOut = output.Get();
    const bool outputIsFile = out.kind == FileKind::Regular;
    WatchedOutput watched(fdOut);

    const auto incomplete = [&](const std::string& what) {
        return JoinResult::Failure(what + " The output file " + Quoted(outputPath) +
                                   " is incomplete.");
    };

    JoinBlock block;
    for (const JoinPath& path : inputPaths) {
        FileState in;
        const FileDescriptor input(OpenNonBlocking(path, O_RDONLY | O_BINARY | O_CLOEXEC, in));
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
        if (in.kind == FileKind::Fifo && !WaitUntilReady(fdIn, Ready::ToRead, s_bStopEndless))
            return incomplete(CopyFailed(CopyStop::Stopped, path, 0));

        std::uint64_t copied = 0;
        int err = 0;
        if (inputIsFile && outputIsFile && !CopyInKernel(fdIn, fdOut, copied, err))
            return incomplete(WriteSideError(err) ? WriteFailed(err) : ReadFailed(path, err));
        CopyStop how{};
        const std::uint64_t readBackFrom =
            inputIsFile && outputIsFile ? in.id.nSize : std::numeric_limits<std::uint64_t>::max();
        if (!CopyBlocks(fdIn, fdOut, block.Get(), !inputIsFile || !outputIsFile, readBackFrom,
                        copied, how, err))
            return incomplete(how == CopyStop::ReadBack
                                  ? AlsoAnInput(outputPath) + " (as " + Quoted(path) + ")."
                                  : CopyFailed(how, path, err));
        // A file that grew is copied to the end it has now; one that gave less than its size
        // left part of itself out.
        if (inputIsFile && copied < in.id.nSize) {
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
            activity += state.id.nSize;
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
