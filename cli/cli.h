// The command-line front end: runs one menu command without a window.
//
//   kvtbase --list                  every command: id and menu path
//   kvtbase COMMAND [options] [PATH...]
//
// Options: --db FILE or --dsn NAME (the database for this run only; without them the
// stored settings are used, and written back at the end), --yes (answer OK to every
// question), --file PATH (repeatable; positional PATHs are appended: the file choosers take
// them in order), --pdf FILE (printed reports are written to this PDF file), --FIELD=value
// (a dialog field by id), --FIELD (a check box set, a button pressed), "--" ends the
// options.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/cli_ui.h"

namespace kvt::cli {

// Exit status: 0 success, 1 refusal or error, 2 bad command line, 3 cancelled.
// `pdfWriter` writes printed reports (--pdf); without it printing is refused.
int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
         const PdfWriter& pdfWriter = {});

// The usage text.
void PrintUsage(std::ostream& out);

}  // namespace kvt::cli
