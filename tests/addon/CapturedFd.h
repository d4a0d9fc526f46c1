#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace zu_test {

// Sends everything written to a file descriptor (standard output or standard error) into a
// temporary file while the object lives; Text() returns what arrived so far.
class CapturedFd {
 public:
  explicit CapturedFd(int fd) : fd_(fd) {
    char pattern[] = "/tmp/zu_captured_XXXXXX";
    file_ = mkstemp(pattern);
    path_ = pattern;
    fflush(nullptr);
    saved_ = dup(fd_);
    dup2(file_, fd_);
  }
  ~CapturedFd() {
    Restore();
    close(file_);
    unlink(path_.c_str());
  }
  CapturedFd(const CapturedFd&) = delete;
  CapturedFd& operator=(const CapturedFd&) = delete;

  // Puts the descriptor back; later output is no longer captured.
  void Restore() {
    if (saved_ < 0)
      return;
    fflush(nullptr);
    dup2(saved_, fd_);
    close(saved_);
    saved_ = -1;
  }

  std::string Text() const {
    fflush(nullptr);
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  int fd_;
  int file_ = -1;
  int saved_ = -1;
  std::string path_;
};

}  // namespace zu_test
