#pragma once
// A rectangular table of rows x cols cells, indexed t[row][col] like the
// two-dimensional working tables it holds. Rows are contiguous, so t[row] is
// the address of that row's first cell (the "rater vector" or "class vector"
// that the model's equations take).

#include <cstddef>
#include <vector>

namespace zover {

template <typename T>
class Grid {
 public:
  Grid() = default;
  Grid(std::size_t rows, std::size_t cols, T fill = T{})
      : rows_(rows), cols_(cols), cells_(rows * cols, fill) {}

  T* operator[](std::size_t row) { return cells_.data() + row * cols_; }
  const T* operator[](std::size_t row) const { return cells_.data() + row * cols_; }

  std::size_t rows() const { return rows_; }
  std::size_t cols() const { return cols_; }
  bool empty() const { return cells_.empty(); }

  // Appends one row (cols() cells) and returns its address.
  T* AddRow(T fill = T{}) {
    cells_.resize(cells_.size() + cols_, fill);
    ++rows_;
    return (*this)[rows_ - 1];
  }

  // Drops the last row.
  void RemoveLastRow() {
    cells_.resize(cells_.size() - cols_);
    --rows_;
  }

 private:
  std::size_t rows_ = 0;
  std::size_t cols_ = 0;
  std::vector<T> cells_;
};

}  // namespace zover
