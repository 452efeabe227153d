// The manual page kvtbase(1) and the bash completion of kvtbase, written at build time from
// the command table that makes the menu bar and `kvtbase --list` (app/menu.h) and from the
// registry of the commands this build has: neither can list a command the program lacks or
// miss one it has.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::app {
class Registry;
}

namespace kvt::cli {

// An option every command accepts (or a mode of the program, `command` false).
struct GeneralOption {
  std::vector<std::string_view> names;  // "--yes", "-y"
  std::string_view argument;            // "FILE", empty for a flag
  std::string_view text;                // Italian, one paragraph
  bool command = true;                  // after a COMMAND; false: instead of one (--list)
  bool takesPath = false;               // its argument is a file name
};
const std::vector<GeneralOption>& GeneralOptions();

// A command line of the page's examples, with what it does.
struct Example {
  std::string_view line;  // "kvtbase db-create /tmp/prova.mdb"
  std::string_view text;
};
const std::vector<Example>& Examples();

// The page in troff (man macros), ASCII only: every other character is written as a groff
// escape, so that it reads the same whatever the reader's locale.
void WriteManPage(const app::Registry& registry, std::ostream& out);

// A bash script defining the completion of kvtbase: the command ids and the program's modes
// as first word, then the options (general and the command's own), files and data sources.
void WriteBashCompletion(const app::Registry& registry, std::ostream& out);

// Text for troff: "\" as "\e", "-" as "\-" (so that ids and options copied from the page
// work), a leading "." or "'" protected, non-ASCII UTF-8 as "\[uXXXX]" (an invalid byte as
// "?").
std::string Troff(std::string_view utf8);

}  // namespace kvt::cli
