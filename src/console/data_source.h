#pragma once
// A data file opened for reading. The readers take their bytes in chunks
// from a DataSource, so that a failed read is told apart from the end of the
// file, and so that tests can hand them files held in memory or files that
// fail after a given number of bytes.

#include <cstddef>
#include <cstring>
#include <string>

namespace zover {

class DataSource {
 public:
  virtual ~DataSource() = default;
  // Reads up to `size` bytes into `buffer`. Returns the number of bytes read
  // (at least 1), 0 at the end of the file, or -1 when the read failed;
  // Error() then gives the system's text for the failure.
  virtual long Read(char* buffer, std::size_t size) = 0;
  virtual std::string Error() const = 0;
};

// A file held in memory.
class StringSource : public DataSource {
 public:
  explicit StringSource(std::string text) : text_(std::move(text)) {}
  long Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, text_.size() - at_);
    std::memcpy(buffer, text_.data() + at_, n);
    at_ += n;
    return static_cast<long>(n);
  }
  std::string Error() const override { return {}; }

 private:
  std::string text_;
  std::size_t at_ = 0;
};

}  // namespace zover
