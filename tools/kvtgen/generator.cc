#include "kvtgen/generator.h"

#include <algorithm>
#include <array>
#include <bit>

#include "core/text.h"

namespace kvt::comms {
namespace {

// splitmix64: a fast, well-mixed hash of one 64-bit word.
uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// What a random draw is for; each object draws from its own stream.
enum Draw : uint64_t {
  kStopName = 1,
  kStopPlace,
  kStopCode,
  kCoord,
  kLocality,
  kArcLength,
  kStart,
  kLeg,
  kDwell,
  kFlag,
  kAuthority,
  kRun,
  kExtraLeg
};

constexpr int32_t kUnknownId = 2100000000;

constexpr std::array<std::string_view, 10> kPlainWords = {
    "Roma",      "Garibaldi", "Mazzini", "Stazione", "Ospedale",
    "Municipio", "Duomo",     "Porto",   "Mercato",  "Castello"};
constexpr std::array<std::string_view, 10> kAccentedWords = {
    "Libertà", "Città",    "Università", "Trinità", "Perù",
    "Caffè",   "Gioventù", "Virtù",      "Sanità",  "Carità"};
constexpr std::array<std::string_view, 4> kStreetKinds = {"Piazza", "Via", "Largo", "Viale"};

int MonthsBetween(const Date& a, const Date& b) {
  return (b.year * 12 + b.month) - (a.year * 12 + a.month) + 1;
}

// One trip laid out: stops as pool indices, arrival minutes from midnight, dwell.
struct TripPlan {
  int64_t route = 0;  // route pool index
  std::vector<int64_t> stops;
  std::vector<int32_t> minutes;
  std::vector<int32_t> dwell;
  int32_t length = 0;
};

class Generator {
 public:
  explicit Generator(const GeneratorOptions& o) : o_(o) {}
  GeneratorReport Run(const std::string& path);

 private:
  bool Check();
  bool CheckFault();
  void ComputeCounts();
  void WriteProtocol();
  uint64_t Hash(Draw draw, uint64_t a, uint64_t b = 0) const {
    return Mix(o_.seed ^ Mix((static_cast<uint64_t>(draw) << 56) ^ a) ^ Mix(b * 0x2545F491ull));
  }
  bool Chance(uint64_t h, int percent) const { return static_cast<int>(h % 100) < percent; }

  // Pools: objects referenced from an earlier communication first, then the new ones.
  int64_t StopPool() const { return int64_t{o_.refStops} + o_.stops; }
  int64_t ArcPool() const { return int64_t{o_.refArcs} + arcs_; }
  int64_t RoutePool() const { return int64_t{o_.refRoutes} + o_.routes; }
  int32_t PoolId(int64_t i, int32_t refCount) const {
    return static_cast<int32_t>(i < refCount ? o_.refBase + 1 + i : o_.idBase + 1 + (i - refCount));
  }
  int32_t StopId(int64_t i) const { return PoolId(i, o_.refStops); }
  int32_t ArcId(int64_t j) const { return PoolId(j, o_.refArcs); }
  int32_t RouteId(int64_t r) const { return PoolId(r, o_.refRoutes); }
  int32_t TripId(int64_t t) const { return static_cast<int32_t>(o_.idBase + 1 + t); }
  int64_t ArcStart(int64_t j) const;
  int64_t NextStop(int64_t j) const;
  int32_t ArcLength(int32_t arcId) const {
    return 200 + static_cast<int32_t>(Mix(0xA5C0ull ^ static_cast<uint64_t>(arcId)) % 1800);
  }
  void RouteArcs(int64_t r, std::vector<int64_t>& arcs) const;
  void PlanTrip(int64_t t, TripPlan& plan) const;
  std::string StopName(int64_t i) const;

  void WriteStops();
  void WriteArcs();
  void WriteRouteHeads();
  void WriteRouteRows();
  void WriteTrips();
  void WriteTimetables();
  void WriteDays();
  void WriteTripDays(int32_t id, int64_t& row);

  // Faults.
  Section FaultSection(GenFault f) const;
  bool IsFaultRow(GenFault f, Section s, int64_t row) const;
  void Plant(long line, std::string description);
  void Begin(Section s);
  void End(Section s);
  template <class Row>
  void Emit(Section s, int64_t row, const Row& value);

