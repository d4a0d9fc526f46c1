#pragma once

#include <exception>
#include <string>

namespace zu {

// The toolkit's exception: a message text returned by what().
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

}  // namespace zu
