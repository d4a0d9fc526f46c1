#pragma once

#include <string>

#include "nivo/Channel.h"
#include "nivo/TVShow.h"
#include "nivo/imp/CacheLayout.h"

namespace zu {
namespace nivo {
namespace imp {

// Writes the cache texts in the layout of boost's text archives of archive version 13, byte
// for byte what earlier builds wrote through boost, so that every build reads them. A guide
// request rewrites its channel's cache every time, so this is on the path of every guide
// request. The layout written:
// - tokens separated by one space, none before the first and none after the last;
// - numbers and flags in decimal ("0"/"1"), strings as length, one space, the bytes;
// - before the first object of each class type, its tracking level ("0") and class version;
// - collections as count, item version, then the elements;
// - a date as its ISO text ("20160131", "not-a-date-time", "+infinity", "-infinity"), a time
//   as its date and, unless special, its time of day: "0" (not special), hours, minutes,
//   seconds, fractional seconds.
// A change of the layout needs the same change in CacheTextReader and a new class version in
// CacheLayout.h.
class CacheTextWriter {
 public:
  static std::string Write(const Channels& channels);
  static std::string Write(const TVShows& shows);

 private:
  explicit CacheTextWriter(std::string& out);

  void Header();
  void Number(unsigned long long value);
  void SignedNumber(long long value);
  void Flag(bool value) { Number(value ? 1 : 0); }
  void Text(const std::string& text);
  // Tracking level and version before the first object of a class type.
  void ClassInfo(bool& written, unsigned int version);
  // Class info, count and item version of a collection.
  void Collection(bool& classWritten, std::size_t count);
  void Strings(const std::set<std::string>& strings);
  void Time(const boost::posix_time::ptime& time);
  void Show(const TVShow& show);
  void ChannelEntry(unsigned int key, const Channel& channel);

  std::string& out_;
  bool first_ = true;
  // Which class types have had their class info written.
  bool rootWritten_ = false;
  bool elementWritten_ = false;
  bool channelWritten_ = false;
  bool stringSetWritten_ = false;
  bool personsWritten_ = false;
  bool personWritten_ = false;
  bool timeWritten_ = false;
  bool dateWritten_ = false;
  bool timeOfDayWritten_ = false;
};

}  // namespace imp
}  // namespace nivo
}  // namespace zu
