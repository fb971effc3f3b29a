// Parsing the largest manifest the program accepts: 127 entries, as close
// to the 8095-byte limit as they go.
#include <benchmark/benchmark.h>

#include <string>

#include "app/QVKestrionv4SetupDlg.h"
#include "manifest/FileInfo.h"
#include "manifest/LoadServerInfo.h"
#include "manifest/QVXMLParser.h"
#include "platform/Format.h"
#include "tests/fakes/FakePlatform.h"

namespace {

std::string LargestManifest() {
    std::string entries;
    for (int i = 0; i < MAX_MANIFEST_FILES; ++i)
        entries += qv::Format("<FILE%d><NAME>f%03d</NAME><DESTDIR>11</DESTDIR></FILE%d>", i, i, i);
    std::string text = "<UPDATE><FILECOUNT>127</FILECOUNT>" + entries + "</UPDATE>";
    text.insert(8, std::string(8095 - text.size(), ' '));
    return text;
}

void BM_LoadServerInfo(benchmark::State& state) {
    qv::test::ScopedFakePlatform platform;
    const std::string manifest = LargestManifest();
    qv::test::FakeReply reply;
    reply.body = manifest;
    reply.contentLength = static_cast<uint32_t>(manifest.size());
    platform.fake.SetReply("http://" QV_SERVER_HOST "/Kestrion/Kestrionv4vista.ini", reply);
    CQVKestrionv4SetupDlg dialog;
    for (auto _ : state) {
        platform.fake.requests.clear();
        if (LoadServerInfo(&dialog) != 0 || dialog.m_nFileCount != 127)
            state.SkipWithError("manifest refused");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(manifest.size()));
}
BENCHMARK(BM_LoadServerInfo);

void BM_GetTagValueLastEntry(benchmark::State& state) {
    CQVXMLParser parser;
    parser.m_strXML = LargestManifest();
    std::string value;
    for (auto _ : state) {
        parser.GetTagValue("FILE126", value, 0);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_GetTagValueLastEntry);

}  // namespace

BENCHMARK_MAIN();
