// The copy routine of a join: writes the inputs, in order and byte for byte, into the output.
// Uses the standard library and the C runtime's descriptor calls (POSIX, or their wide-character
// forms on Windows), and the kernel's copy where there is one.
#pragma once

#include <cstddef>
#include <filesystem>
#include <list>
#include <string>

struct JoinResult {
    bool ok() const { return m_bOk; } // true when every input was copied whole
    // Empty when ok(). Paths in it are as given: bytes on Linux, UTF-8 on Windows.
    std::string message() const { return m_strMessage; }

    static JoinResult Success() { return JoinResult(); }
    static JoinResult Failure(std::string message);

private:
    bool m_bOk = true;
    std::string m_strMessage;
};

// A file name as the system keeps it: bytes on Linux (no text encoding assumed), UTF-16 on
// Windows.
using JoinPath = std::filesystem::path::string_type;

// Checks the request, then copies. Paths are handed to the system as they are (on Windows in
// the long-path form when they are longer than 260 characters). Nothing is written, and an
// existing output is left as it was, when the request is refused: an output that cannot be
// opened, a path that is too long, an input that is missing, unreadable or a folder, or an
// output that is one of the inputs.
JoinResult JoinFiles(const JoinPath& outputPath, const std::list<JoinPath>& inputPaths);

// The checks JoinFiles makes before it opens the output. Only regular files are opened for
// them, so a pipe's writer is not disturbed before the copy reads it.
JoinResult CheckJoinRequest(const JoinPath& outputPath, const std::list<JoinPath>& inputPaths);

// The copy alone, without those checks: opens (creating or emptying) the output, copies the
// inputs and closes it. Between regular files the kernel copies (sharing extents where the file
// system can); pipes, devices and files it cannot copy between go through 4096-byte blocks. Waits
// on a pipe or device as long as it takes, unless StopEndlessJoins is called. Stops at the first
// failure, including an input that turns out to be the output itself or a file that shrank while
// it was copied; the output is then incomplete and the result says so.
JoinResult CopyJoinInputs(const JoinPath& outputPath, const std::list<JoinPath>& inputPaths);

// Makes every join whose current input or output is not a regular file (a pipe, a device: no
// known end) stop at once, now and from now on, with its output left as far as it got. Joins of
// regular files go on to their end. For the program's exit; cannot be undone. On Windows a join
// stops before its next block: a read or write already waiting on a pipe or device finishes
// first.
void StopEndlessJoins();

// The size of the block each read of the block loop asks for.
constexpr std::size_t kJoinBlockSize = 4096;

// The kernel copy of up to count bytes from fdIn to fdOut at both files' current positions:
// bytes copied, 0 at the input's end, or -1 with errno. Replaceable so tests can stage faults
// in the middle of a copy; null sends every input through the block loop. Set it only while
// no join runs.
using JoinKernelCopy = std::ptrdiff_t (*)(int fdIn, int fdOut, std::size_t count);
extern JoinKernelCopy g_pfnJoinKernelCopy;
