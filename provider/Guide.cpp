#include "provider/Guide.h"

#include <algorithm>

namespace zu {
namespace provider {

// A programme a station can schedule; a show is one broadcast of it.
struct Programme {
  char kind;  // pool letter, see kPools
  const char* title;
  const char* type;
  const char* genre;
  unsigned minMinutes;  // multiples of 5, at least 5
  unsigned maxMinutes;  // at most 180
  const char* country;  // nullptr: none given
  unsigned year;        // 0: none given
  // Clock hours [fromHour, toHour) in which the programme may start; wraps past midnight
  // when fromHour > toHour. The default allows any time.
  unsigned fromHour = 0;
  unsigned toHour = 24;

  bool StartsAt(unsigned hour) const {
    return fromHour <= toHour ? hour >= fromHour && hour < toHour
                              : hour >= fromHour || hour < toHour;
  }
};

namespace {

// Pool letters: H headline news, N news, A morning show, M magazine, W show, S series, F film, P
// sport, D documentary, K children, U music, R regional, X night filler.
const Programme kProgrammes[] = {
    {'H', "Die Nachrichten", "Nachrichten", "Information", 15, 15, nullptr, 0},
    {'N', "Nachrichten", "Nachrichten", "Information", 5, 10, nullptr, 0},
    {'N', "Nachrichten kompakt", "Nachrichten", "Information", 5, 15, nullptr, 0},
    {'N', "Wetter", "Nachrichten", "Wetter", 5, 5, nullptr, 0},
    {'N', "B\xC3\xB6rse &amp; Wirtschaft", "Nachrichten", "Wirtschaft", 5, 15, nullptr, 0},
    {'N', "Wetter &amp; Verkehr", "Nachrichten", "Wetter", 5, 10, nullptr, 0},
    {'N', "Abendthemen", "Nachrichten", "Information", 15, 30, nullptr, 0, 21, 1},
    {'N', "Blick in die Welt", "Nachrichten", "Ausland", 30, 45, nullptr, 0, 17, 24},
    {'A', "Morgenmagazin", "Magazin", "Information", 60, 180, nullptr, 0, 5, 9},
    {'M', "Mittagsmagazin", "Magazin", "Information", 30, 60, nullptr, 0, 11, 15},
    {'M', "Tageslicht", "Magazin", "Boulevard", 30, 45, nullptr, 0, 15, 19},
    {'M', "Markt &amp; Verbraucher", "Magazin", "Verbraucher", 30, 45, nullptr, 0},
    {'M', "Gesundheit!", "Magazin", "Gesundheit", 30, 45, nullptr, 0},
    {'M', "Reisezeit", "Magazin", "Reise", 30, 45, nullptr, 0},
    {'M', "Kochen mit Klara", "Magazin", "Kochen", 25, 30, nullptr, 0, 10, 19},
    {'M', "Ratgeber: Haus &amp; Garten", "Magazin", "Ratgeber", 30, 30, nullptr, 0},
    {'M', "Wissen hoch drei", "Magazin", "Wissenschaft", 30, 45, nullptr, 0},
    {'W', "Wer wei\xC3\x9F es?", "Show", "Quiz", 45, 60, nullptr, 0},
    {'W',
     "Das gro\xC3\x9F"
     "e Quiz",
     "Show", "Quiz", 90, 120, nullptr, 0, 18, 23},
    {'W', "Talk am Abend", "Show", "Talk", 60, 75, nullptr, 0, 21, 2},
    {'W', "Duell am Herd", "Show", "Kochshow", 45, 60, nullptr, 0, 14, 20},
    {'W', "Samstagabend-Show", "Show", "Unterhaltung", 120, 180, nullptr, 0, 20, 22},
    {'W', "Die Sp\xC3\xA4tausgabe", "Show", "Late Night", 45, 60, nullptr, 0, 22, 2},
    {'S', "Kommissar Berger", "Serie", "Krimi", 55, 60, "Deutschland", 2012},
    {'S', "Soko Elbufer", "Serie", "Krimi", 45, 50, "Deutschland", 2009},
    {'S', "Alpenwacht", "Serie", "Action", 45, 45, "\xC3\x96sterreich", 2015},
    {'S', "Praxis Dr. Sommer", "Serie", "Arztserie", 45, 50, "Deutschland", 2004},
    {'S', "Hotel Seeblick", "Serie", "Familie", 45, 45, "Deutschland", 2018},
    {'S', "WG mit Herz", "Serie", "Sitcom", 20, 25, "Deutschland", 2020},
    {'S', "Stadtwache Nord", "Serie", "Krimi", 45, 50, "Deutschland", 2016},
    {'S', "Hafenrevier 7", "Serie", "Krimi", 45, 45, "Deutschland", 2011},
    {'S', "The Night Desk", "Serie", "Drama", 40, 45, "USA", 2019},
    {'S', "Familie Lindqvist", "Serie", "Drama", 45, 50, "Schweden", 2017},
    {'S', "Jack&#39;s Diner", "Serie", "Sitcom", 20, 25, "USA", 2014},
    {'S', "Inspector Hale", "Serie", "Krimi", 90, 90,
     "Gro\xC3\x9F"
     "britannien",
     2008},
    {'F',
     "Der Himmel \xC3\xBC"
     "ber Lissabon",
     "Spielfilm", "Drama", 95, 110, "Portugal", 1994},
    {'F', "Sommer in Ravello", "Spielfilm",
     "Kom\xC3\xB6"
     "die",
     90, 100, "Italien", 2011},
    {'F', "Die letzte F\xC3\xA4hre", "Spielfilm", "Thriller", 100, 115, "Deutschland", 2003},
    {'F', "Nachtzug nach Triest", "Spielfilm", "Krimi", 95, 105, "Deutschland", 2016},
    {'F', "Ein Herz &amp; eine Krone", "Spielfilm", "Liebesfilm", 90, 100, "\xC3\x96sterreich",
     1958},
    {'F',
     "Jack&#39;s R\xC3\xBC"
     "ckkehr",
     "Spielfilm", "Western", 105, 120, "USA", 1966},
    {'F', "Rock &#8217;n&#8217; Roll Forever", "Spielfilm", "Musikfilm", 95, 110, "USA", 1987},
    {'F', "Das Geheimnis von Burg Falkenau", "Spielfilm", "Abenteuer", 85, 95, "Deutschland", 1972},
    {'F', "Gegen den Wind", "Spielfilm", "Drama", 110, 130, "D\xC3\xA4nemark", 2019},
    {'F', "Die Wolkenfischer", "Spielfilm", "Familienfilm", 85, 95, "Deutschland", 2008},
    {'F', "Operation Nordlicht", "Spielfilm", "Action", 115, 135, "Norwegen", 2013},
    {'F', "Zwischen den Zeilen", "Spielfilm", "Drama", 100, 120, "Frankreich", 2021},
    {'F', "Die Farbe des Meeres", "Spielfilm", "Liebesfilm", 95, 105, "Spanien", 2005},
    {'F', "Sternenstaub", "Spielfilm", "Science-Fiction", 130, 175, "USA", 1999},
    {'F', "Der stille Zeuge", "Spielfilm", "Krimi", 90, 90, "Deutschland", 1961},
    {'F',
     "Kleine Helden, gro\xC3\x9F"
     "e Pl\xC3\xA4ne",
     "Spielfilm",
     "Kom\xC3\xB6"
     "die",
     85, 95, "Frankreich", 2017},
    {'F', "Mord im Grand Hotel", "Spielfilm", "Krimi", 100, 100,
     "Gro\xC3\x9F"
     "britannien",
     1974},
    {'F', "Ein Sommer in Kapstadt", "Spielfilm", "Liebesfilm", 90, 90, "Deutschland", 2010},
    {'P',
     "Fu\xC3\x9F"
     "ball: Liga live",
     "Sport",
     "Fu\xC3\x9F"
     "ball",
     110, 135, nullptr, 0, 12, 22},
    {'P', "Sport am Samstag", "Sport", "Sportmagazin", 60, 120, nullptr, 0, 13, 20},
    {'P', "Tennis: Finale der Meister", "Sport", "Tennis", 120, 180, nullptr, 0},
    {'P', "Handball: Liga live", "Sport", "Handball", 90, 110, nullptr, 0},
    {'P', "Radsport: Rundfahrt", "Sport", "Radsport", 150, 180, nullptr, 0, 10, 17},
    {'P', "Biathlon-Weltcup", "Sport", "Wintersport", 60, 90, nullptr, 0, 9, 18},
    {'P', "Motorsport-Magazin", "Sport", "Motorsport", 30, 60, nullptr, 0},
    {'P', "Sport kompakt", "Sport", "Sportnachrichten", 15, 30, nullptr, 0},
    {'P', "Boxen: Titelkampf", "Sport", "Boxen", 90, 150, nullptr, 0},
    {'P', "Eishockey live", "Sport", "Eishockey", 150, 180, nullptr, 0, 16, 22},
    {'D', "Wildes Skandinavien", "Dokumentation", "Natur", 45, 45, "Deutschland", 0},
    {'D', "Die Alpen von oben", "Dokumentation", "Reise", 45, 50, "Deutschland", 0},
    {'D', "Geheimnisse der Tiefsee", "Dokumentation", "Natur", 45, 50,
     "Gro\xC3\x9F"
     "britannien",
     0},
    {'D', "Expedition Amazonas", "Dokumentation", "Abenteuer", 45, 90, "Brasilien", 0},
    {'D', "Metropolen der Welt", "Dokumentation", "Reise", 30, 45, "Frankreich", 0},
    {'D', "Die Geschichte der Eisenbahn", "Dokumentation", "Geschichte", 45, 60, "Deutschland", 0},
    {'D', "Spuren der Geschichte", "Dokumentation", "Geschichte", 45, 45, "Deutschland", 0},
    {'D', "Baumeister der Natur", "Dokumentation", "Natur", 30, 45, "Kanada", 0},
    {'D', "Unsere Erde: W\xC3\xBCsten", "Dokumentation", "Natur", 50, 90, "USA", 0},
    {'D', "Mensch &amp; Maschine", "Dokumentation", "Technik", 30, 45, "Deutschland", 0},
    {'D', "Die R\xC3\xB6mer am Rhein", "Dokumentation", "Geschichte", 45, 90, "Deutschland", 0},
    {'D', "Kaffee, Kakao &amp; Co.", "Dokumentation", "Wirtschaft", 30, 45, "Schweiz", 0},
    {'K', "Lenny der Dachs", "Kinder", "Zeichentrick", 10, 15, "Deutschland", 0},
    {'K', "Die kleinen Forscher", "Kinder", "Wissen", 25, 25, "Deutschland", 0},
    {'K', "Tom &amp; Tina", "Kinder", "Zeichentrick", 20, 25, "Frankreich", 0},
    {'K', "Piraten der Ostsee", "Kinder", "Abenteuer", 25, 25, "D\xC3\xA4nemark", 0},
    {'K', "Die Abenteuer von Kapit\xC3\xA4n Kork", "Kinder", "Zeichentrick", 10, 25, "Belgien", 0},
    {'K', "Kids&#39; Quiz", "Kinder", "Quiz", 25, 30, nullptr, 0},
    {'K', "Wissen macht Spa\xC3\x9F", "Kinder", "Wissen", 25, 30, nullptr, 0},
    {'K', "Gute-Nacht-Geschichte", "Kinder", "M\xC3\xA4rchen", 5, 10, nullptr, 0, 18, 21},
    {'K', "Die Drachenschule", "Kinder", "Fantasy", 20, 25, "Irland", 0},
    {'U', "Hits der Woche", "Musik", "Pop", 60, 120, nullptr, 0},
    {'U', "Musikvideos nonstop", "Musik", "Pop", 60, 180, nullptr, 0},
    {'U', "Konzert: Philharmonie live", "Musik", "Klassik", 90, 120, nullptr, 0, 18, 24},
    {'U', "Rock &#8217;n&#8217; Roll Legenden", "Musik", "Rock", 45, 60, nullptr, 0},
    {'U', "Schlagerparade", "Musik", "Schlager", 90, 120, nullptr, 0},
    {'U', "Jazz am Abend", "Musik", "Jazz", 60, 90, nullptr, 0, 19, 3},
    {'U', "Unplugged Sessions", "Musik", "Pop", 45, 60, nullptr, 0},
    {'R', "Regionalmagazin", "Magazin", "Regional", 30, 30, nullptr, 0},
    {'R', "Hallo Nachbarn", "Magazin", "Regional", 30, 45, nullptr, 0},
    {'R', "Abendschau", "Magazin", "Regional", 30, 30, nullptr, 0, 17, 21},
    {'R', "Land &amp; Leute", "Magazin", "Regional", 30, 45, nullptr, 0},
    {'R',
     "Stadtgespr\xC3\xA4"
     "ch",
     "Magazin", "Talk", 15, 30, nullptr, 0},
    {'R', "Regionalnachrichten", "Nachrichten", "Regional", 5, 15, nullptr, 0},
    {'X', "Programmhinweise", "Information", "Programmvorschau", 5, 10, nullptr, 0},
    {'X', "Panoramabilder", "Information", "Landschaft", 30, 180, nullptr, 0, 0, 7},
    {'X', "Teleshopping", "Werbung", "Einkaufen", 30, 60, nullptr, 0, 1, 10},
};

// Time ranges of a day and the pools they draw from; a letter repeated weighs more.
struct Daypart {
  unsigned clockMinute;  // start, minutes after midnight
  const char* pools;
};
struct ProfileSchedule {
  Profile profile;
  Daypart parts[12];  // ends with a null pools entry
};

const ProfileSchedule kSchedules[] = {
    {Profile::kGeneral,
     {{5 * 60, "AAN"},
      {9 * 60, "SSWMD"},
      {12 * 60, "H"},
      {12 * 60 + 15, "SWMSDM"},
      {16 * 60, "RWSM"},
      {20 * 60, "H"},
      {20 * 60 + 15, "FFSW"},
      {22 * 60 + 15, "NM"},
      {23 * 60, "WF"},
      {24 * 60 + 30, "FDSX"},
      {0, nullptr}}},
    {Profile::kNews,
     {{5 * 60, "NNM"},
      {9 * 60, "NNMD"},
      {18 * 60, "NNM"},
      {20 * 60, "H"},
      {20 * 60 + 15, "NDM"},
      {23 * 60, "DN"},
      {25 * 60, "DDN"},
      {0, nullptr}}},
    {Profile::kSport,
     {{5 * 60, "PPX"},
      {9 * 60, "PPM"},
      {14 * 60, "PPP"},
      {20 * 60, "PP"},
      {23 * 60, "PN"},
      {25 * 60, "PX"},
      {0, nullptr}}},
    {Profile::kKids,
     {{5 * 60, "KK"},
      {12 * 60, "KKK"},
      {18 * 60, "KK"},
      {19 * 60 + 50, "K"},
      {20 * 60, "DX"},
      {0, nullptr}}},
    {Profile::kFilm,
     {{5 * 60, "FX"},
      {12 * 60, "FF"},
      {20 * 60 + 15, "F"},
      {22 * 60 + 15, "F"},
      {24 * 60 + 30, "FX"},
      {0, nullptr}}},
    {Profile::kDocumentary,
     {{5 * 60, "DD"}, {12 * 60, "DDM"}, {20 * 60 + 15, "D"}, {23 * 60, "DDX"}, {0, nullptr}}},
    {Profile::kSeries,
     {{5 * 60, "SX"},
      {9 * 60, "SS"},
      {20 * 60 + 15, "S"},
      {23 * 60, "SF"},
      {25 * 60, "SX"},
      {0, nullptr}}},
    {Profile::kMusic, {{5 * 60, "UU"}, {20 * 60, "UU"}, {23 * 60, "UX"}, {0, nullptr}}},
    {Profile::kRegional,
     {{5 * 60, "XR"},
      {9 * 60, "RSD"},
      {18 * 60, "RR"},
      {19 * 60 + 30, "R"},
      {20 * 60, "H"},
      {20 * 60 + 15, "DSF"},
      {22 * 60, "RN"},
      {23 * 60, "DX"},
      {0, nullptr}}},
    {Profile::kCulture,
     {{5 * 60, "DU"},
      {12 * 60, "DUM"},
      {20 * 60 + 15, "FUD"},
      {22 * 60 + 30, "DU"},
      {25 * 60, "DX"},
      {0, nullptr}}},
};

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

const ProfileSchedule& ScheduleOf(Profile profile) {
  for (const ProfileSchedule& schedule : kSchedules) {
    if (schedule.profile == profile) {
      return schedule;
    }
  }
  return kSchedules[0];
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
    for (const Programme& programme : kProgrammes) {
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
  for (const Programme& programme : kProgrammes) {
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
