// The command-line form of the generator's options.
#include <charconv>
#include <functional>
#include <map>

#include "core/text.h"
#include "kvtgen/generator.h"

namespace kvt::comms {
namespace {

struct FaultName {
  std::string_view name;
  GenFault fault;
};
constexpr FaultName kFaultNames[] = {
    {"checksum", GenFault::Checksum},
    {"protocol-checksum", GenFault::ProtocolChecksum},
    {"wrong-count", GenFault::WrongCount},
    {"missing-declarator", GenFault::MissingDeclarator},
    {"bad-row", GenFault::BadRow},
    {"long-text", GenFault::LongText},
    {"bad-month", GenFault::BadMonth},
    {"unknown-stop", GenFault::UnknownStop},
    {"unknown-route", GenFault::UnknownRoute},
    {"unknown-trip", GenFault::UnknownTrip},
    {"duplicate-stop", GenFault::DuplicateStop},
    {"duplicate-trip", GenFault::DuplicateTrip},
    {"unknown-company", GenFault::UnknownCompany},
};

template <class T>
bool Number(std::string_view text, T& out) {
  const char* end = text.data() + text.size();
  auto result = std::from_chars(text.data(), end, out);
  return result.ec == std::errc() && result.ptr == end;
}

bool NumberList(std::string_view text, std::vector<int32_t>& out) {
  out.clear();
  while (!text.empty()) {
    const size_t comma = text.find(',');
    int32_t value = 0;
    if (!Number(text.substr(0, comma), value)) return false;
    out.push_back(value);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  return !out.empty();
}

bool Flag(std::string_view text, bool& out) {
  if (text != "S" && text != "N") return false;
  out = text == "S";
  return true;
}

bool DateOption(std::string_view text, Date& out) {
  auto d = ParseDialogDate(text);
  if (d) out = *d;
  return d.has_value();
}

std::optional<Section> SectionFromName(std::string_view name) {
  for (Section s : kSections) {
    if (SectionName(s) == name) return s;
  }
  return std::nullopt;
}

using Setter = std::function<bool(std::string_view, GeneratorOptions&)>;

template <class T>
Setter Int(T GeneratorOptions::*member) {
  return [member](std::string_view v, GeneratorOptions& o) { return Number(v, o.*member); };
}

template <class T>
Setter OptionalInt(std::optional<T> GeneratorOptions::*member) {
  return [member](std::string_view v, GeneratorOptions& o) {
    T value{};
    if (!Number(v, value)) return false;
    o.*member = value;
    return true;
  };
}

const std::map<std::string_view, Setter>& Setters() {
  using O = GeneratorOptions;
  static const std::map<std::string_view, Setter> setters = {
      {"seed", Int(&O::seed)},
      {"company", Int(&O::azienda)},
      {"protoc", Int(&O::protoc)},
      {"type",
       [](std::string_view v, O& o) {
         if (v.size() != 1 || std::string_view("BPAI").find(v[0]) == std::string_view::npos) {
           return false;
         }
         o.tipo = v[0];
         return true;
       }},
      {"replace", [](std::string_view v, O& o) { return Flag(v, o.azzera); }},
      {"first", [](std::string_view v, O& o) { return Flag(v, o.primacom); }},
      {"from", [](std::string_view v, O& o) { return DateOption(v, o.datini); }},
      {"to", [](std::string_view v, O& o) { return DateOption(v, o.datfin); }},
      {"sent",
       [](std::string_view v, O& o) {
         Date d;
         if (!DateOption(v, d)) return false;
         o.p_data = d;
         return true;
       }},
      {"resple",
       [](std::string_view v, O& o) {
         o.resple = v;
         return true;
       }},
      {"stops", Int(&O::stops)},
      {"arcs", OptionalInt(&O::arcs)},
      {"routes", Int(&O::routes)},
      {"route-rows", Int(&O::routeRows)},
      {"trips", Int(&O::trips)},
      {"orari-per-trip", OptionalInt(&O::orariPerTrip)},
      {"run-share", Int(&O::runShare)},
      {"accent-share", Int(&O::accentShare)},
      {"no-coord-share", Int(&O::noCoordShare)},
      {"localities", [](std::string_view v, O& o) { return NumberList(v, o.localities); }},
      {"authorities", [](std::string_view v, O& o) { return NumberList(v, o.authorities); }},
      {"modes",
       [](std::string_view v, O& o) {
         o.modes = v;
         return true;
       }},
      {"id-base", Int(&O::idBase)},
      {"ref-base", Int(&O::refBase)},
      {"ref-stops", Int(&O::refStops)},
      {"ref-arcs", Int(&O::refArcs)},
      {"ref-routes", Int(&O::refRoutes)},
      {"ref-trips", Int(&O::refTrips)},
      {"fault",
       [](std::string_view v, O& o) {
         auto f = FaultFromName(v);
         if (f) o.fault = *f;
         return f.has_value();
       }},
      {"fault-section",
       [](std::string_view v, O& o) {
         auto s = SectionFromName(v);
         if (s) o.faultSection = s;
         return s.has_value();
       }},
      {"fault-row", OptionalInt(&O::faultRow)},
      {"fault-value", Int(&O::faultValue)},
  };
  return setters;
}

}  // namespace

std::optional<GenFault> FaultFromName(std::string_view name) {
  for (const FaultName& f : kFaultNames) {
    if (f.name == name) return f.fault;
  }
  return std::nullopt;
}

bool ParseGeneratorArguments(std::span<const std::string_view> args, GeneratorOptions& options,
                             std::string& path, std::string& error) {
  path.clear();
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (!arg.starts_with("--")) {
      if (!path.empty()) return error = "more than one output file", false;
      path = arg;
      continue;
    }
    arg.remove_prefix(2);
    if (arg == "reference") {
      options.reference = true;
      continue;
    }
    std::string_view name = arg.substr(0, arg.find('='));
    std::string_view value;
    if (name.size() < arg.size()) {
      value = arg.substr(name.size() + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return error = "--" + std::string(name) + " needs a value", false;
    }
    auto it = Setters().find(name);
    if (it == Setters().end()) return error = "unknown option --" + std::string(name), false;
    if (!it->second(value, options)) {
      return error = "bad value for --" + std::string(name) + ": " + std::string(value), false;
    }
  }
  if (path.empty()) return error = "no output file", false;
  return true;
}

std::string GeneratorUsage() {
  std::string faults;
  for (const FaultName& f : kFaultNames)
    faults += (faults.empty() ? "" : "|") + std::string(f.name);
  return "usage: kvtgen [options] FILE\n"
         "Writes a valid KvtTxt V2 communication (deterministic for a given seed).\n"
         "  --seed N            random seed (1)\n"
         "  --company N         company code (1)         --protoc N     number (1)\n"
         "  --type B|P|A|I      type (P)                 --replace S|N  replaces earlier (N)\n"
         "  --first S|N         first communication (S)  --reference    write a reference base\n"
         "  --from DATE --to DATE  period (01/01/2010-31/12/2010)   --sent DATE  date of sending\n"
         "  --resple TEXT       person responsible\n"
         "  --stops N (50)  --arcs N (= stops)  --routes N (5)  --route-rows N (8)\n"
         "  --trips N (40)  --orari-per-trip N (route rows + 1)\n"
         "  --run-share PCT (85)  --accent-share PCT (10)  --no-coord-share PCT (5)\n"
         "  --localities LIST (0)  --authorities LIST (1)  --modes LETTERS (UX)\n"
         "  --id-base N         new objects are numbered from N+1 (0)\n"
         "  --ref-base N        objects of an earlier communication start at N+1 (0)\n"
         "  --ref-stops N --ref-arcs N --ref-routes N   objects of the earlier one to use\n"
         "  --ref-trips N       earlier trips that get running days here\n"
         "  --fault " +
         faults +
         "\n"
         "  --fault-section NAME --fault-row N --fault-value N   where and what to plant\n";
}

}  // namespace kvt::comms
