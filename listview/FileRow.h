// What a row of the file list is and how many the list takes.
#pragma once

// Item data of every file row; the join takes only rows that carry it.
constexpr unsigned kIncludeInJoin = 1;
// The most rows the file list holds; enforced by whoever adds files.
constexpr int kMaxFilesPerJoin = 500;
