// Writing and reading back a zip archive of 1,000 files (100 MB of mixed text
// and binary, every member well under the 10,000,000-byte memory limit) with
// TKldZipFile, next to the `zip` and `unzip` programs doing the same in the
// same run. Both sides compress at zlib's default level; both read the same
// archive (the one `zip` wrote). The files live in a temporary folder that is
// removed at the end.

#include <benchmark/benchmark.h>

#include "Components/Controller/files/KldSciZipFile.h"
#include "bench/BenchMode.h"
#include "platform/FileUtils.h"
#include "platform/Streams.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

const int kFiles = BenchSize(1000, 10);
const size_t kTotalBytes = BenchSize<size_t>(100u * 1000u * 1000u, 100u * 1000u);

std::string Shell(const std::string& s)
{
    return "'" + s + "'";
}

bool Have(const char* tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Text that compresses as logs and exports do (about 4:1), binary that does
// not compress at all, and records with a little entropy in each.
std::string FileContent(int index, size_t size, std::mt19937& rng)
{
    static const char* const words[] = {"resident", "shift", "ward",  "night", "medication", "room",
                                        "care",     "plan",  "staff", "note",  "visit",      "meal"};
    std::string s;
    s.reserve(size);
    switch (index % 4) {
    case 0:
    case 1:
        while (s.size() < size) {
            s += std::to_string(rng() % 100000) + ", ";
            for (int w = 0; w < 8; ++w) {
                s += words[rng() % std::size(words)];
                s += ' ';
            }
            s += "\r\n";
        }
        break;
    case 2:
        while (s.size() < size)
            s.push_back(char(rng() & 0xFF));
        break;
    default:
        while (s.size() < size) {
            const uint32_t id = uint32_t(s.size() / 32);
            s.append(reinterpret_cast<const char*>(&id), 4);
            const uint32_t value = rng() % 1000;
            s.append(reinterpret_cast<const char*>(&value), 4);
            s.append(24, char(id % 7));
        }
    }
    s.resize(size);
    return s;
}

struct TCorpus
{
    std::string Root;    // the work folder
    std::string Source;  // the 1,000 files, in 10 folders
    std::vector<std::string> Names; // relative to Source, '/' separated
    std::string ZipArchive;         // written by `zip`, read by both sides
};

// The work folder once the corpus is made ('' before).
std::string g_workFolder;

const TCorpus& Corpus()
{
    static const TCorpus corpus = [] {
        TCorpus c;
        c.Root = CreateUniqueTempFile(GetTempPath(), "kld-bench-zip-");
        DeleteFile(c.Root);
        ForceDirectories(c.Root);
        c.Root += "/";
        g_workFolder = c.Root;
        c.Source = c.Root + "src/";
        std::mt19937 rng(20240305);
        // Sizes from 1 KB up, scaled so that they add up to 100 MB.
        std::vector<double> weights(kFiles);
        double sum = 0;
        for (double& w : weights)
            sum += (w = 1.0 + double(rng() % 1000) * (rng() % 8 == 0 ? 6.0 : 1.0));
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "folder" + std::to_string(i % 10) + "/file" + std::to_string(i) +
                                     (i % 4 < 2 ? ".txt" : ".bin");
            ForceDirectories(ExtractFilePath(c.Source + name));
            const size_t size = size_t(weights[i] / sum * double(kTotalBytes));
            std::ofstream(c.Source + name, std::ios::binary) << FileContent(i, size, rng);
            c.Names.push_back(name);
        }
        c.ZipArchive = c.Root + "zip.zip";
        if (Have("zip"))
            std::system(("cd " + Shell(c.Source) + " && zip -q -r " + Shell(c.ZipArchive) + " .").c_str());
        return c;
    }();
    return corpus;
}

void WriteOurs(benchmark::State& state)
{
    const TCorpus& c = Corpus();
    const std::string archive = c.Root + "ours.zip";
    for (auto _ : state) {
        DeleteFile(archive);
        TKldZipFile zip;
        zip.NewZipFile(archive);
        for (const std::string& name : c.Names) {
            TFileStream source(c.Source + name, fmOpenRead | fmShareDenyNone);
            zip.WriteFileStream(zip.CreateFile(name), source);
        }
        zip.Close(true);
    }
    state.counters["MB"] = double(FileSize(archive)) / 1e6;
}

void WriteZipProgram(benchmark::State& state)
{
    if (!Have("zip")) {
        state.SkipWithError("zip is not installed");
        return;
    }
    const TCorpus& c = Corpus();
    const std::string archive = c.Root + "peer.zip";
    const std::string command = "cd " + Shell(c.Source) + " && zip -q -r " + Shell(archive) + " .";
    for (auto _ : state) {
        DeleteFile(archive);
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("zip failed");
    }
    state.counters["MB"] = double(FileSize(archive)) / 1e6;
}

void ReadOurs(benchmark::State& state)
{
    const TCorpus& c = Corpus();
    const std::string out = c.Root + "out-ours/";
    for (auto _ : state) {
        state.PauseTiming();
        DeleteDirectoryTree(out);
        state.ResumeTiming();
        TKldZipFile::ExtractToPath(c.ZipArchive, out);
    }
    if (FileSize(out + c.Names.back()) != FileSize(c.Source + c.Names.back()))
        state.SkipWithError("extracted file differs");
}

void ReadUnzipProgram(benchmark::State& state)
{
    if (!Have("unzip")) {
        state.SkipWithError("unzip is not installed");
        return;
    }
    const TCorpus& c = Corpus();
    const std::string out = c.Root + "out-peer/";
    const std::string command = "unzip -q -o " + Shell(c.ZipArchive) + " -d " + Shell(out);
    for (auto _ : state) {
        state.PauseTiming();
        DeleteDirectoryTree(out);
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("unzip failed");
    }
}

// Reading every member and checking it, without writing files: the archive
// test of both sides.
void TestOurs(benchmark::State& state)
{
    const TCorpus& c = Corpus();
    class TNullStream : public TStream
    {
      public:
        int64_t Read(void*, int64_t) override { return 0; }
        int64_t Write(const void*, int64_t count) override { return count; }
        int64_t Seek(int64_t, int) override { return 0; }
    };
    for (auto _ : state) {
        TKldZipFile zip(c.ZipArchive);
        TNullStream sink;
        for (int i = 0; i < zip.GetFileCount(); ++i)
            zip.ReadFileStream(i, sink);
    }
}

void TestUnzipProgram(benchmark::State& state)
{
    if (!Have("unzip")) {
        state.SkipWithError("unzip is not installed");
        return;
    }
    const std::string command = "unzip -q -t " + Shell(Corpus().ZipArchive) + " >/dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("unzip failed");
}

void Configure(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(BenchRuns(5));
}

BENCHMARK(WriteOurs)->Apply(Configure);
BENCHMARK(WriteZipProgram)->Apply(Configure);
BENCHMARK(ReadOurs)->Apply(Configure);
BENCHMARK(ReadUnzipProgram)->Apply(Configure);
BENCHMARK(TestOurs)->Apply(Configure);
BENCHMARK(TestUnzipProgram)->Apply(Configure);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!g_workFolder.empty())
        DeleteDirectoryTree(g_workFolder);
    return 0;
}
