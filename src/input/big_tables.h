#pragma once
// Memory for the large tables of the readers (the tuple counter's slots, the
// names of a long file's objects, its ratings), which are tens of megabytes
// on large files and, but for the ratings, read at random.
//
// Where the system offers it (Linux's transparent huge pages through
// madvise), such a table is asked to live on huge pages of 2 MiB: its memory
// then arrives in 512 times fewer page faults, and a read at random finds
// the translation of its address far more often without a walk through the
// page tables. Elsewhere, or when the system declines, the table is the same
// and only slower.

#include <cstddef>
#include <vector>

namespace zover {

// Asks for huge pages on the whole 2 MiB pages inside [data, data + bytes),
// for memory that has not been touched yet. Nothing for less than 4 MiB.
void AdviseHugePages(void* data, std::size_t bytes);

// A vector of `size` copies of `value`, its memory advised (above) before it
// is written.
template <typename T>
std::vector<T> BigTable(std::size_t size, const T& value) {
  std::vector<T> table;
  table.reserve(size);
  AdviseHugePages(table.data(), size * sizeof(T));
  table.assign(size, value);
  return table;
}

}  // namespace zover
