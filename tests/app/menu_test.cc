#include "app/menu.h"

#include <gtest/gtest.h>

#include <set>

#include "app/commands.h"

namespace kvt::app {
namespace {

// One id per leaf (the command line and the registry go by it), and every registered
// command reachable from the menu.
TEST(MenuTest, EveryLeafHasItsOwnCommandId) {
  std::set<std::string> seen;
  for (const MenuCommand& c : MenuCommands()) EXPECT_TRUE(seen.insert(c.id).second) << c.id;
  Registry r;
  RegisterAllCommands(r);
  for (const std::string& id : r.Ids()) EXPECT_TRUE(seen.count(id)) << id;
  EXPECT_EQ(MenuPathText("about"), "?");
}

}  // namespace
}  // namespace kvt::app
