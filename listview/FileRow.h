// What a row of the file list is and how many the list takes.
#pragma once

// Item data of every file row; the join takes only rows that carry it.
constexpr unsigned kIncludeInJoin = 1;
// The most rows the file list holds; enforced by whoever adds files.
constexpr int kMaxFilesPerJoin = 500;
// Said when adding files would take the list past kMaxFilesPerJoin.
inline constexpr char kTooManyFilesText[] =
    "This version does not allow joining more than 500 files at once \nPlease join files in "
    "batches not exceeding 500 count.";
