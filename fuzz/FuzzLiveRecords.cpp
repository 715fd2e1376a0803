// Fuzzes the readers of the live records (WH, HR, SE results) and the merge of two weight
// records. The input is read as each of the three records (its own type bytes replaced), as is
// and padded with blanks to the record's full length; checks: a short record reads as its
// padded self (what is missing is blank), every listed horse and payout is in range, the texts
// are never longer than their field allows, and the merge of two weight records is a whole
// record holding each horse number once.
#include <set>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "jvlink/LiveFiles.h"
#include "jvlink/LiveRecords.h"

namespace tavolen::fuzzing {
namespace {

std::string As(std::string_view type, std::string_view input) {
  std::string r(input);
  r.replace(0, std::min<size_t>(2, r.size()), type);
  return r;
}

std::string Padded(std::string r, size_t length) {
  if (r.size() < length) r.resize(length, ' ');
  return r;
}

struct Harness {
  void Run(std::string_view input) {
    const std::string wh = As("WH", input);
    const auto w = ReadWeightRecord(wh);
    FUZZ_CHECK(w);
    std::set<int> seen;
    for (const WeightEntry& e : w->entries) {
      FUZZ_CHECK(e.horseNumber >= 1 && e.horseNumber <= 99);
      FUZZ_CHECK(e.weight.Text().size() <= 16);
      FUZZ_CHECK(e.weight.NotificationText().size() <= 18);
      seen.insert(e.horseNumber);
    }
    const auto wp = ReadWeightRecord(Padded(wh, WH::kLength));
    FUZZ_CHECK(wp && wp->entries.size() == w->entries.size());
    const std::string merged = MergeWeightLines(wh, Padded(wh, 400));
    FUZZ_CHECK(merged.size() == static_cast<size_t>(WH::kLength - 2));
    const auto m = ReadWeightRecord(merged);
    FUZZ_CHECK(m && m->entries.size() == seen.size());

    const std::string hr = As("HR", input);
    const auto h = ReadPayoutRecord(hr);
    const auto hp = ReadPayoutRecord(Padded(hr, HR::kLength));
    FUZZ_CHECK(h && hp);
    for (int t = 0; t < kBetTypes; ++t) {
      const BetPayouts& a = h->bets[static_cast<size_t>(t)];
      FUZZ_CHECK(a.payouts.size() == hp->bets[static_cast<size_t>(t)].payouts.size());
      for (const Payout& p : a.payouts) FUZZ_CHECK(p.yen >= 0 && p.yen <= 999999999);
    }
    for (int n : h->refundedHorses) FUZZ_CHECK(n >= 1 && n <= 28);

    const std::string se = As("SE", input);
    const auto s = ReadRunnerResult(se);
    const auto sp = ReadRunnerResult(Padded(se, SE::kLength));
    FUZZ_CHECK(s.has_value() == sp.has_value());
    if (s) {
      FUZZ_CHECK(s->place == sp->place && s->horseNumber == sp->horseNumber);
      FUZZ_CHECK(s->PlaceText().size() <= 6 && s->TimeText().size() <= 6);
    }
  }
};

}  // namespace
}  // namespace tavolen::fuzzing

TAVOLEN_FUZZ_ENTRY(tavolen::fuzzing::Harness)
