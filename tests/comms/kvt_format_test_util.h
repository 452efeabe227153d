// Test helpers for communication files: a strict reader that walks a whole file the way the
// import's first pass does (structure, row formats, counts, checksums, identifiers) and
// tells the first structural fault and every reference fault with its line.
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
  ProtocolRow protocol;               // views are not kept: only the scalar fields
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
    if (!opened_) return Fail(0, "cannot open");
    if (!Protocol()) return result_;
    for (Section s : kSections) {
      if (s == Section::Giorni && reference_) break;
      if (!ReadSection(s)) return result_;
    }
    result_.structureOk = true;
    result_.lines = reader_.LineNumber();
    return result_;
  }

 private:
  FileCheck Fail(long line, std::string what) {
    result_.structureOk = false;
    result_.structural = {line, std::move(what)};
    return result_;
  }

  bool Protocol() {
    std::string_view rec;
    if (!reader_.Next(rec) || TaggedNumber(rec, kProtocolOpen) != 1) {
      return Fail(1, "protocol header"), false;
    }
    RunningChecksum sum;
    if (!reader_.Next(rec)) return Fail(2, "protocol row missing"), false;
    if (reference_) {
      // A reference base carries "R" where the import wants S/N: check it as "S".
      if (rec.empty() || rec[0] != 'R') return Fail(2, "not a reference base"), false;
      std::string copy(rec);
      copy[0] = 'S';
      if (!ParseRow(copy, result_.protocol)) return Fail(2, "protocol row illegal"), false;
      result_.protocol.resple = {};
    } else if (!ParseRow(rec, result_.protocol)) {
      return Fail(2, "protocol row illegal"), false;
    }
    result_.protocol.resple = {};
    sum.Add(rec);
    for (Section s : kSections) {
      if (s == Section::Giorni && reference_) break;
      if (!reader_.Next(rec)) return Fail(reader_.LineNumber() + 1, "declarator missing"), false;
      auto n = TaggedNumber(rec, Declarator(s));
      if (!n) return Fail(reader_.LineNumber(), "declarator " + std::string(SectionName(s))), false;
      result_.counts[s] = *n;
      sum.Add(rec);
    }
    if (!reader_.Next(rec)) return Fail(reader_.LineNumber() + 1, "protocol end missing"), false;
    auto end = TaggedNumber(rec, kProtocolClose);
    if (!end) return Fail(reader_.LineNumber(), "protocol end"), false;
    if (*end != sum.Value()) return Fail(reader_.LineNumber(), "protocol checksum"), false;
    return true;
  }

  bool ReadSection(Section s) {
    const std::string name(SectionName(s));
    std::string_view rec;
    if (!reader_.Next(rec)) return Fail(reader_.LineNumber() + 1, "header " + name), false;
    auto count = TaggedNumber(rec, OpenTag(s));
    if (!count) return Fail(reader_.LineNumber(), "header " + name), false;
    if (*count != result_.counts[s]) return Fail(reader_.LineNumber(), "count " + name), false;
    RunningChecksum sum;
    for (int64_t i = 0; i < *count; ++i) {
      if (!reader_.Next(rec)) return Fail(reader_.LineNumber() + 1, "row missing " + name), false;
      if (!Row(s, rec)) return Fail(reader_.LineNumber(), "illegal row " + name), false;
      sum.Add(rec);
    }
    if (!reader_.Next(rec)) return Fail(reader_.LineNumber() + 1, "closing " + name), false;
    auto closing = TaggedNumber(rec, CloseTag(s));
    if (!closing) return Fail(reader_.LineNumber(), "closing " + name), false;
    if (*closing != sum.Value()) return Fail(reader_.LineNumber(), "checksum " + name), false;
    return true;
  }

  void Ref(const std::set<int32_t>& known, const std::set<int32_t>& added, int32_t id,
           const char* what) {
    if (!known.count(id) && !added.count(id)) {
      result_.references.push_back({reader_.LineNumber(), Format("unknown %s %d", what, id)});
    }
  }
  void New(const std::set<int32_t>& known, std::set<int32_t>& added, int32_t id, const char* what) {
    if (known.count(id) || !added.insert(id).second) {
      result_.references.push_back({reader_.LineNumber(), Format("duplicate %s %d", what, id)});
    }
  }

  bool Row(Section s, std::string_view rec) {
    switch (s) {
      case Section::Fermate: {
        FermataRow r;
        if (!ParseRow(rec, r)) return false;
        New(known_.stops, stops_, r.ID, "stop");
        return true;
      }
      case Section::Archi: {
        ArcoRow r;
        if (!ParseRow(rec, r)) return false;
        New(known_.arcs, arcs_, r.ID, "arc");
        Ref(known_.stops, stops_, r.inizio, "stop");
        Ref(known_.stops, stops_, r.fine, "stop");
        return true;
      }
      case Section::TesteItiner: {
        TestaItinerRow r;
        if (!ParseRow(rec, r)) return false;
        New(known_.routes, routes_, r.ID, "route");
        return true;
      }
      case Section::RigheItiner: {
        RigaItinerRow r;
        if (!ParseRow(rec, r)) return false;
        Ref(known_.routes, routes_, r.ID, "route");
        Ref(known_.arcs, arcs_, r.arco, "arc");
        return true;
      }
      case Section::Corse: {
        CorsaRow r;
        if (!ParseRow(rec, r)) return false;
        New(known_.trips, trips_, r.ID, "trip");
        Ref(known_.routes, routes_, r.codperc, "route");
        Ref(known_.stops, stops_, r.capol_p, "stop");
        Ref(known_.stops, stops_, r.capol_a, "stop");
        links_.push_back({reader_.LineNumber(), r.prevcor});
        links_.push_back({reader_.LineNumber(), r.nextcor});
        return true;
      }
      case Section::Orari: {
        CheckLinks();
        OrarioRow r;
        if (!ParseRow(rec, r)) return false;
        Ref(known_.trips, trips_, r.ID, "trip");
        Ref(known_.stops, stops_, r.fermata, "stop");
        return true;
      }
      case Section::Giorni: {
        GiorniRow r;
        if (!ParseRow(rec, r)) return false;
        Ref(known_.trips, trips_, r.ID, "trip");
        result_.runningDays += std::popcount(r.days);
        return true;
      }
    }
    return false;
  }

  // Previous and next trips may name trips that come later in the section.
  void CheckLinks() {
    for (const auto& [line, id] : links_) {
      if (id != 0 && !known_.trips.count(id) && !trips_.count(id)) {
        result_.references.push_back({line, Format("unknown trip %d", id)});
      }
    }
    links_.clear();
  }

  LineReader reader_;
  bool opened_ = false;
  bool reference_;
  KnownIds known_;
  FileCheck result_;
  std::set<int32_t> stops_, arcs_, routes_, trips_;
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
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// The record of a given line number (1-based), without its terminator.
inline std::string LineOf(const std::string& path, long line) {
  LineReader reader;
  if (!reader.Open(path)) return {};
  std::string_view rec;
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
