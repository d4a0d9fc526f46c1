#pragma once

namespace zu {
namespace nivo {
namespace imp {

// The numbers of the cache archive layout, for its writer (CacheTextWriter) and its reader
// (CacheTextReader) alike. A cache text starts with the signature, as a string, and the
// archive version; the first object of each class type in a text is preceded by its tracking
// level (always 0: nothing is stored through pointers) and its class version, and every
// collection carries its element count and the item version of its elements.
constexpr char kArchiveSignature[] = "serialization::archive";
constexpr unsigned int kArchiveVersion = 13;

// The class version of every class type of the layout, and so the item version of every
// collection, except the channel's.
constexpr unsigned int kClassVersion = 0;

// The channel's class version. Version 1 added the radio flag after the groups; tables of
// version 0 are still read, every channel in them a TV channel.
constexpr unsigned int kChannelVersion = 1;
constexpr unsigned int kChannelVersionWithRadioFlag = 1;

}  // namespace imp
}  // namespace nivo
}  // namespace zu
