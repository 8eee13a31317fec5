// Micro-benchmarks of the two hot parts of a conversion: free-form reading
// of sample records and the table writer.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "conversion/conversion_run.h"
#include "conversion/table_writer.h"
#include "recordio/freeform_input.h"
#include "recordio/record_scan.h"
#include "recordio/records.h"

namespace {

constexpr recordio::EditList kShape = recordio::kBenchmarkRecord;
constexpr int kPerRecord = kShape.fields;
constexpr int kRecords = conversion::kMaxSamples / kPerRecord;

std::string scratchFile(const char* stem) {
  return std::string("/tmp/cdmg2csv-bench-") + stem + "-" + std::to_string(getpid());
}

// Values as the benchmark record holds them: below 100 in magnitude,
// small ones more often, signs at random.  Enough of them that the
// processor cannot learn their shapes by heart.
std::vector<float> samples(size_t count) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(-99.9f, 99.9f), share(0.0f, 1.0f);
  std::vector<float> result(count);
  for (float& v : result) {
    const float s = share(random);
    v = value(random) * s * s;
  }
  return result;
}

void connect(const std::string& name, const char* stat) {
  static char field[80];
  recordio::assignText(field, 80, name.data(), static_cast<int32_t>(name.size()));
  recordio::connectUnit({.unit = 11, .file = field, .filelen = 80, .stat = stat});
}

void disconnect() { recordio::disconnectUnit({.unit = 11}); }

void FreeFormReading(benchmark::State& state) {
  const std::string name = scratchFile("read");
  {
    FILE* file = fopen(name.c_str(), "w");
    const std::vector<float> values = samples(kPerRecord * kRecords);
    const recordio::EditStep field = kShape.field(0);
    for (size_t i = 0; i < values.size(); ++i) {
      fprintf(file, "%*.*f%s", field.width, field.decimals, values[i],
              i % kPerRecord == kPerRecord - 1 ? "\n" : "");
    }
    fclose(file);
  }
  recordio::prepareRecordIO();
  float series[kPerRecord];
  for (auto _ : state) {
    connect(name, "old");
    for (int k = 0; k < kRecords; ++k) {
      recordio::FreeFormReader::start(11);
      for (float& v : series) recordio::FreeFormReader::getReal(v);
      recordio::FreeFormReader::finish();
    }
    benchmark::DoNotOptimize(series);
    disconnect();
  }
  state.SetItemsProcessed(state.iterations() * kPerRecord * kRecords);
  remove(name.c_str());
}
BENCHMARK(FreeFormReading)->Unit(benchmark::kMillisecond);

void TableWriter(benchmark::State& state) {
  const std::string name = scratchFile("table");
  const std::vector<float> values = samples(3 * conversion::kMaxSamples);
  for (int i = 0; i < conversion::kMaxSamples; ++i) {
    conversion::x[i] = values[3 * i];
    conversion::y[i] = values[3 * i + 1];
    conversion::z[i] = values[3 * i + 2];
  }
  recordio::prepareRecordIO();
  for (auto _ : state) {
    connect(name, "unknown");
    conversion::writeAccelerationTable(conversion::kMaxSamples, 0.005f, conversion::x,
                                       conversion::y, conversion::z);
    disconnect();
  }
  state.SetItemsProcessed(state.iterations() * conversion::kMaxSamples);
  remove(name.c_str());
}
BENCHMARK(TableWriter)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
