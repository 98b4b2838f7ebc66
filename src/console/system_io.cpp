#include "console/system_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zover {

namespace {

constexpr std::size_t kChunk = 1 << 16;

// Reads a file descriptor; keeps the error number of a failed read.
class FdSource : public DataSource {
 public:
  FdSource(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~FdSource() override {
    if (owned_) close(fd_);
  }
  long Read(char* buffer, std::size_t size) override {
    while (true) {
      const ssize_t n = read(fd_, buffer, size);
      if (n >= 0) return static_cast<long>(n);
      if (errno != EINTR) {
        error_ = errno;
        return -1;
      }
    }
  }
  std::string Error() const override { return ErrorText(error_); }

 private:
  int fd_;
  bool owned_;
  int error_ = 0;
};

std::string NotRegular(const struct stat& info) {
  return S_ISDIR(info.st_mode) ? ErrorText(EISDIR) : "not a regular file";
}

}  // namespace

std::unique_ptr<DataSource> OpenDataFile(const std::string& path, std::string* why) {
  auto refuse = [why](std::string reason) -> std::unique_ptr<DataSource> {
    if (why != nullptr) *why = std::move(reason);
    return nullptr;
  };
  // A first look refuses a FIFO or a device without opening it at all; the
  // look at the open descriptor settles what was actually opened.
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return refuse(ErrorText(errno));
  if (!S_ISREG(info.st_mode)) return refuse(NotRegular(info));
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return refuse(ErrorText(errno));
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const std::string reason = S_ISREG(info.st_mode) ? ErrorText(errno) : NotRegular(info);
    close(fd);
    return refuse(reason);
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return std::make_unique<FdSource>(fd, true);
}

std::unique_ptr<DataSource> DescriptorSource(int fd) { return std::make_unique<FdSource>(fd, false); }

// --- Output ------------------------------------------------------------------

DescriptorOutBuf::DescriptorOutBuf(int fd) : fd_(fd), buffer_(kChunk) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

DescriptorOutBuf::~DescriptorOutBuf() { Drain(); }

bool DescriptorOutBuf::WriteAll(const char* data, std::size_t size) {
  while (size > 0 && error_ == 0) {
    const ssize_t n = write(fd_, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      error_ = errno;
    }
  }
  if (error_ != 0) setp(nullptr, nullptr);  // every later write fails at once
  return error_ == 0;
}

bool DescriptorOutBuf::Drain() {
  if (error_ != 0) return false;
  const auto size = static_cast<std::size_t>(pptr() - pbase());
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return WriteAll(buffer_.data(), size);
}

DescriptorOutBuf::int_type DescriptorOutBuf::overflow(int_type c) {
  if (!Drain()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize DescriptorOutBuf::xsputn(const char* s, std::streamsize n) {
  if (error_ != 0) return 0;
  const auto size = static_cast<std::size_t>(n);
  if (size <= static_cast<std::size_t>(epptr() - pptr())) {
    std::memcpy(pptr(), s, size);
    pbump(static_cast<int>(n));
    return n;
  }
  if (!Drain()) return 0;
  if (size >= buffer_.size()) return WriteAll(s, size) ? n : 0;
  std::memcpy(pptr(), s, size);
  pbump(static_cast<int>(n));
  return n;
}

int DescriptorOutBuf::sync() { return Drain() ? 0 : -1; }

// --- Input -------------------------------------------------------------------

DescriptorInBuf::DescriptorInBuf(int fd) : fd_(fd), buffer_(kChunk) {}

DescriptorInBuf::int_type DescriptorInBuf::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (error_ != 0) return traits_type::eof();
  while (true) {
    const ssize_t n = read(fd_, buffer_.data(), buffer_.size());
    if (n > 0) {
      setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
      return traits_type::to_int_type(*gptr());
    }
    if (n == 0) return traits_type::eof();
    if (errno != EINTR) {
      error_ = errno;
      return traits_type::eof();
    }
  }
}

bool IsTerminal(int fd) { return isatty(fd) == 1; }

std::string ErrorText(int error) { return std::strerror(error); }

}  // namespace zover
