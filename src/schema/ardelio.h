// Database files produced by the external system Ardelio carry a marker table `ardelio`; a
// row with `convert` true means the file still lacks the dictionary, some tables, keys and
// relations. The shell calls CompleteArdelioDatabase and then FixArdelioRouteNumbering on
// every file-method connection; on other files both return at once, silently.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
}

namespace kvt::schema {

// What the completion needs from the application: it closes the current connection to
// compact the file and opens it again.
class ConnectionHost {
 public:
  virtual ~ConnectionHost() = default;
  // The connected Database (file method), or null.
  virtual db::Database* Current() = 0;
  // Closes and releases the current Database.
  virtual void Disconnect() = 0;
  // Opens `path` by the file method and makes it current; false (with its message) if not.
  virtual bool Reconnect(const std::string& path) = 0;
  // Imports the route shapefiles named in the marker table (`itin_shp`), once the file is
  // complete. A hook for the shapefile import: nothing happens until the shell provides it.
  virtual void ImportArdelioRouteShapefiles(const std::vector<std::string>& names) {}
};

// A ConnectionHost that owns its Database (tests, command line).
class OwnedConnection : public ConnectionHost {
 public:
  OwnedConnection(Ui& ui, std::unique_ptr<db::Database> db);
  ~OwnedConnection() override;
  db::Database* Current() override { return db_.get(); }
  void Disconnect() override;
  bool Reconnect(const std::string& path) override;

 private:
  Ui& ui_;
  std::unique_ptr<db::Database> db_;
};

// Completes an Ardelio file not yet completed: compaction through a work file next to it,
// dictionary, missing tables, columns, keys and indices, removal of orphan rows, relations,
// then the marker set to done. All or nothing: on failure the file keeps its data and its
// marker, and the next connection tries again. True when there was nothing to do or it
// succeeded.
bool CompleteArdelioDatabase(ConnectionHost& host);

// Mends completed Ardelio files whose route rows (`detitine.sub`) start at 1 instead of 0 on
// every route: each row's `sub` goes down by 1. True when there was nothing to do or it
// succeeded.
bool FixArdelioRouteNumbering(db::Database& db);

// Deletes the rows that the relations would refuse: trips without months (with their
// timetable rows), arcs whose first or last stop is missing, routes with a missing arc.
bool RemoveOrphans(db::Database& db);

// The work file used while compacting `path`: "wkArdl_<pid>_<n>.mdb" in the same folder,
// with the first n that names no existing file.
std::string ArdelioWorkFile(const std::string& path);

}  // namespace kvt::schema
