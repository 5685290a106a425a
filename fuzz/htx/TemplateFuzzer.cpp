// Fuzzes the template processor: the input is a template text, processed with a few variables of
// every kind and a couple of include files, its output thrown away.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "htx/HtxProcessor.h"

namespace {

// Every begindetail may multiply the work below it by the rows of its list; more than this
// many blocks make runs that only measure patience, so such inputs are passed over.
constexpr std::size_t kMaxDetailBlocks = 10;

// Includes are relative to the working directory: a private scratch directory with a few files
// that the corpus names. The fuzzer enters it before reading its corpus, so corpus and artifact
// paths must be absolute (scripts/run-fuzzer.sh passes them so).
// The directory goes when the fuzzer exits.
std::filesystem::path& ScratchDirectory() {
    static std::filesystem::path directory;
    return directory;
}

void EnterScratchDirectory() {
    char pattern[] = "/tmp/htx_fuzz.XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0) {
        std::abort();
    }
    ScratchDirectory() = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(ScratchDirectory(), ignored);
    });
    std::ofstream("inc.htx") << "[inc <%s%> <%if n GT 1%>big<%else%>small<%endif%>]";
    std::ofstream("branch.htx") << "T<%else%>F<%endif%>";
    std::ofstream("self.htx") << "x<%include self.htx%>y";
    std::ofstream("empty.htx");
}

std::unique_ptr<HtxProcessor> MakeProcessor() {
    static const char* const kEnvironment[] = {"QUERY_STRING=main|123", "REMOTE_ADDR=127.0.0.1",
                                               "NOEQUALS", "CONTENT_LENGTH=0", nullptr};
    auto proc = std::make_unique<HtxProcessor>(true, kEnvironment);
    proc->SetIntVar("n", 42);
    proc->SetStringVar("s", "a\"b'c\\d&e<f>g");
    auto inner = std::make_shared<RowList>();
    MapSetInt(inner->AddBack(), "k", 1);
    MapSetString(inner->AddBack(), "k", "two");
    auto outer = std::make_shared<RowList>();
    VarMap& first = outer->AddBack();
    MapSetString(first, "name", "first");
    MapSetList(first, "Sub", inner);
    VarMap& second = outer->AddFront();
    MapSetInt(second, "name", 2);
    MapSetList(second, "Sub", std::make_shared<RowList>());
    proc->SetListVar("L", outer);
    proc->SetListVar("M", inner);
    return proc;
}

std::size_t CountDetailBlocks(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = text.find("begindetail"); at != std::string_view::npos;
         at = text.find("begindetail", at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (CountDetailBlocks(text) > kMaxDetailBlocks) {
        return 0;
    }
    // A fresh processor per input: settings and assignments must not leak between inputs.
    std::unique_ptr<HtxProcessor> proc = MakeProcessor();
    std::size_t written = 0;
    proc->ProcessTemplateText(text, [&](const char*, std::size_t n) { written += n; });
    // A second run over the same text sees the settings the first one left.
    proc->ProcessTemplateText(text, [&](const char*, std::size_t n) { written += n; });
    return 0;
}
