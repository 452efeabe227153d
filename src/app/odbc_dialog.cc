#include "app/odbc_dialog.h"

#include "app/commands.h"
#include "app/shell.h"
#include "db/database.h"
#include "platform/settings.h"
#include "platform/ui.h"

namespace kvt::app {
namespace {

constexpr std::string_view kOrdinaryMissing =
    "Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!";
constexpr std::string_view kBlobMissing =
    "Occorre indicare la dimensione del rowset per dati di tipo BLOB !!!";
constexpr std::string_view kDsnMissing =
    "Occorre specificare il DSN per potere effettuare la connessione ODBC.";

std::string DriverOf(const std::string& dsn) {
  for (const db::DataSource& ds : db::Database::ListDataSources())
    if (ds.name == dsn) return ds.description;
  return "";
}

bool CheckOdbcForm(Ui& ui, Form& form, OdbcChoice* choice) {
  unsigned ordinary = ParseRowsetSize(form.Text(kRowsetOrdinaryField));
  if (ordinary == 0) {
    ui.Stop(kOrdinaryMissing);
    return false;
  }
  unsigned blob = ParseRowsetSize(form.Text(kRowsetBlobField));
  if (blob == 0) {
    ui.Stop(kBlobMissing);
    return false;
  }
  const std::string& dsn = form.Text(kDsnField);
  if (dsn.empty()) {
    ui.Stop(kDsnMissing);
    return false;
  }
  *choice = {dsn, DriverOf(dsn), ordinary, blob};
  return true;
}

}  // namespace

unsigned ParseRowsetSize(const std::string& text) {
  size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return 0;
  if (text[i] == '-') return 0;  // a negative size would wrap to a huge rowset
  if (text[i] == '+') ++i;
  unsigned long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
    if (value > 0xFFFFFFFFull) return 0;
  }
  return static_cast<unsigned>(value);
}

std::unique_ptr<Form> MakeOdbcForm(Ui& ui, std::vector<std::string> dataSources,
                                   OdbcChoice* choice) {
  auto form = std::make_unique<Form>("Selezione DataSource");
  form->AddList(kDsnField, "DSN:", std::move(dataSources));
  form->AddEdit(kRowsetOrdinaryField, "RowsetSize (Dati Ordinari)",
                std::to_string(kDefaultRowSzAlfa), 4);
  form->AddEdit(kRowsetBlobField, "RowsetSize (Dati BLOB)", std::to_string(kDefaultRowSzBlob), 4);
  form->SetAcceptHandler([&ui, choice](Form& f) { return CheckOdbcForm(ui, f, choice); });
  return form;
}

void OdbcConnectCommand(AppContext& ctx) {
  std::vector<std::string> names;
  for (const db::DataSource& ds : db::Database::ListDataSources()) names.push_back(ds.name);
  OdbcChoice choice;
  std::unique_ptr<Form> form = MakeOdbcForm(ctx.ui, std::move(names), &choice);
  if (!ctx.ui.RunForm(*form)) return;
  ctx.shell.ConnectOdbc(choice.dsn, choice.driverName, choice.rowsetOrdinary, choice.rowsetBlob);
}

}  // namespace kvt::app
