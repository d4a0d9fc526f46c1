#include "host/driver/Progress.h"

#include <algorithm>

#include "host/driver/Formatting.h"

namespace zu {
namespace host {

Progress::Progress(std::ostream& out, bool terminal, bool enabled)
    : out_(out), terminal_(terminal), enabled_(enabled) {}

Progress::~Progress() {
  EndLine();
}

std::string Progress::Bar(size_t done, size_t total, size_t width) {
  size_t filled = total == 0 ? width : (done >= total ? width : done * width / total);
  std::string bar = "[" + std::string(filled, '#') + std::string(width - filled, '-') + "]";
  std::string count = std::to_string(done);
  std::string all = std::to_string(total);
  return bar + "  " + std::string(all.size() - std::min(all.size(), count.size()), ' ') + count +
         "/" + all;
}

void Progress::Start(const std::string& unit, size_t total) {
  EndLine();
  unit_ = unit;
  total_ = total;
  quarter_ = 0;
  lastPlain_.clear();
}

void Progress::Update(size_t done, const std::string& detail) {
  if (!enabled_)
    return;
  if (terminal_) {
    Draw("  " + Bar(done, total_, 30) + " " + unit_ + "  " + Shorten(detail, 30));
    return;
  }
  int quarter = total_ == 0 ? 4 : static_cast<int>(done * 4 / total_);
  if (quarter > quarter_) {
    quarter_ = quarter;
    out_ << "  " << done << "/" << total_ << " " << unit_ << (detail.empty() ? "" : ", ") << detail
         << "\n"
         << std::flush;
  }
}

void Progress::Status(const std::string& text, bool plainToo) {
  if (!enabled_)
    return;
  if (terminal_) {
    Draw("  " + text);
  } else if (plainToo && text != lastPlain_) {
    lastPlain_ = text;
    out_ << "  " << text << "\n" << std::flush;
  }
}

void Progress::EndLine() {
  if (open_) {
    out_ << "\r\033[K" << std::flush;
    open_ = false;
  }
}

void Progress::Draw(const std::string& line) {
  out_ << "\r\033[K" << line << std::flush;
  open_ = true;
}

}  // namespace host
}  // namespace zu
