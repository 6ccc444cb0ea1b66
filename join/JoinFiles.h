// The copy routine of a join: writes the inputs, in order and byte for byte, into the output.
// Uses the standard library and the C runtime's descriptor calls (POSIX, or their wide-character
// forms on Windows), and the kernel's copy where there is one.
#pragma once

#include "join/JoinTypes.h"

#include <cstddef>
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
// inputs and closes it. Between regular files the kernel copies: copy_file_range on one file
// system (sharing extents where it can), sendfile across two. Pipes, devices and files the kernel
// will not copy go through a read/write loop of kJoinBlockSize blocks. Waits on a pipe or device
// as long as it takes, unless StopEndlessJoins is called. Stops at the first failure, including
// an input that turns out to be the output itself, or a regular file that gives fewer bytes than
// its size (it changed, or its read ended early; files under /proc and /sys excepted); the output
// is then incomplete and the result says so. A file size limit fails the write (SIGXFSZ is
// ignored from the first join on) instead of ending the process.
JoinResult CopyJoinInputs(const JoinPath& outputPath, const std::list<JoinPath>& inputPaths);

// The device a file name stands for on Windows in every folder (CON, NUL, COM1, ...), which a
// join refuses as input and output; empty for other names, and everywhere else.
std::string JoinDeviceName(const JoinPath& path);

// Makes every join whose current input or output is not a regular file (a pipe, a device: no
// known end) stop at once, now and from now on, with its output left as far as it got. Joins of
// regular files go on to their end. For the program's exit; cannot be undone. On Windows a join
// stops before its next block: a read or write already waiting on a pipe or device finishes
// first.
void StopEndlessJoins();

// A number that changes whenever a join moves bytes, also in the middle of one long kernel copy:
// the sizes of the outputs being written, and a count of the outputs opened and closed. For the
// program's exit, to tell a join that is slow from one that no longer moves. Any thread.
std::uint64_t JoinActivity();

// The block of the read/write loop: at least a pipe's whole buffer per read, and as large as
// cat's, so the loop keeps up with it. One per join, from the heap.
constexpr std::size_t kJoinBlockSize = std::size_t(256) << 10;

// The kernel copies a join tries between two regular files, in this order; what they leave goes
// through the block loop. Replaceable so that tests can send every input one way and stage
// faults in the middle of a copy; a null one is skipped. Set them only while no join runs.
extern JoinKernelCopies g_joinKernelCopies;

// Whether the join compares the output with its inputs as files (before the copy, and as it
// opens each input). Tests turn it off to reach the guard behind it: a copy that reads back
// what it writes stops. Set it only while no join runs.
extern bool g_bJoinComparesFiles;
