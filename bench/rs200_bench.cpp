// How fast a received RS200 transfer with thirty laps becomes its three report texts.
#include <benchmark/benchmark.h>

#include <string>

#include "reception/received_bytes.h"
#include "document/document.h"
#include "support/rs200_stream_builder.h"

using namespace zendrik;

namespace {

// Thirty laps fill the lap area into the third block, so the gathering across blocks is timed.
const ReceivedBytes& LongRunBytes() {
    static const ReceivedBytes bytes = [] {
        testing_streams::RunValues v;
        for (int n = 1; n <= 30; ++n) {
            v.laps.push_back({{0, 3 * n, n % 60, n % 10}, n % 4 == 0, 150 + n % 20, 140 + n % 20,
                              160 + n % 20, 3000 + n, 3050 + n, 95 * n});
        }
        return testing_streams::ToReceived(testing_streams::BuildRs200Stream(v));
    }();
    return bytes;
}

// The received bytes handed over, then the model found from the head and all three texts written.
void BM_DecodeRs200Stream(benchmark::State& state) {
    Document data;
    // One decode outside the timing, so a broken stream fails loudly instead of timing the head.
    if (data.DecodeBytes(LongRunBytes(), ModelBy::StreamHead) != 1 || data.Valid() != 1 ||
        data.Hrm().find("[Lap30]") == std::string::npos || data.HrmCompat().empty()) {
        state.SkipWithError("the RS200 stream does not decode");
        return;
    }
    const ReceivedBytes& bytes = LongRunBytes();
    for (auto _ : state) {
        benchmark::DoNotOptimize(data.DecodeBytes(bytes, ModelBy::StreamHead));
        benchmark::DoNotOptimize(data.Hrm().data());
        benchmark::DoNotOptimize(data.HrmCompat().data());
        benchmark::DoNotOptimize(data.Csv().data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.counters["reports_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["hrm_chars"] = static_cast<double>(data.Hrm().size());
    state.counters["compat_chars"] = static_cast<double>(data.HrmCompat().size());
    state.counters["csv_chars"] = static_cast<double>(data.Csv().size());
    state.counters["stream_bytes"] = static_cast<double>(data.Bytes().GetSize());
}
BENCHMARK(BM_DecodeRs200Stream);

}  // namespace
