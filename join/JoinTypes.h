// The types the join's interface (JoinFiles.h) and its system calls (JoinSystem.h) share.
#pragma once

#include <cstddef>
#include <filesystem>

// A file name as the system keeps it: bytes on Linux (no text encoding assumed), UTF-16 on
// Windows.
using JoinPath = std::filesystem::path::string_type;

// A kernel copy of up to count bytes from fdIn to fdOut at both files' current positions: bytes
// copied, 0 at the input's end, or -1 with errno.
using JoinKernelCopy = std::ptrdiff_t (*)(int fdIn, int fdOut, std::size_t count);

struct JoinKernelCopies {
    JoinKernelCopy copyRange; // copy_file_range: within one file system
    JoinKernelCopy sendFile;  // sendfile: across file systems
};
