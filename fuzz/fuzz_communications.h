// The communications of the fuzz corpora and of the database the import target checks
// against: one company's first communication (already in the database) and small
// communications that add to it. Shared by that target and the corpus writer.
#pragma once

#include "kvtgen/generator.h"

namespace kvt::fuzz {

inline constexpr int32_t kCompany = 101;

// The first communication of company 101: what the import target's database holds.
inline comms::GeneratorOptions BaseCommunication() {
  comms::GeneratorOptions o;
  o.azienda = kCompany;
  o.protoc = 1;
  o.stops = 6;
  o.routes = 2;
  o.routeRows = 2;
  o.trips = 4;
  o.authorities = {1, 2};
  o.datini = {1, 1, 2010};
  o.datfin = {31, 3, 2010};
  return o;
}

// A second communication that references the objects of the first and adds its own.
inline comms::GeneratorOptions FollowingCommunication() {
  comms::GeneratorOptions o = BaseCommunication();
  o.seed = 2;
  o.protoc = 2;
  o.primacom = false;
  o.stops = 3;
  o.routes = 1;
  o.trips = 2;
  o.idBase = 100;
  o.refBase = 0;
  o.refStops = 6;
  o.refArcs = 6;
  o.refRoutes = 2;
  o.refTrips = 2;
  o.datini = {1, 2, 2010};
  o.datfin = {28, 2, 2010};
  return o;
}

}  // namespace kvt::fuzz
