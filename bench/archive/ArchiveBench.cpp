// Throughput of the archive text: tokenizing, loading and storing a large document (a list of
// 100,000 KxTime objects and a list of 100,000 long words), beside a plain memchr scan of the
// same bytes as the ceiling for any byte-by-byte reader.
#include <benchmark/benchmark.h>

#include <cstring>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "archive/ByteStream.h"
#include "archive/CKvArchive.h"
#include "archive/CObListSerializable.h"
#include "archive/KxTime.h"

namespace {

constexpr int kObjects = 100000;

struct Document {
    std::vector<KxTime> times;
    CObListSerializable list;
    std::list<std::string> words;
    std::string text;
};

// Words of 40 to 240 bytes; every third holds delimiters that need escapes (short ones) or
// travel raw in the length-prefixed form.
std::string longWord(int i) {
    std::string w = "word-" + std::to_string(i) + "-";
    std::size_t length = 40 + static_cast<std::size_t>(i % 201);
    while (w.size() < length) {
        w += (i % 3 == 0) ? "a|b\\c\nd " : "lorem ipsum ";
    }
    w.resize(length);
    return w;
}

const Document& document() {
    static const std::unique_ptr<Document> doc = [] {
        auto d = std::make_unique<Document>();
        d->times.reserve(kObjects);
        for (int i = 0; i < kObjects; ++i) {
            d->times.emplace_back(static_cast<std::uint16_t>(1990 + i % 40), 1 + i % 12, 1 + i % 28,
                                  i % 24, i % 60, (i * 7) % 60, i % 2);
        }
        for (KxTime& t : d->times) {
            d->list.push_back(&t);
        }
        for (int i = 0; i < kObjects; ++i) {
            d->words.push_back(longWord(i));
        }
        MemoryStream out;
        CKvArchive ar(out, false);
        ar.writeObject(&d->list, nullptr, false);
        ar.serializeStringList(d->words);
        d->text = out.release();
        return d;
    }();
    return *doc;
}

void BM_MemchrScan(benchmark::State& state) {
    const std::string& text = document().text;
    for (auto _ : state) {
        std::size_t lines = 0;
        const char* p = text.data();
        const char* end = p + text.size();
        while ((p = static_cast<const char*>(
                    std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr) {
            ++lines;
            ++p;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_MemchrScan)->Unit(benchmark::kMillisecond);

void BM_Tokenize(benchmark::State& state) {
    const std::string& text = document().text;
    for (auto _ : state) {
        MemoryStream in(text);
        CKvTokenizer tok(in);
        std::size_t tokens = 0;
        for (;;) {
            tok.nextToken();
            if (tok.kind() == TokenKind::StreamSeparator && tok.bytes().empty()) {
                break;
            }
            ++tokens;
        }
        benchmark::DoNotOptimize(tokens);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_Tokenize)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state) {
    const std::string& text = document().text;
    for (auto _ : state) {
        MemoryStream in(text);
        CKvArchive ar(in, true);
        CObject* list = ar.readObject(nullptr, false);
        std::list<std::string> words;
        ar.serializeStringList(words);
        benchmark::DoNotOptimize(list);
        if (static_cast<CObListSerializable*>(list)->size() != kObjects ||
            words.size() != kObjects) {
            state.SkipWithError("document did not load whole");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

void BM_Store(benchmark::State& state) {
    const Document& doc = document();
    auto& list = const_cast<CObListSerializable&>(doc.list);
    auto& words = const_cast<std::list<std::string>&>(doc.words);
    for (auto _ : state) {
        MemoryStream out;
        CKvArchive ar(out, false);
        ar.writeObject(&list, nullptr, false);
        ar.serializeStringList(words);
        benchmark::DoNotOptimize(out.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(doc.text.size()));
}
BENCHMARK(BM_Store)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
