#include "provider/Guide.h"

#include <algorithm>

#include "provider/Programmes.h"

namespace zu {
namespace provider {

namespace {

const char* const kEpisodeTitles[] = {
    "Der letzte Zeuge",
    "Falsches Spiel",
    "Unter Verdacht",
    "Heimkehr",
    "Die Erbschaft",
    "Ein Freund in Not",
    "Nachtschicht",
    "Alte Liebe &amp; neue Wege",
    "Das Gest\xC3\xA4ndnis",
    "Funkstille",
    ("Sturm \xC3\xBC"
     "ber dem Hafen"),
    "Zweite Chance",
    "Doppeltes Spiel",
    "Die Wette",
    "Verloren im Nebel",
    "Sam&#39;s Geheimnis",
    "Der Fremde",
    "Tag der Entscheidung",
};
const char* const kTopics[] = {
    "Themen des Tages",
    "Mit G\xC3\xA4sten aus Politik &amp; Kultur",
    "Spezial",
    "Aus dem Studio",
    "Die besten Tipps der Woche",
    "Zu Gast: Familie M\xC3\xBCller",
};
const char* const kSportSubTitles[] = {
    "Live",
    ("Live-\xC3\x9C"
     "bertragung"),
    "Zusammenfassung",
    "Highlights",
    "Vorberichte &amp; Analyse",
};
const char* const kDocumentarySubTitles[] = {
    "Teil 1",
    "Teil 2",
    "Im Reich der W\xC3\xB6lfe",
    "Der lange Winter",
    "Wasser &amp; Leben",
    "Die verborgene Welt",
    "Tokio",
    "Lagos",
    "Vom Aufstieg und Fall",
};
const char* const kFirstNames[] = {
    "Anna", "Jonas",  "Marie",  "Lukas",  "Sophie", "Felix",      "Clara", "Paul", "Lea",
    "Max",  "Ingrid", "Henrik", "Giulia", "Pierre", "Zo\xC3\xAB", "Tom",   "Emma", "Kai",
};
const char* const kSurnames[] = {
    "Berger",        "Hoffmann", "Lindqvist", "Sommer",      "Keller", "Brandt",
    "Vogel",         "Dubois",   "Rossi",     "O&#39;Neill", "Jansen", "Wagner",
    "M\xC3\xBCller", "Novak",    "Hansen",    "Fischer",     "Carter", "Weber",
};
const char* const kPlots[] = {
    "Eine Frau kehrt nach zwanzig Jahren in ihr Heimatdorf zur\xC3\xBC"
    "ck &#8211; und "
    "st\xC3\xB6\xC3\x9Ft auf ein altes Geheimnis.",
    "Ein Ermittler muss einen Fall l\xC3\xB6sen, der ihn pers\xC3\xB6nlich betrifft.",
    "Zwei ungleiche Freunde machen sich auf eine Reise quer durch Europa.",
    "Als ein Brief aus der Vergangenheit auftaucht, ger\xC3\xA4t die Familie in Aufruhr.",
    "Ein junger Musiker tr\xC3\xA4umt vom gro\xC3\x9F"
    "en Durchbruch &amp; riskiert alles.",
    "Eine Kleinstadt h\xC3\xA4lt den Atem an, als ein Fremder eintrifft.",
    "Der Kapit\xC3\xA4n einer F\xC3\xA4hre entdeckt, dass nicht alle Passagiere sind, wer sie "
    "vorgeben zu sein.",
    "Eine Wissenschaftlerin macht eine Entdeckung, die alles ver\xC3\xA4ndert.",
};
const char* const kTeasers[] = {
    "Die Sendung berichtet &#252;ber aktuelle Ereignisse aus aller Welt.",
    "Mit Reportagen, Interviews &amp; Hintergr\xC3\xBCnden.",
    "Heute mit einem Blick hinter die Kulissen.",
    "Zuschauerinnen &amp; Zuschauer k\xC3\xB6nnen sich mit Fragen beteiligen.",
    "Eindrucksvolle Bilder aus Regionen, die kaum jemand kennt.",
    "Der Film zeigt, wie Menschen &#39;gestern&#39; und heute leben.",
};

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : Next() % bound; }

