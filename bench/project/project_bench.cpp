// Reading project texts of growing size, side by side: a real project, and the hostile texts
// that once cost time growing with the square of their size (many empty objects, or numbers and
// lists, under a key the format does not know). The time per byte must stay flat as the size
// grows; about a second per 10 MB is the target. The callback parser Mondrel used before is
// kept as the baseline, on small texts only: it is quadratic.
//   build/bin/project_bench
#include <benchmark/benchmark.h>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "project/projectfile.h"

namespace {

using PointList = SketchState::PointList;

// A stage-0 project of about the given size in bytes: a long curve with full-length numbers.
std::string realProject(std::size_t bytes) {
    PointList curve;
    for (std::size_t i = 0; curve.size() * 2 * 42 < bytes; ++i)
        curve.emplace_back(static_cast<double>(i) + 0.1 * std::sin(static_cast<double>(i)),
                           300.0 + 150.0 * std::sin(static_cast<double>(i) * 0.001) / 3.0);
    Project project;
    SketchState& sketch = project.sketch;
    sketch.curve = std::make_shared<const PointList>(std::move(curve));
    sketch.silhouette = sketch.curve;
    sketch.detailLevels = std::make_shared<const std::vector<PointList>>();
    sketch.globalProfile = std::make_shared<const PointList>(PointList{{0.0, 1.0}, {1.0, 0.0}});
    sketch.profileColumns = std::make_shared<const std::vector<unsigned>>();
    sketch.columnProfiles = std::make_shared<const std::vector<PointList>>();
    return projectText(project);
}

// A project's opening followed by one unknown key holding empty objects, about bytes long.
std::string emptyObjects(std::size_t bytes) {
    std::string text = R"({"format":"Mondrel project","version":1,"junk":[{})";
    while (text.size() < bytes)
        text += ",{}";
    return text + "]}";
}

// One unknown key holding full-length numbers and nested lists, walked over without a trace.
std::string skippedValues(std::size_t bytes) {
    std::string text = R"({"format":"Mondrel project","version":1,"junk":[0)";
    while (text.size() < bytes)
        text += R"(,-1234.5678901234567,[[true,null,"text"]],{"a":[1e-300]})";
    return text + "]}";
}

const std::string& cached(std::string (*make)(std::size_t), std::size_t bytes) {
    static std::map<std::pair<std::string (*)(std::size_t), std::size_t>, std::string> texts;
    std::string& text = texts[{make, bytes}];
    if (text.empty())
        text = make(bytes);
    return text;
}

void parse(benchmark::State& state, std::string (*make)(std::size_t), bool accepted) {
    const std::string& text = cached(make, static_cast<std::size_t>(state.range(0)) << 10);
    for (auto _ : state) {
        Project project;
        std::string reason;
        if (parseProjectText(text, project, reason) != accepted)
            state.SkipWithError(reason.c_str());
        benchmark::DoNotOptimize(project);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_RealProject(benchmark::State& state) {
    parse(state, realProject, true);
}
void BM_EmptyObjects(benchmark::State& state) {
    parse(state, emptyObjects, false);
}
void BM_SkippedValues(benchmark::State& state) {
    parse(state, skippedValues, false);
}

// The parser as it was: a whole document built through a callback counting its numbers.
void BM_EmptyObjectsCallbackBaseline(benchmark::State& state) {
    const std::string& text = cached(emptyObjects, static_cast<std::size_t>(state.range(0)) << 10);
    for (auto _ : state) {
        long numbers = 0;
        const nlohmann::ordered_json::parser_callback_t count =
            [&numbers](int, nlohmann::json::parse_event_t event, nlohmann::ordered_json& parsed) {
                if (event == nlohmann::json::parse_event_t::value && parsed.is_number())
                    ++numbers;
                return true;
            };
        benchmark::DoNotOptimize(nlohmann::ordered_json::parse(text, count));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// Sizes in KiB: 1 MiB to 64 MiB.
void sizes(benchmark::internal::Benchmark* b) {
    for (long kib : {1024, 4096, 16384, 65536})
        b->Arg(kib);
    b->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_RealProject)->Apply(sizes);
BENCHMARK(BM_EmptyObjects)->Apply(sizes);
BENCHMARK(BM_SkippedValues)->Apply(sizes);
BENCHMARK(BM_EmptyObjectsCallbackBaseline)
    ->Arg(16)
    ->Arg(32)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
