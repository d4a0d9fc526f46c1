#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include <boost/archive/text_iarchive.hpp>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/serialization/collection_size_type.hpp>
#include <boost/serialization/item_version_type.hpp>
#include <boost/serialization/nvp.hpp>

namespace zu {
namespace nivo {
namespace imp {

// The text input archive of the add-on's caches. It reads what boost's text_iarchive reads,
// but it never trusts a length or count it finds in the text: a string length or element
// count that the remaining input cannot hold fails with CacheArchiveError before anything is
// allocated for it. The header is not read here; the caller checks it and sets the library
// version.
class CacheIArchive : public boost::archive::text_iarchive_impl<CacheIArchive> {
 public:
  // Reads from in, which the caller keeps alive for the archive's lifetime. Remaining and
  // Position ask in's buffer directly, so in should be a std::istringstream.
  explicit CacheIArchive(std::istream& in);
  ~CacheIArchive() override;

  // Bytes of the input not consumed yet.
  std::size_t Remaining();
  // Offset of the next byte to read (for messages).
  std::size_t Position();
  // true when nothing but white space is left.
  bool OnlyWhiteSpaceLeft();

 protected:
  friend class boost::archive::detail::interface_iarchive<CacheIArchive>;
  friend class boost::archive::load_access;

  template <class T>
  void load(T& value) {
    boost::archive::text_iarchive_impl<CacheIArchive>::load(value);
  }
  // Length, one separating byte, then exactly that many bytes.
  void load(std::string& text);
  // Every element takes at least two bytes of text (a separator and a digit), so a count above
  // half the remaining input cannot be genuine and is refused.
  void load(boost::serialization::collection_size_type& count);
};

}  // namespace imp
}  // namespace nivo
}  // namespace zu

namespace boost {
namespace serialization {

// boost's vector loader reserves and default-constructs as many elements as the count it reads.
// This one reserves no more than about four times the remaining text in bytes and otherwise
// lets the vector grow with the elements actually read, so a count can never size a large
// allocation by itself. The layout read is the same.
template <class U, class Allocator>
void load(zu::nivo::imp::CacheIArchive& archive, std::vector<U, Allocator>& elements,
          const unsigned int /*version*/) {
  collection_size_type count;
  item_version_type itemVersion(0);
  archive >> BOOST_SERIALIZATION_NVP(count);
  if (boost::archive::library_version_type(3) < archive.get_library_version())
    archive >> BOOST_SERIALIZATION_NVP(itemVersion);
  elements.clear();
  const std::size_t bytesPerElement = sizeof(U) / 4 > 2 ? sizeof(U) / 4 : 2;
  const std::size_t wanted = count;
  const std::size_t affordable = archive.Remaining() / bytesPerElement;
  elements.reserve(wanted < affordable ? wanted : affordable);
  for (std::size_t i = 0; i < count; ++i) {
    elements.emplace_back();
    archive >> make_nvp("item", elements.back());
  }
}

// Dates: the usual eight digits are read directly; any other text is read as boost reads it
// (the special values, and the same exceptions for text that is not a date).
void load(zu::nivo::imp::CacheIArchive& archive, boost::gregorian::date& date,
          const unsigned int version);

// A time_duration appears in the caches only as the time of day of a ptime. Anything outside
// [00:00:00, 24:00:00) is refused here: such values are never written, and boost would
// compute ticks from them without a range check.
void load(zu::nivo::imp::CacheIArchive& archive, boost::posix_time::time_duration& timeOfDay,
          const unsigned int version);

}  // namespace serialization
}  // namespace boost
