#include "addon/PvrRecords.h"

#include <cstring>

#include <boost/date_time/posix_time/conversion.hpp>

#include "nivo/TextEncoding.h"

namespace zu {
namespace nivo {

namespace {

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

size_t Utf8PrefixLength(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes)
    return text.size();
  // Cutting at maxBytes splits a character when the first byte left out continues it; a
  // UTF-8 sequence has at most three continuation bytes.
  size_t length = maxBytes;
  for (int step = 0; step < 3 && length > 0 && IsContinuationByte(text[length]); ++step)
    --length;
  if (length > 0 && IsContinuationByte(text[length]))
    return maxBytes;
  return length;
}

void CopyToField(char* field, size_t size, const std::string& text) {
  if (field == nullptr || size == 0)
    return;
  std::string storage;
  const std::string& utf8 = AsUtf8(text, storage);
  const size_t length = Utf8PrefixLength(utf8, size - 1);
  memcpy(field, utf8.data(), length);
  field[length] = '\0';
}

time_t ToHostTime(const boost::posix_time::ptime& time) {
  if (time.is_special())
    return 0;
  struct tm broken = boost::posix_time::to_tm(time);
  broken.tm_isdst = -1;
  return mktime(&broken);
}

void FillChannel(PVR_CHANNEL& record, const Channel& channel, const std::string& iconPath) {
  memset(&record, 0, sizeof(record));
  record.iUniqueId = channel.uid;
  record.bIsRadio = channel.isRadio;
  record.iChannelNumber = channel.number;
  CopyToField(record.strChannelName, channel.name);
  CopyToField(record.strStreamURL, channel.streamUrl);
  CopyToField(record.strIconPath, iconPath);
}

void FillChannelGroup(PVR_CHANNEL_GROUP& record, const std::string& name, bool isRadio) {
  memset(&record, 0, sizeof(record));
  CopyToField(record.strGroupName, name);
  record.bIsRadio = isRadio;
  record.iPosition = 0;
}

void FillChannelGroupMember(PVR_CHANNEL_GROUP_MEMBER& record, const std::string& group,
                            unsigned int uid, unsigned int number) {
  memset(&record, 0, sizeof(record));
  CopyToField(record.strGroupName, group);
  record.iChannelUniqueId = uid;
  record.iChannelNumber = number;
}

void FillEpgTag(EPG_TAG& record, const TVShow& show, unsigned int channelNumber,
                EpgTagTexts& texts) {
  memset(&record, 0, sizeof(record));
  record.iUniqueBroadcastId = show.id;
  record.strTitle = AsUtf8(show.title, texts.title).c_str();
  record.iChannelNumber = channelNumber;
  record.startTime = ToHostTime(show.start);
  record.endTime = ToHostTime(show.end);
  record.strPlotOutline = AsUtf8(show.subTitle, texts.plotOutline).c_str();
  record.strPlot = AsUtf8(show.description, texts.plot).c_str();
  record.iYear = static_cast<int>(show.year);
  record.strIconPath = AsUtf8(show.image, texts.iconPath).c_str();
  record.iGenreType = EPG_GENRE_USE_STRING;
  record.iGenreSubType = 0;
  record.strGenreDescription = AsUtf8(show.genreText, texts.genre).c_str();
}

}  // namespace nivo
}  // namespace zu
