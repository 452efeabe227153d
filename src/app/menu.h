// The command menu as data: the whole menu bar of the main window, every caption with its
// access letter ("&"), every separator and submenu, each leaf with the id of its command.
// The Qt menu bar and the command line's command list are both built from this table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvt::app {

struct MenuItem {
  enum class Kind { Submenu, Command, Separator };
  Kind kind = Kind::Separator;
  std::string caption;          // with "&" before the access letter
  std::string command;          // Command: its id, e.g. "db-create"
  std::vector<MenuItem> items;  // Submenu: its entries in order
};

// The top-level entries, left to right. A Command at top level ("&Fine", "&?") is an
// action on the menu bar itself.
const std::vector<MenuItem>& MenuBar();

// A caption as shown, without the access-letter marks ("Metodo &DAO/JET" -> "Metodo
// DAO/JET"; "&&" stands for a literal "&").
std::string PlainCaption(std::string_view caption);

struct MenuCommand {
  std::string id;
  std::vector<std::string> path;  // captions (with "&") from the menu bar down to the item
};

// Every leaf in menu order.
std::vector<MenuCommand> MenuCommands();

// The path of a command as one line: "Database > Metodo DAO/JET > Crea"; empty when the
// id is not in the menu.
std::string MenuPathText(std::string_view id);

}  // namespace kvt::app