 private:
  std::uint64_t state_;
};

std::uint64_t Mix(std::uint64_t a, std::uint64_t b, std::uint64_t c = 0) {
  Random random(a * 0x100000001B3ull ^ (b << 1) ^ (c * 0xC2B2AE3D27D4EB4Full));
  return random.Next();
}

template <typename T, std::size_t N>
constexpr std::size_t Count(const T (&)[N]) {
  return N;
}

// Picks a programme of the pools that may start at this hour, fits into `remaining` minutes
// and differs from the previous show; falls back to shorter material so that every gap can
// be closed.
const Programme& Pick(const char* pools, unsigned hour, unsigned remaining,
                      const Programme* previous, Random& random) {
  std::size_t poolCount = std::char_traits<char>::length(pools);
  bool previousWasShort = previous != nullptr && previous->kind == 'N';
  for (int attempt = 0; attempt < 12; ++attempt) {
    char kind = pools[random.Below(poolCount)];
    if (kind == 'N' && previousWasShort && attempt < 8) {
      continue;  // no runs of news flashes
    }
    std::vector<const Programme*> candidates;
    for (const Programme& programme : Programmes()) {
      if (programme.kind == kind && &programme != previous && programme.StartsAt(hour) &&
          programme.minMinutes <= remaining) {
        candidates.push_back(&programme);
      }
    }
    if (!candidates.empty()) {
      return *candidates[random.Below(candidates.size())];
    }
  }
  // Whatever closes the gap best: night material, documentaries or news that can take all
  // of the remaining time, else anything short enough.
  std::vector<const Programme*> whole, fitting;
  for (const Programme& programme : Programmes()) {
    if ((programme.kind == 'X' || programme.kind == 'N' || programme.kind == 'D') &&
        programme.minMinutes <= remaining && &programme != previous) {
      fitting.push_back(&programme);
      if (programme.maxMinutes >= remaining && programme.StartsAt(hour)) {
        whole.push_back(&programme);
      }
    }
  }
  const std::vector<const Programme*>& choice = whole.empty() ? fitting : whole;
  return *choice[random.Below(choice.size())];
}

std::string PersonName(std::uint64_t seed) {
  return std::string(kFirstNames[seed % Count(kFirstNames)]) + " " +
         kSurnames[(seed / 31) % Count(kSurnames)];
}

std::string SubTitleFor(const Programme& programme, std::uint64_t seed) {
  switch (programme.kind) {
    case 'S':
      return "Folge " + std::to_string(1 + seed % 120) + ": " +
             kEpisodeTitles[(seed >> 8) % Count(kEpisodeTitles)];
    case 'K':
      return seed % 3 == 0 ? std::string() : "Folge " + std::to_string(1 + seed % 52);
    case 'P':
      return kSportSubTitles[seed % Count(kSportSubTitles)];
    case 'D':
      return kDocumentarySubTitles[seed % Count(kDocumentarySubTitles)];
    case 'M':
    case 'W':
    case 'R':
      return seed % 2 == 0 ? std::string() : kTopics[(seed >> 4) % Count(kTopics)];
    default:
      return std::string();
  }
}

// The first show after the day's first whose successor lasts at least twice the shift ends
// later by the shift, and the successor starts then.
void MoveOneShow(std::vector<Show>& shows) {
  const CivilSeconds kShift = 600;
  for (std::size_t i = 1; i + 1 < shows.size(); ++i) {
    if (shows[i + 1].end - shows[i + 1].start >= 2 * kShift) {
      shows[i].end += kShift;
      shows[i + 1].start += kShift;
      return;
    }
  }
}

}  // namespace

std::int64_t Guide::FirstDay() {
  return DaysFromCivil(2015, 1, 1);
}

std::int64_t Guide::LastDay() {
  return FirstDay() + 0x1FFF;
}

std::vector<Show> Guide::Day(const Station& station, std::int64_t day) const {
  std::vector<Show> shows;
  if (day < FirstDay() || day > LastDay()) {
    return shows;
  }
  std::size_t ordinal = catalogue_.OrdinalOf(station);
  std::uint32_t idBase =
      static_cast<std::uint32_t>(ordinal) << 21 | static_cast<std::uint32_t>(day - FirstDay()) << 8;
  Random random(Mix(station.uid, static_cast<std::uint64_t>(day), 0x5EED));
  const ProfileSchedule& schedule = ScheduleOf(station.profile);
  CivilSeconds midnight = day * kSecondsPerDay;
  for (std::size_t part = 0; schedule.parts[part].pools != nullptr; ++part) {
    unsigned from = schedule.parts[part].clockMinute;
    unsigned to = schedule.parts[part + 1].pools != nullptr ? schedule.parts[part + 1].clockMinute
                                                            : 29 * 60;  // 05:00 next day
    unsigned cursor = from;
    while (cursor < to) {
      unsigned remaining = to - cursor;
      const Programme* previous = shows.empty() ? nullptr : shows.back().programme;
      const Programme& programme =
          Pick(schedule.parts[part].pools, cursor / 60 % 24, remaining, previous, random);
      unsigned longest = std::min(programme.maxMinutes, remaining);
      unsigned steps = (longest - programme.minMinutes) / 5 + 1;
      unsigned minutes = programme.minMinutes + 5 * static_cast<unsigned>(random.Below(steps));
      if (remaining - minutes < 15 && remaining <= programme.maxMinutes) {
        minutes = remaining;  // rather a longer show than a leftover scrap
      }
      if (shows.size() == 255) {
        minutes = remaining;  // the id has room for 256 shows a day; never reached in practice
      }
      Show show;
      show.id = idBase | static_cast<std::uint32_t>(shows.size());
      show.start = midnight + static_cast<CivilSeconds>(cursor) * 60;
      show.end = show.start + static_cast<CivilSeconds>(minutes) * 60;
      show.seed = Mix(station.uid, static_cast<std::uint64_t>(day), shows.size() + 1);
      show.programme = &programme;
      show.title = programme.title;
      show.subTitle = SubTitleFor(programme, show.seed);
      show.type = programme.type;
      show.genre = programme.genre;
      show.country = programme.country != nullptr ? programme.country : "";
      show.year = programme.year;
      shows.push_back(show);
      cursor += minutes;
    }
  }
  if (movedShows_) {
    MoveOneShow(shows);
  }
  return shows;
}

