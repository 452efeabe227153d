// The manual page kvtbase(1) and the bash completion of kvtbase, written at build time from
// the command table that makes the menu bar and `kvtbase --list` (app/menu.h) and from the
// registry of the commands this build has: neither can list a command the program lacks or
// miss one it has.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands.h"

namespace kvt::cli {

// A mode of the program, given instead of a command (--list, --version, --help).
struct ProgramMode {
  std::vector<std::string_view> names;  // "--help", "-h"
  std::string_view text;                // Italian, one line
};
const std::vector<ProgramMode>& ProgramModes();

// How an option is written on the command line: "--yes" and its short form "-y".
std::vector<std::string> OptionSpellings(const app::Option& option);

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
// as first word, then the options (common and the command's own), file names for the
// options whose value is a file and for operands, data source names for those that take one.
void WriteBashCompletion(const app::Registry& registry, std::ostream& out);

// Text for troff: "\" as "\e", "-" as "\-" (so that ids and options copied from the page
// work), a leading "." or "'" protected, non-ASCII UTF-8 as "\[uXXXX]" (an invalid byte as
// "?").
std::string Troff(std::string_view utf8);

}  // namespace kvt::cli
