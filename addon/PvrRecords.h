#pragma once

#include <cstddef>
#include <ctime>
#include <string>

#include <boost/date_time/posix_time/posix_time_types.hpp>

#include "addon/HostApi.h"
#include "nivo/Channel.h"
#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

// Filling of the host's PVR records (API 4.1.0) from the client's model. Every filler zeroes
// the whole record first, so fields the client has nothing for are zero, false or empty. The
// host gets every text as UTF-8: a model text that is not (one read from a cache written
// elsewhere) is re-encoded on the way (see ToUtf8).

// The longest prefix of text of at most maxBytes bytes that does not end inside a UTF-8
// sequence. Text that is not UTF-8 is cut at maxBytes after at most three steps back.
size_t Utf8PrefixLength(const std::string& text, size_t maxBytes);

// Copies text, as UTF-8, into a fixed text field of size bytes: whole when it fits in
// size - 1 bytes, otherwise cut on a character boundary; always terminated.
void CopyToField(char* field, size_t size, const std::string& text);

template <size_t N>
void CopyToField(char (&field)[N], const std::string& text) {
  CopyToField(field, N, text);
}

// A show time (wall-clock time without a zone) as the host's time: read as local time of
// the machine, the C library deciding on daylight saving. A time that is not set gives 0.
time_t ToHostTime(const boost::posix_time::ptime& time);

void FillChannel(PVR_CHANNEL& record, const Channel& channel, const std::string& iconPath);
void FillChannelGroup(PVR_CHANNEL_GROUP& record, const std::string& name, bool isRadio);
void FillChannelGroupMember(PVR_CHANNEL_GROUP_MEMBER& record, const std::string& group,
                            unsigned int uid, unsigned int number);
// Where the texts of a guide entry are kept when the show's own are not UTF-8.
struct EpgTagTexts {
  std::string title;
  std::string plotOutline;
  std::string plot;
  std::string iconPath;
  std::string genre;
};

// The texts of the entry point into show, or into texts for those that had to be re-encoded;
// both must outlive the transfer of the entry.
void FillEpgTag(EPG_TAG& record, const TVShow& show, unsigned int channelNumber,
                EpgTagTexts& texts);

}  // namespace nivo
}  // namespace zu
