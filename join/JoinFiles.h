// The copy routine of a join: writes the inputs, in order and byte for byte, into the output.
// Uses the standard library and POSIX file calls, and the kernel's copy where there is one.
#pragma once

#include <cstddef>
#include <list>
#include <string>

struct JoinResult {
    bool ok() const { return m_bOk; }                    // true when every input was copied whole
    std::string message() const { return m_strMessage; } // empty when ok()

    static JoinResult Success() { return JoinResult(); }
    static JoinResult Failure(std::string message);

private:
    bool m_bOk = true;
    std::string m_strMessage;
};

// Checks the request, then copies. Paths are the system's file-name bytes, handed to the
// system as they are; no text encoding is assumed. Nothing is written, and an
// existing output is left as it was, when the request is refused: an output that cannot be
// opened, a path that is too long, an input that is missing, unreadable or a folder, or an
// output that is one of the inputs.
JoinResult JoinFiles(const std::string& outputPath, const std::list<std::string>& inputPaths);

// The checks JoinFiles makes before it opens the output. Only regular files are opened for
// them, so a pipe's writer is not disturbed before the copy reads it.
JoinResult CheckJoinRequest(const std::string& outputPath,
                            const std::list<std::string>& inputPaths);

// The copy alone, without those checks: opens (creating or emptying) the output, copies the
// inputs and closes it. Between regular files the kernel copies (sharing extents where the file
// system can); pipes, devices and files it cannot copy between go through 4096-byte blocks. Waits
// on a pipe or device as long as it takes, unless StopEndlessJoins is called. Stops at the first
// failure, including an input that turns out to be the output itself or a file that shrank while
// it was copied; the output is then incomplete and the result says so.
JoinResult CopyJoinInputs(const std::string& outputPath, const std::list<std::string>& inputPaths);

// Makes every join whose current input or output is not a regular file (a pipe, a device: no
// known end) stop at once, now and from now on, with its output left as far as it got. Joins of
// regular files go on to their end. For the program's exit; cannot be undone.
void StopEndlessJoins();

// The size of the block each read of the block loop asks for.
constexpr std::size_t kJoinBlockSize = 4096;

// The kernel copy of up to count bytes from fdIn to fdOut at both files' current positions:
// bytes copied, 0 at the input's end, or -1 with errno. Replaceable so tests can stage faults
// in the middle of a copy; null sends every input through the block loop. Set it only while
// no join runs.
using JoinKernelCopy = std::ptrdiff_t (*)(int fdIn, int fdOut, std::size_t count);
extern JoinKernelCopy g_pfnJoinKernelCopy;
