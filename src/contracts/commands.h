// The statements as menu commands:
//   contract-statement         "Contratti di &Servizio"
//   contract-statement-tender  "Contratti di Servizio (&Gara)"
// Both show the dialog, extract the rows, and print or preview them. On the command line
// the dialog's fields are options (--contesto, --azienda=0101, --inizio=01/01/2010, ...)
// and --pdf FILE names the PDF written, on landscape pages with --orizzontale (else landscape
// only when the table is wider than a portrait page).
#pragma once

#include <string_view>

#include "contracts/statement.h"
#include "platform/report.h"

namespace kvt::contracts {

inline constexpr std::string_view kStatementCommandId = "contract-statement";
inline constexpr std::string_view kTenderStatementCommandId = "contract-statement-tender";

// The whole command. False when cancelled, refused, empty or failed.
bool RunStatementCommand(Ui& ui, db::Database& db, StatementKind kind,
                         PageOrientation orientation = PageOrientation::Automatic);

}  // namespace kvt::contracts
