// Micro-benchmarks of the three hot parts of a conversion: free-form
// reading of samples, the fixed-point field, and the table writer.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "conversion/conversion_run.h"
#include "conversion/table_writer.h"
#include "recordio/fixed_fields.h"
#include "recordio/freeform_input.h"
#include "recordio/freeform_output.h"
#include "recordio/records.h"

namespace {

constexpr int kRecords = 4125;  // 33000 samples, eight to a record

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
  recordio::ConnectRequest request;
  request.unit = 11;
  request.file = field;
  request.filelen = 80;
  request.stat = stat;
  recordio::connectUnit(request);
}

void disconnect() {
  recordio::DisconnectRequest request;
  request.unit = 11;
  recordio::disconnectUnit(request);
}

void FreeFormReading(benchmark::State& state) {
  const std::string name = scratchFile("read");
  {
    FILE* file = fopen(name.c_str(), "w");
    const std::vector<float> values = samples(8 * kRecords);
    for (size_t i = 0; i < values.size(); ++i) {
      fprintf(file, "%10.5f%s", values[i], i % 8 == 7 ? "\n" : "");
    }
    fclose(file);
  }
  recordio::prepareRecordIO();
  float series[8];
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
  state.SetItemsProcessed(state.iterations() * 8 * kRecords);
  remove(name.c_str());
}
BENCHMARK(FreeFormReading)->Unit(benchmark::kMillisecond);

void FormatFixed(benchmark::State& state) {
  const std::vector<float> values = samples(1 << 16);
  for (auto _ : state) {
    for (float v : values) {
      recordio::outputRecord.position = 0;
      recordio::formatFixed(v, 10, 3);
    }
    benchmark::DoNotOptimize(recordio::outputRecord.chars[0]);
  }
  recordio::outputRecord.position = 0;
  state.SetItemsProcessed(state.iterations() * values.size());
}
BENCHMARK(FormatFixed);

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