  const GeneratorOptions& o_;
  int32_t arcs_ = 0;
  int32_t orariPerTrip_ = 0;
  int64_t faultRow_ = 0;
  KvtWriter w_;
  GeneratorReport report_;
  std::string text_;
};

int64_t Generator::ArcStart(int64_t j) const {
  // The earlier communication laid its arcs as a ring over its own stops; new arcs make a
  // ring over the whole pool starting at the first new stop.
  if (j < o_.refArcs && o_.refStops > 0) return j % o_.refStops;
  const int64_t k = j - (j < o_.refArcs ? 0 : o_.refArcs);
  return (o_.refStops + k) % StopPool();
}

int64_t Generator::NextStop(int64_t j) const {
  if (j < o_.refArcs && o_.refStops > 0) return (j + 1) % o_.refStops;
  const int64_t k = j - (j < o_.refArcs ? 0 : o_.refArcs);
  return (o_.refStops + k + 1) % StopPool();
}

// The arcs of a route, as arc pool indices: consecutive arcs of its own communication.
void Generator::RouteArcs(int64_t r, std::vector<int64_t>& arcs) const {
  const bool isNew = r >= o_.refRoutes;
  const int64_t k = isNew ? r - o_.refRoutes : r;
  const int64_t first = isNew ? o_.refArcs : 0;
  const int64_t available = isNew ? arcs_ : o_.refArcs;
  arcs.clear();
  for (int64_t s = 0; s < o_.routeRows; ++s) {
    if (available >= o_.routeRows) {
      arcs.push_back(first + (k * o_.routeRows) % (available - o_.routeRows + 1) + s);
    } else {
      arcs.push_back((k * o_.routeRows + s) % ArcPool());
    }
  }
}

void Generator::PlanTrip(int64_t t, TripPlan& plan) const {
  const int64_t routes = o_.routes > 0 ? o_.routes : o_.refRoutes;
  plan.route = (o_.routes > 0 ? o_.refRoutes : 0) + t % routes;
  std::vector<int64_t> arcs;
  RouteArcs(plan.route, arcs);
  plan.stops.assign(1, ArcStart(arcs[0]));
  std::vector<int32_t> legs;
  for (int32_t j = 1; j < orariPerTrip_; ++j) {
    if (j <= static_cast<int32_t>(arcs.size())) {
      plan.stops.push_back(NextStop(arcs[j - 1]));
      legs.push_back(ArcLength(ArcId(arcs[j - 1])));
    } else {
      plan.stops.push_back((plan.stops.back() + 1) % StopPool());
      legs.push_back(400 + static_cast<int32_t>(Hash(kExtraLeg, t, j) % 800));
    }
  }
  plan.dwell.assign(orariPerTrip_, 0);
  std::vector<int32_t> offsets(orariPerTrip_, 0);
  plan.length = 0;
  for (int32_t j = 1; j < orariPerTrip_; ++j) {
    plan.length += legs[j - 1];
    const int32_t ride =
        std::max(1, legs[j - 1] / 500) + static_cast<int32_t>(Hash(kLeg, t, j) % 2);
    if (j + 1 < orariPerTrip_ && Hash(kDwell, t, j) % 10 == 0) plan.dwell[j] = 1;
    offsets[j] = offsets[j - 1] + plan.dwell[j - 1] + ride;
  }
  const int32_t duration = offsets.back();
  const int32_t window = std::max(1, 24 * 60 - 5 * 60 - duration);
  const int32_t start = 5 * 60 + static_cast<int32_t>(Hash(kStart, t) % window);
  plan.minutes.resize(orariPerTrip_);
  for (int32_t j = 0; j < orariPerTrip_; ++j) plan.minutes[j] = start + offsets[j];
}

std::string Generator::StopName(int64_t i) const {
  const int32_t id = StopId(i);
  const uint64_t h = Hash(kStopName, static_cast<uint64_t>(id));
  const std::string_view word =
      Chance(h, o_.accentShare) ? kAccentedWords[(h >> 8) % 10] : kPlainWords[(h >> 8) % 10];
  const std::string_view kind = kStreetKinds[(h >> 16) % 4];
  return Utf8ToCp1252(Format("%.*s %.*s %d", static_cast<int>(kind.size()), kind.data(),
                             static_cast<int>(word.size()), word.data(), id));
}

bool Generator::Check() {
  auto fail = [&](const char* text) {
    report_.error = text;
    return false;
  };
  if (o_.stops < 0 || o_.routes < 0 || o_.trips < 0 || arcs_ < 0 || o_.refStops < 0 ||
      o_.refArcs < 0 || o_.refRoutes < 0 || o_.refTrips < 0 || o_.idBase < 0 || o_.refBase < 0) {
    return fail("counts and numbers must not be negative");
  }
  if (!IsValidDate(o_.datini) || !IsValidDate(o_.datfin) ||
      DayNumber(o_.datfin) < DayNumber(o_.datini)) {
    return fail("the period is not valid");
  }
  if (ArcPool() > 0 && StopPool() == 0) return fail("arcs need stops");
  if (o_.routes + o_.refRoutes > 0 && (o_.routeRows < 1 || ArcPool() == 0)) {
    return fail("routes need arcs and at least one row each");
  }
  if (o_.trips > 0 && RoutePool() == 0) return fail("trips need routes");
  if (o_.trips > 0 && (orariPerTrip_ < 2 || orariPerTrip_ > 400)) {
    return fail("a trip has from 2 to 400 timetable rows");
  }
  if (o_.authorities.empty() || o_.localities.empty()) return fail("no authority or locality");
  if (o_.runShare < 0 || o_.runShare > 100) return fail("the running share is a percentage");
  return true;
}

void Generator::ComputeCounts() {
  SectionCounts& c = report_.counts;
  c[Section::Fermate] = o_.stops;
  c[Section::Archi] = arcs_;
  c[Section::TesteItiner] = o_.routes;
  c[Section::RigheItiner] = int64_t{o_.routes} * o_.routeRows;
  c[Section::Corse] = o_.trips;
  c[Section::Orari] = int64_t{o_.trips} * orariPerTrip_;
  c[Section::Giorni] =
      o_.reference ? 0 : (int64_t{o_.trips} + o_.refTrips) * MonthsBetween(o_.datini, o_.datfin);
  if (o_.fault == GenFault::DuplicateStop) ++c[Section::Fermate];
  if (o_.fault == GenFault::DuplicateTrip) ++c[Section::Corse];
}

Section Generator::FaultSection(GenFault f) const {
  switch (f) {
    case GenFault::LongText:
    case GenFault::DuplicateStop:
      return Section::Fermate;
    case GenFault::UnknownRoute:
    case GenFault::DuplicateTrip:
      return Section::Corse;
    case GenFault::UnknownStop:
      return Section::Orari;
    case GenFault::BadMonth:
    case GenFault::UnknownTrip:
      return Section::Giorni;
    case GenFault::MissingDeclarator:
      return o_.faultSection.value_or(Section::Fermate);
    case GenFault::BadRow:
      return o_.faultSection.value_or(Section::Corse);
    default:
      return o_.faultSection.value_or(Section::Orari);
  }
}

bool Generator::IsFaultRow(GenFault f, Section s, int64_t row) const {
  return o_.fault == f && FaultSection(f) == s && row == faultRow_;
}

void Generator::Plant(long line, std::string description) {
  report_.fault = PlantedFault{line, std::move(description)};
}

void Generator::Begin(Section s) {
  if (o_.fault == GenFault::WrongCount && FaultSection(o_.fault) == s) {
    Plant(w_.LinesWritten() + 1,
          Format("header of <%s> differs from its declarator", SectionName(s).data()));
  }
  w_.BeginSection(s);
}

void Generator::End(Section s) {
  if (o_.fault == GenFault::Checksum && FaultSection(o_.fault) == s) {
    Plant(w_.LinesWritten() + 1, Format("wrong checksum of </%s>", SectionName(s).data()));
  }
  w_.EndSection();
}

template <class Row>
void Generator::Emit(Section s, int64_t row, const Row& value) {
  if (!IsFaultRow(GenFault::BadRow, s, row)) return w_.Write(value);
  text_.clear();
  AppendRow(text_, value);
  // One field less; a <giorni> row keeps only trip, year and month.
  size_t cut = text_.rfind('\t');
  if (s == Section::Giorni) cut = text_.find('\t', text_.find('\t', text_.find('\t') + 1) + 1);
  text_.erase(cut);
  Plant(w_.LinesWritten() + 1, Format("row of <%s> with a missing field", SectionName(s).data()));
  w_.WriteRawRow(text_);
}

void Generator::WriteStops() {
  Begin(Section::Fermate);
  for (int64_t i = 0; i < o_.stops; ++i) {
    const int64_t pool = o_.refStops + i;
    FermataRow row;
    row.ID = StopId(pool);
    const std::string code =
        Hash(kStopCode, row.ID) % 10 == 0 ? "" : Format("F%d", row.ID % 100000000);
    const std::string name = StopName(pool);
    const uint64_t h = Hash(kStopPlace, row.ID);
    const std::string place =
        h % 3 == 0 ? "" : Format("Fronte civico %d", static_cast<int>(h % 200) + 1);
    row.fermata = code;
    row.denom = name;
    row.ubicaz = place;
    row.local = o_.localities[Hash(kLocality, row.ID) % o_.localities.size()];
    const uint64_t c = Hash(kCoord, row.ID);
    if (!Chance(c, o_.noCoordShare)) {
      row.coord_x = 1500000.0 + static_cast<double>((c >> 8) % 30000000) / 100.0;
      row.coord_y = 4900000.0 + static_cast<double>((c >> 33) % 30000000) / 100.0;
    }
    if (IsFaultRow(GenFault::LongText, Section::Fermate, i)) {
      text_.clear();
      AppendRow(text_, row);
      const size_t nameAt = text_.find('\t', text_.find('\t') + 1) + 1;
      text_.replace(nameAt, name.size(), std::string(41, 'X'));
      Plant(w_.LinesWritten() + 1, "stop name of 41 characters");
      w_.WriteRawRow(text_);
      continue;
    }
    Emit(Section::Fermate, i, row);
    if (IsFaultRow(GenFault::DuplicateStop, Section::Fermate, i)) {
      // An extra row, so that no identifier that others reference goes missing.
      row.ID = StopId(0);
      Plant(w_.LinesWritten() + 1, Format("stop %d declared twice", row.ID));
      w_.Write(row);
    }
  }
  End(Section::Fermate);
}

void Generator::WriteArcs() {
  Begin(Section::Archi);
  for (int64_t i = 0; i < arcs_; ++i) {
    const int64_t j = o_.refArcs + i;
    ArcoRow row{ArcId(j), StopId(ArcStart(j)), StopId(NextStop(j)), 0};
    row.lung = ArcLength(row.ID);
    Emit(Section::Archi, i, row);
  }
  End(Section::Archi);
}

void Generator::WriteRouteHeads() {
  Begin(Section::TesteItiner);
  std::vector<int64_t> arcs;
  for (int64_t i = 0; i < o_.routes; ++i) {
    const int64_t r = o_.refRoutes + i;
    RouteArcs(r, arcs);
    const std::string code = Format("P%d", RouteId(r));
    const std::string name =
        "Percorso " + StopName(ArcStart(arcs.front())) + " - " + StopName(NextStop(arcs.back()));
    Emit(Section::TesteItiner, i, TestaItinerRow{RouteId(r), code, name});
  }
  End(Section::TesteItiner);
}

void Generator::WriteRouteRows() {
  Begin(Section::RigheItiner);
  std::vector<int64_t> arcs;
  int64_t row = 0;
  for (int64_t i = 0; i < o_.routes; ++i) {
    const int64_t r = o_.refRoutes + i;
    RouteArcs(r, arcs);
    int32_t dist = 0;
    for (size_t s = 0; s < arcs.size(); ++s) {
      const int32_t arc = ArcId(arcs[s]);
      dist += ArcLength(arc);
      RigaItinerRow value{RouteId(r), static_cast<int32_t>(s + 1), arc,
                          dist,       StopId(ArcStart(arcs[s])),   StopId(NextStop(arcs[s]))};
      Emit(Section::RigheItiner, row++, value);
    }
  }
  End(Section::RigheItiner);
}

void Generator::WriteTrips() {
  Begin(Section::Corse);
  TripPlan plan;
  const int64_t routes = std::max<int64_t>(1, o_.routes > 0 ? o_.routes : o_.refRoutes);
  for (int64_t t = 0; t < o_.trips; ++t) {
    PlanTrip(t, plan);
    CorsaRow row;
    row.ID = TripId(t);
    const std::string code = Format("C%d", row.ID);
    const std::string line = Format("L%d", RouteId(plan.route) % 100000);
    const std::string route = Format("P%d", RouteId(plan.route));
    row.codcorsa = code;
    row.codlinea = line;
    row.verso = t % 2 == 0 ? 'A' : 'R';
    row.ente = o_.authorities[Hash(kAuthority, plan.route) % o_.authorities.size()];
    row.percorso = route;
    row.codperc = RouteId(plan.route);
    row.capol_p = StopId(plan.stops.front());
    row.hh_p = plan.minutes.front() / 60;
    row.mm_p = plan.minutes.front() % 60;
    row.capol_a = StopId(plan.stops.back());
    row.hh_a = plan.minutes.back() / 60;
    row.mm_a = plan.minutes.back() % 60;
    row.lung = row.ct_lung = plan.length;
    row.tempo = row.ct_tempo = plan.minutes.back() - plan.minutes.front();
    // Trips of a route run in vehicle blocks of four: each one the next of the one before.
    const int64_t round = t / routes;
    if (round % 4 != 0) row.prevcor = TripId(t - routes);
    if (round % 4 != 3 && t + routes < o_.trips) row.nextcor = TripId(t + routes);
    row.mezzo = o_.modes.empty() ? ' ' : o_.modes[plan.route % o_.modes.size()];
    if (IsFaultRow(GenFault::UnknownRoute, Section::Corse, t)) {
      row.codperc = kUnknownId;
      Plant(w_.LinesWritten() + 1, Format("trip %d on unknown route %d", row.ID, kUnknownId));
    }
    Emit(Section::Corse, t, row);
    if (IsFaultRow(GenFault::DuplicateTrip, Section::Corse, t)) {
      row.ID = o_.refTrips > 0 ? o_.refBase + 1 : TripId(0);
      row.prevcor = row.nextcor = 0;
      Plant(w_.LinesWritten() + 1, Format("trip %d declared twice", row.ID));
      w_.Write(row);
    }
  }
  End(Section::Corse);
}

void Generator::WriteTimetables() {
  Begin(Section::Orari);
  TripPlan plan;
  int64_t row = 0;
  for (int64_t t = 0; t < o_.trips; ++t) {
    PlanTrip(t, plan);
    for (int32_t j = 0; j < orariPerTrip_; ++j) {
      OrarioRow value;
      value.ID = TripId(t);
      value.sub = j + 1;
      value.fermata = StopId(plan.stops[j]);
      value.hh = plan.minutes[j] / 60;
      value.mm = plan.minutes[j] % 60;
      value.sosta = plan.dwell[j];
      const uint64_t h = Hash(kFlag, t, j);
      value.primaria = j == 0 || j + 1 == orariPerTrip_ || h % 5 == 0;
      value.facolt = (h >> 8) % 20 == 0;
      value.nonferma = (h >> 16) % 30 == 0;
      if (IsFaultRow(GenFault::UnknownStop, Section::Orari, row)) {
        value.fermata = kUnknownId;
        Plant(w_.LinesWritten() + 1, Format("timetable row of unknown stop %d", kUnknownId));
      }
      Emit(Section::Orari, row++, value);
    }
  }
  End(Section::Orari);
}

void Generator::WriteTripDays(int32_t id, int64_t& row) {
  const Date& a = o_.datini;
  const Date& b = o_.datfin;
  for (int ym = a.year * 12 + a.month - 1; ym <= b.year * 12 + b.month - 1; ++ym) {
    GiorniRow value{id, ym / 12, ym % 12 + 1, 0};
    const bool first = ym == a.year * 12 + a.month - 1;
    const bool last = ym == b.year * 12 + b.month - 1;
    const int from = first ? a.day : 1;
    const int to = last ? b.day : DaysInMonth(value.mese, value.anno);
    for (int d = from; d <= to; ++d) {
      const Date day{d, value.mese, value.anno};
      if (Chance(Hash(kRun, static_cast<uint64_t>(id), DayNumber(day)), o_.runShare)) {
        value.days |= uint32_t{1} << d;
      }
    }
    if (value.days == 0) value.days = uint32_t{1} << from;
    report_.runningDays += std::popcount(value.days);
    if (IsFaultRow(GenFault::UnknownTrip, Section::Giorni, row)) {
      value.ID = kUnknownId;
      Plant(w_.LinesWritten() + 1, Format("running days of unknown trip %d", kUnknownId));
    }
    if (IsFaultRow(GenFault::BadMonth, Section::Giorni, row)) {
      text_.clear();
      value.mese = 1;
      AppendRow(text_, value);
      const size_t monthAt = text_.find('\t', text_.find('\t') + 1) + 1;
      text_.replace(monthAt, 1, "13");
      Plant(w_.LinesWritten() + 1, "running days of month 13");
      w_.WriteRawRow(text_);
      ++row;
      continue;
    }
    Emit(Section::Giorni, row++, value);
  }
}

void Generator::WriteDays() {
  Begin(Section::Giorni);
  int64_t row = 0;
  for (int32_t i = 0; i < o_.refTrips; ++i) WriteTripDays(o_.refBase + 1 + i, row);
  for (int64_t t = 0; t < o_.trips; ++t) WriteTripDays(TripId(t), row);
  End(Section::Giorni);
}

bool Generator::CheckFault() {
  if (o_.fault == GenFault::None) return true;
  const Section s = FaultSection(o_.fault);
  if (o_.reference && s == Section::Giorni && o_.fault != GenFault::ProtocolChecksum &&
      o_.fault != GenFault::UnknownCompany) {
    report_.error = "a reference base has no <giorni> section";
    return false;
  }
  switch (o_.fault) {
    case GenFault::Checksum:
    case GenFault::ProtocolChecksum:
    case GenFault::WrongCount:
    case GenFault::MissingDeclarator:
    case GenFault::UnknownCompany:
      return true;
    default:
      break;
  }
  // A duplicate is an extra row after the chosen one.
  const bool duplicate = o_.fault == GenFault::DuplicateStop || o_.fault == GenFault::DuplicateTrip;
  const int64_t rows = report_.counts[s] - (duplicate ? 1 : 0);
  faultRow_ = o_.faultRow.value_or(rows / 2);
  if (faultRow_ < 0 || faultRow_ >= rows) {
    report_.error = Format("no row %lld in <%s> to plant the fault on",
                           static_cast<long long>(faultRow_), SectionName(s).data());
    return false;
  }
  return true;
}

void Generator::WriteProtocol() {
  const std::string resple = Utf8ToCp1252(o_.resple);
  ProtocolRow row;
  row.reference = o_.reference;
  row.primacom = o_.primacom;
  row.tipo = o_.tipo;
  row.azzera = o_.azzera;
  row.azienda = o_.azienda;
  row.protoc = o_.protoc;
  row.p_data = o_.p_data.value_or(o_.datini);
  row.datini = o_.datini;
  row.datfin = o_.datfin;
  row.resple = resple;
  const long closingLine = o_.reference ? 9 : 10;
  WriterFaults faults;
  switch (o_.fault) {
    case GenFault::Checksum:
      faults.checksumSection = FaultSection(o_.fault);
      break;
    case GenFault::ProtocolChecksum:
      faults.protocolChecksum = true;
      Plant(closingLine, "wrong checksum of </protocollo>");
      break;
    case GenFault::WrongCount:
      faults.countSection = FaultSection(o_.fault);
      break;
    case GenFault::MissingDeclarator: {
      const Section s = FaultSection(o_.fault);
      faults.blankDeclarator = s;
      Plant(3 + static_cast<int>(s),
            Format("declarator %.*s with a blank instead of TAB",
                   static_cast<int>(Declarator(s).size()) - 1, Declarator(s).data()));
      break;
    }
    case GenFault::UnknownCompany:
      row.azienda = o_.faultValue;
      Plant(closingLine, Format("unknown company %d on line 2", o_.faultValue));
      break;
    default:
      break;
  }
  w_.SetFaults(faults);
  w_.WriteProtocol(row, report_.counts);
}

GeneratorReport Generator::Run(const std::string& path) {
  arcs_ = o_.arcs.value_or(o_.stops);
  orariPerTrip_ = o_.orariPerTrip.value_or(o_.routeRows + 1);
  if (!Check()) return report_;
  ComputeCounts();
  if (!CheckFault()) return report_;
  if (!w_.Open(path)) {
    report_.error = w_.Error();
    return report_;
  }
  WriteProtocol();
  WriteStops();
  WriteArcs();
  WriteRouteHeads();
  WriteRouteRows();
  WriteTrips();
  WriteTimetables();
  if (!o_.reference) WriteDays();
  report_.ok = w_.Close();
  report_.error = w_.Error();
  report_.lines = w_.LinesWritten();
  return report_;
}

}  // namespace

GeneratorReport GenerateCommunication(const GeneratorOptions& options, const std::string& path) {
  return Generator(options).Run(path);
}

}  // namespace kvt::comms
