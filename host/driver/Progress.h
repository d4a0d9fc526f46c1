#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace zu {
namespace host {

// Progress of a long step, for a person watching. On a terminal it is one line redrawn in
// place ("\r", then the line, then clear-to-end), so a walk over many channels shows as a bar
// and a counter; elsewhere (a pipe, a file) it is a plain line at each quarter of the way, so a
// log gets a handful of lines instead of one per item. A disabled display writes nothing (the
// JSON output stays one document). Used from one thread.
class Progress {
 public:
  Progress(std::ostream& out, bool terminal, bool enabled);
  // Ends a line still open.
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // A new walk over total items; what is counted is named by unit ("channels").
  void Start(const std::string& unit, size_t total);
  // done items of the walk are finished; detail says what comes next or what was found.
  void Update(size_t done, const std::string& detail);
  // A free status text while waiting; on a terminal it replaces the line, elsewhere it is
  // printed only when it differs from the last one printed (so a ticking clock is not).
  void Status(const std::string& text, bool plainToo);
  // Ends the open line, if any, so that ordinary output can follow.
  void EndLine();

  // The bar of a walk: "[#####-----]  21/42".
  static std::string Bar(size_t done, size_t total, size_t width);

 private:
  void Draw(const std::string& line);

  std::ostream& out_;
  bool terminal_;
  bool enabled_;
  std::string unit_;
  size_t total_ = 0;
  int quarter_ = 0;  // the last quarter printed as a plain line
  bool open_ = false;
  std::string lastPlain_;
};

}  // namespace host
}  // namespace zu
