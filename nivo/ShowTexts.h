#pragma once

#include <string>

#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

// The provider writes character references ("&amp;") into the texts of its shows. They are
// decoded here, and only here, by one rule: a show keeps the title and subtitle of the show
// list as delivered (so the guide cache holds the provider's bytes) until its details replace
// them, decoded; the host always gets them decoded.

// Replaces the character references the provider puts into its texts: "&lt;", "&gt;",
// "&amp;", "&apos;", "&quot;", and "&#" + decimal digits + ";" (the ";" may be missing at the
// end of the text), which becomes the code point in UTF-8. A number that is 0, above U+10FFFF
// or a surrogate becomes U+FFFD. Anything else, "&" included, is copied as it is.
std::string DecodeEntities(const std::string& text);

// Sets the texts a show's details bring, decoded: title, subtitle and description.
void SetDetailTexts(TVShow& show, const std::string& title, const std::string& subTitle,
                    const std::string& description);

// The show as the host is to see it: show itself when nothing in it needs decoding, otherwise
// storage, made a copy of show with its title and subtitle decoded.
const TVShow& ShowForHost(const TVShow& show, TVShow& storage);

}  // namespace nivo
}  // namespace zu
