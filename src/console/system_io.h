#pragma once
// The program's bindings to the operating system: data files opened by path,
// and the standard input and output as streams whose failures are kept with
// the system's error number. Only main() and the batch command use them; the
// dialogue and the readers see a Console and DataSources.

#include <memory>
#include <streambuf>
#include <string>
#include <vector>

#include "console/data_source.h"

namespace zover {

// Opens `path` for reading. Refuses, without ever blocking, anything that is
// not a regular file (a folder, a FIFO, a device, a socket): such a file is
// opened without waiting for a writer and refused after a look at what it
// is. Null when it cannot be opened; `why` then holds the reason.
std::unique_ptr<DataSource> OpenDataFile(const std::string& path, std::string* why = nullptr);

// The data of an already open descriptor (standard input for the file "-").
std::unique_ptr<DataSource> DescriptorSource(int fd);

// Writes `content` as the output named `path` (see output_file.cpp): a
// regular file is created or replaced as a whole, through a temporary file
// beside it, so that a reader never sees half a result and a failure leaves
// an existing file as it was; a symbolic link is followed; a FIFO or a
// device is written into; /dev/stdout and the like write into the
// descriptor. False when it cannot, with `why`: the system's reason, after
// "PATH: " when the name is at fault (it cannot be created, opened or
// written by this user) rather than the writing of the bytes.
bool WriteOutputFile(const std::string& path, const std::string& content, std::string* why);

// An output stream buffer over a file descriptor. A failed write is kept:
// failed() turns true, error() holds errno, and every later write fails too,
// so the stream that uses it goes bad at once.
class DescriptorOutBuf : public std::streambuf {
 public:
  explicit DescriptorOutBuf(int fd);
  ~DescriptorOutBuf() override;
  bool failed() const { return error_ != 0; }
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  bool WriteAll(const char* data, std::size_t size);
  bool Drain();

  int fd_;
  int error_ = 0;
  std::vector<char> buffer_;
};

// An input stream buffer over a file descriptor; a failed read ends the
// input and is kept in error().
class DescriptorInBuf : public std::streambuf {
 public:
  explicit DescriptorInBuf(int fd);
  int error() const { return error_; }

 protected:
  int_type underflow() override;

 private:
  int fd_;
  int error_ = 0;
  std::vector<char> buffer_;
};

// Whether the descriptor is a terminal (a person typing).
bool IsTerminal(int fd);

// The system's text for an error number (strerror).
std::string ErrorText(int error);

}  // namespace zover