std::vector<Show> Guide::Overlapping(const Station& station, const Period& period) const {
  std::vector<Show> result;
  auto dayOf = [](CivilSeconds time) {
    CivilSeconds shifted = time - kDayStartOffset;
    return shifted >= 0 ? shifted / kSecondsPerDay
                        : (shifted - kSecondsPerDay + 1) / kSecondsPerDay;
  };
  for (std::int64_t day = dayOf(period.start); day <= dayOf(period.End()); ++day) {
    for (const Show& show : Day(station, day)) {
      if (period.Overlaps(show.start, show.end)) {
        result.push_back(show);
      }
    }
  }
  return result;
}

bool Guide::Find(std::uint32_t id, Show& show, const Station*& station) const {
  const Station* owner = catalogue_.ByOrdinal(id >> 21);
  if (owner == nullptr) {
    return false;
  }
  std::vector<Show> shows = Day(*owner, FirstDay() + ((id >> 8) & 0x1FFF));
  std::size_t index = id & 0xFF;
  if (index >= shows.size()) {
    return false;
  }
  show = shows[index];
  station = owner;
  return true;
}

ShowDetails Guide::Details(const Station& station, const Show& show) const {
  ShowDetails details;
  const Programme& programme = *show.programme;
  std::uint64_t seed = show.seed;
  std::string& text = details.description;
  switch (programme.kind) {
    case 'F': {
      text = std::string(programme.genre) + ", " + programme.country + " " +
             std::to_string(programme.year) + ". " + kPlots[seed % Count(kPlots)];
      std::vector<std::string> actors{"Actor"};
      for (unsigned i = 0; i < 2 + seed % 3; ++i) {
        actors.push_back(PersonName(seed >> (8 + 6 * i)));
      }
      text += " Mit " + actors[1] + " &amp; " + actors[2] + ".";
      details.persons.push_back({"Director", PersonName(seed >> 40)});
      details.persons.push_back(actors);
      if (seed % 4 == 0) {
        details.persons.push_back({"Writer", PersonName(seed >> 44), PersonName(seed >> 50)});
      }
      break;
    }
    case 'S':
      text = "Serie, " + std::string(programme.country) + " seit " +
             std::to_string(programme.year) + ". " + kPlots[(seed >> 3) % Count(kPlots)];
      details.persons.push_back({"Director", PersonName(seed >> 20)});
      details.persons.push_back({"Actor", PersonName(seed >> 12), PersonName(seed >> 28)});
      break;
    case 'P':
      text =
          std::string(programme.title) + " auf " + station.name + ". " + kTeasers[(seed >> 5) % 2];
      details.persons.push_back({"Commentator", PersonName(seed >> 16)});
      break;
    case 'D':
      text = kTeasers[4 + seed % 2] + std::string(" Eine Dokumentation von ") +
             PersonName(seed >> 24) + ".";
      details.persons.push_back({"Director", PersonName(seed >> 24)});
      break;
    case 'K':
      text = "Kinderprogramm: " + std::string(programme.title) +
             ". Spa\xC3\x9F &amp; Spannung "
             "f\xC3\xBCr Kinder ab " +
             std::to_string(4 + seed % 6) + " Jahren.";
      break;
    case 'U':
      text = "Musik: " + std::string(programme.genre) + ". " + kTeasers[2];
      break;
    case 'X':
      text = "Das Nachtprogramm von " + station.name + ".";
      break;
    default:
      text = kTeasers[seed % 4];
      details.persons.push_back({"Presenter", PersonName(seed >> 10)});
      break;
  }
  return details;
}

}  // namespace provider
}  // namespace zu
