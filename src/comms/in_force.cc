#include "comms/in_force.h"

#include <algorithm>

#include "core/text.h"

namespace kvt::comms {

const InForceCommunication* InForceCompany::Find(int32_t protoc) const {
  for (const InForceCommunication& c : communications) {
    if (c.protoc == protoc) return &c;
  }
  return nullptr;
}

void CutPeriod(InForceCommunication& communication, const Date& first, const Date& last) {
  const int32_t s = DayNumber(first);
  const int32_t e = DayNumber(last);
  const int32_t p = DayNumber(DayBefore(first));
  const int32_t n = DayNumber(DayAfter(last));
  // Pieces split off are appended; they lie outside the cut, so the loop may skip them.
  const size_t count = communication.intervals.size();
  for (size_t i = 0; i < count; ++i) {
    Interval& iv = communication.intervals[i];
    if (!(s <= iv.last && iv.first <= e)) continue;
    const int32_t a = iv.first;
    const int32_t b = iv.last;
    if (a < s && e < b) {
      iv = Interval{a, p};
      communication.intervals.push_back(Interval{n, b});  // iv is invalid from here
    } else if (a < s) {
      iv = Interval{a, p};
    } else if (e < b) {
      iv = Interval{n, b};
    } else {
      iv = Interval{0, 0};
    }
  }
}

void InForceMap::Add(int32_t azienda, int32_t protoc, bool azzera, const Date& datini,
                     const Date& datfin) {
  InForceCompany* company = nullptr;
  if (!companies_.empty() && companies_.back().azienda == azienda) {
    company = &companies_.back();
  } else {
    for (InForceCompany& c : companies_) {
      if (c.azienda == azienda) company = &c;
    }
    if (!company) company = &companies_.emplace_back(InForceCompany{azienda, {}});
  }
  company->communications.push_back({protoc, {Interval{DayNumber(datini), DayNumber(datfin)}}});
  if (!azzera) return;
  for (InForceCommunication& c : company->communications) {
    if (c.protoc < protoc) CutPeriod(c, datini, datfin);
  }
}

const InForceCompany* InForceMap::FindCompany(int32_t azienda) const {
  for (const InForceCompany& c : companies_) {
    if (c.azienda == azienda) return &c;
  }
  return nullptr;
}

bool IsInForce(const InForceCompany* company, int32_t protoc, const Date& date) {
  if (!company) return false;
  const InForceCommunication* c = company->Find(protoc);
  if (!c) return false;
  const int32_t day = DayNumber(date);
  for (const Interval& iv : c->intervals) {
    if (iv.first <= day && day <= iv.last) return true;
  }
  return false;
}

bool IsInForce(const InForceCompany* company, int32_t protoc, std::string_view date) {
  auto d = ParseDateByPosition(date);
  return d && IsInForce(company, protoc, *d);
}

void MaskMonth(const InForceCompany* company, int32_t protoc, int anno, int mese,
               std::string& giorni) {
  if (!company || !company->Find(protoc)) return;
  const size_t n = std::min<size_t>(giorni.size(), 31);
  for (size_t i = 0; i < n; ++i) {
    const Date nominal{static_cast<int>(i) + 1, mese, anno};
    if (!IsInForce(company, protoc, nominal)) giorni[i] = 'N';
  }
}

std::vector<std::string> ContextEntries() {
  return {"Budget Contrattuale", "Piano di Esercizio (preventivo)", "Ipotesi / Progetti"};
}

std::optional<char> ContextLetter(int position) {
  static constexpr char kLetters[] = {'B', 'P', 'I'};
  if (position < 0 || position > 2) return std::nullopt;
  return kLetters[position];
}

std::string ContextInvalidMessage() {
  return PickInvalidMessage("Tipo Contesto");
}

}  // namespace kvt::comms
