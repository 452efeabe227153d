// Test helpers for communication files: a strict reader that walks a whole file the way the
// import's first pass does (structure, row formats, counts, checksums, identifiers) and
// tells the first structural fault and every identifier fault with its line.
#pragma once

#include <unistd.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "comms/kvt_format.h"
#include "core/text.h"

namespace kvt::comms::test {

struct LineFault {
  long line = 0;
  std::string what;
};

struct FileCheck {
  bool structureOk = false;
  LineFault structural;               // the first structural fault, when !structureOk
  std::vector<LineFault> references;  // unknown or duplicate identifiers
  ProtocolRow protocol;               // scalar fields only
  SectionCounts counts;
  int64_t runningDays = 0;
  long lines = 0;
};

// Identifiers that an earlier communication put in the database.
struct KnownIds {
  std::set<int32_t> stops, arcs, routes, trips;
};

class Checker {
 public:
  Checker(const std::string& path, bool reference, const KnownIds& known)
      : reference_(reference), known_(known) {
    opened_ = reader_.Open(path);
  }

  FileCheck Run() {
    if (!opened_) return Fail("cannot open", 0);
    if (!Protocol()) return r_;
    for (Section s : kSections) {
      if (s == Section::Giorni && reference_) break;
      if (!ReadSection(s)) return r_;
    }
    r_.structureOk = true;
    r_.lines = reader_.LineNumber();
    return r_;
  }

 private:
  FileCheck Fail(std::string what, long line = -1) {
    r_.structural = {line < 0 ? reader_.LineNumber() : line, std::move(what)};
    return r_;
  }
  bool Next(std::string_view& rec) {
    if (reader_.Next(rec)) return true;
    Fail("missing line", reader_.LineNumber() + 1);
    return false;
  }

  bool Protocol() {
    std::string_view rec;
    if (!Next(rec) || TaggedNumber(rec, kProtocolOpen) != 1) return Fail("protocol header"), false;
    if (!Next(rec)) return false;
    // A reference base carries "R" where a communication has S/N: check it as "S".
    std::string row(rec);
    if (reference_ && !row.empty() && row[0] == 'R') row[0] = 'S';
    if (!ParseRow(row, r_.protocol)) return Fail("protocol row illegal"), false;
    r_.protocol.resple = {};
    RunningChecksum sum;
    sum.Add(rec);
    for (Section s : kSections) {
      if (s == Section::Giorni && reference_) break;
      if (!Next(rec)) return false;
      auto n = TaggedNumber(rec, Declarator(s));
      if (!n) return Fail("declarator " + std::string(SectionName(s))), false;
      r_.counts[s] = *n;
      sum.Add(rec);
    }
    if (!Next(rec) || !TaggedNumber(rec, kProtocolClose)) return Fail("protocol end"), false;
    if (TaggedNumber(rec, kProtocolClose) != sum.Value()) {
      return Fail("protocol checksum"), false;
    }
    return true;
  }

  bool ReadSection(Section s) {
    const std::string name(SectionName(s));
    std::string_view rec;
    if (!Next(rec) || !TaggedNumber(rec, OpenTag(s))) return Fail("header " + name), false;
    if (TaggedNumber(rec, OpenTag(s)) != r_.counts[s]) return Fail("count " + name), false;
    RunningChecksum sum;
    for (int64_t i = 0; i < r_.counts[s]; ++i) {
      if (!Next(rec)) return false;
      if (!Row(s, rec)) return Fail("illegal row " + name), false;
      sum.Add(rec);
    }
    if (!Next(rec) || !TaggedNumber(rec, CloseTag(s))) return Fail("closing " + name), false;
    if (TaggedNumber(rec, CloseTag(s)) != sum.Value()) return Fail("checksum " + name), false;
    if (s == Section::Corse) Links();
    return true;
  }

  enum Kind { kStop, kArc, kRoute, kTrip };
  const std::set<int32_t>& Known(Kind k) const {
    return k == kStop    ? known_.stops
           : k == kArc   ? known_.arcs
           : k == kRoute ? known_.routes
                         : known_.trips;
  }
  void Add(std::string what, long line = -1) {
    r_.references.push_back({line < 0 ? reader_.LineNumber() : line, std::move(what)});
  }
  void Ref(Kind k, int32_t id, long line = -1) {
    static const char* kNames[] = {"stop", "arc", "route", "trip"};
    if (!Known(k).count(id) && !added_[k].count(id))
      Add(Format("unknown %s %d", kNames[k], id), line);
  }
  void New(Kind k, int32_t id) {
    static const char* kNames[] = {"stop", "arc", "route", "trip"};
    if (Known(k).count(id) || !added_[k].insert(id).second) {
      Add(Format("duplicate %s %d", kNames[k], id));
    }
  }
  // Previous and next trips may name trips later in the section: checked at its end.
  void Links() {
    for (const auto& [line, id] : links_) {
      if (id != 0) Ref(kTrip, id, line);
    }
  }

  bool Row(Section s, std::string_view rec) {
    FermataRow f;
    ArcoRow a;
    TestaItinerRow h;
    RigaItinerRow d;
    CorsaRow c;
    OrarioRow o;
    GiorniRow g;
    switch (s) {
      case Section::Fermate:
        return ParseRow(rec, f) && (New(kStop, f.ID), true);
      case Section::Archi:
        return ParseRow(rec, a) &&
               (New(kArc, a.ID), Ref(kStop, a.inizio), Ref(kStop, a.fine), true);
      case Section::TesteItiner:
        return ParseRow(rec, h) && (New(kRoute, h.ID), true);
      case Section::RigheItiner:
        return ParseRow(rec, d) && (Ref(kRoute, d.ID), Ref(kArc, d.arco), true);
      case Section::Corse:
        if (!ParseRow(rec, c)) return false;
        New(kTrip, c.ID), Ref(kRoute, c.codperc), Ref(kStop, c.capol_p), Ref(kStop, c.capol_a);
        links_.push_back({reader_.LineNumber(), c.prevcor});
        links_.push_back({reader_.LineNumber(), c.nextcor});
        return true;
      case Section::Orari:
        return ParseRow(rec, o) && (Ref(kTrip, o.ID), Ref(kStop, o.fermata), true);
      case Section::Giorni:
        if (!ParseRow(rec, g)) return false;
        Ref(kTrip, g.ID);
        r_.runningDays += std::popcount(g.days);
        return true;
    }
    return false;
  }

  LineReader reader_;
  bool opened_ = false;
  bool reference_;
  KnownIds known_;
  FileCheck r_;
  std::set<int32_t> added_[4];
  std::vector<std::pair<long, int32_t>> links_;
};

inline FileCheck CheckFile(const std::string& path, bool reference = false,
                           const KnownIds& known = {}) {
  return Checker(path, reference, known).Run();
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The record at a 1-based line number, without its terminator.
inline std::string LineOf(const std::string& path, long line) {
  LineReader reader;
  std::string_view rec;
  if (!reader.Open(path)) return {};
  while (reader.Next(rec)) {
    if (reader.LineNumber() == line) return std::string(rec);
  }
  return {};
}

// A file in the system's temporary folder, removed when the object goes.
struct TempFile {
  explicit TempFile(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    path = std::string(dir ? dir : "/tmp") + "/kvt_" + std::to_string(::getpid()) + "_" + name;
  }
  ~TempFile() { std::remove(path.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  std::string path;
};

}  // namespace kvt::comms::test
