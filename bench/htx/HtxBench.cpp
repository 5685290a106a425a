// The processor is built at the start of every administration request, so its construction
// (with and without the environment import) is start-up cost; rendering a page follows.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "htx/HtxProcessor.h"

namespace {

// A CGI-sized environment: more entries than the import looks at.
class Environment {
  public:
    Environment() {
        for (int i = 0; i < 150; ++i) {
            entries_.push_back("HTTP_VARIABLE_" + std::to_string(i) + "=value of some length " +
                               std::to_string(i));
        }
        for (const std::string& entry : entries_) {
            block_.push_back(entry.c_str());
        }
        block_.push_back(nullptr);
    }
    const char* const* block() const { return block_.data(); }

  private:
    std::vector<std::string> entries_;
    std::vector<const char*> block_;
};

void ConstructWithoutImport(benchmark::State& state) {
    for (auto _ : state) {
        HtxProcessor proc(false);
        benchmark::DoNotOptimize(proc.FindVar("EnvVars"));
    }
}
BENCHMARK(ConstructWithoutImport);

void ConstructWithImport(benchmark::State& state) {
    const Environment env;
    for (auto _ : state) {
        HtxProcessor proc(true, env.block());
        benchmark::DoNotOptimize(proc.FindVar("EnvVars"));
    }
}
BENCHMARK(ConstructWithImport);

// A log-viewer-like page: a loop over 50 rows with conditions, escaping and a table.
void RenderPage(benchmark::State& state) {
    const Environment env;
    HtxProcessor proc(true, env.block());
    auto rows = std::make_shared<RowList>();
    for (int i = 0; i < 50; ++i) {
        VarMap& row = rows->AddBack();
        MapSetInt(row, "Code", i);
        MapSetString(row, "Text", "Event <" + std::to_string(i) + "> \"quoted\" & more");
        MapSetString(row, "Time", "12/08/2026 23:40");
    }
    proc.SetListVar("Events", rows);
    proc.SetStringVar("title", "Event log");
    std::string page = "<html><head><title><%#esc_html_tag title%></title></head><body>\n";
    page +=
        "<%begindetail Events%><tr><td><%Code%></td><td><%#esc_html_tag Text%></td>"
        "<%if Code GT 25%><td>late</td><%else%><td>early</td><%endif%><td><%Time%></td>"
        "</tr>\n<%enddetail%><%EnvVars%></body></html>\n";
    std::size_t written = 0;
    const HtxWriter writer = [&](const char*, std::size_t n) { written += n; };
    for (auto _ : state) {
        proc.ProcessTemplateText(page, writer);
    }
    benchmark::DoNotOptimize(written);
}
BENCHMARK(RenderPage);

}  // namespace
