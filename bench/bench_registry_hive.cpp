// The registry file: parse and format time against the size of the store (both should
// grow linearly), and the cost of one option read and one option write through the
// settings store on a real file.
#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/linux/registry/RegFile.h"
#include "platform/linux/registry/RegistryHive.h"
#include "store/Options.h"
#include "store/SettingsStore.h"
#include "support/TempDir.h"

namespace {

// A store of `keys` keys with five values each, of the usual kinds.
CRegTree MakeTree(std::int64_t keys) {
    CRegTree tree;
    for (std::int64_t k = 0; k < keys; ++k) {
        bool bAdded = false;
        const std::vector<std::string> path{"Software", "bench", "key" + std::to_string(k)};
        CRegKeyNode* pKey = tree.Create(HKEY_LOCAL_MACHINE, path, bAdded);
        const std::string text = "http://ads.example/" + std::to_string(k);
        pKey->SetValue("speed", {REG_DWORD, {20, 0, 0, 0}});
        pKey->SetValue("name", {REG_SZ, std::vector<std::uint8_t>(text.begin(), text.end() + 1)});
        pKey->SetValue("black", {REG_MULTI_SZ, std::vector<std::uint8_t>(120, 'a')});
        pKey->SetValue("raw", {REG_BINARY, std::vector<std::uint8_t>(16, 0xAB)});
        pKey->SetValue("q", {REG_QWORD, std::vector<std::uint8_t>(8, 1)});
    }
    return tree;
}

void BM_Parse(benchmark::State& state) {
    const std::string text = CRegFile::Format(MakeTree(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(CRegFile::Parse(text));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Parse)->RangeMultiplier(4)->Range(64, 16384)->Complexity();

void BM_Format(benchmark::State& state) {
    const CRegTree tree = MakeTree(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(CRegFile::Format(tree));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Format)->RangeMultiplier(4)->Range(64, 16384)->Complexity();

// One value of `range` bytes on continued lines.
void BM_ParseLongValue(benchmark::State& state) {
    CRegTree tree;
    bool bAdded = false;
    tree.Create(HKEY_LOCAL_MACHINE, std::vector<std::string>{"Software", "big"}, bAdded)
        ->SetValue("blob", {REG_BINARY, std::vector<std::uint8_t>(state.range(0), 0x5A)});
    const std::string text = CRegFile::Format(tree);
    for (auto _ : state) {
        benchmark::DoNotOptimize(CRegFile::Parse(text));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseLongValue)->RangeMultiplier(8)->Range(1 << 10, 1 << 22)->Complexity();

// ReadRegDword of an unchanged file: the whole key chain opened and closed again.
void BM_ReadOption(benchmark::State& state) {
    const CTempDir dir;
    CRegistryHive hive(dir / "registry.reg");
    const CSettingsStore store(hive);
    store.WriteOption(OPT_SPEED, 25);
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.ReadOption(OPT_SPEED));
    }
}
BENCHMARK(BM_ReadOption);

// WriteRegDword of a new number each time: lock, read, write, fsync, rename.
void BM_WriteOption(benchmark::State& state) {
    const CTempDir dir;
    CRegistryHive hive(dir / "registry.reg");
    const CSettingsStore store(hive);
    DWORD value = 0;
    for (auto _ : state) {
        store.WriteOption(OPT_SPEED, ++value);
    }
}
BENCHMARK(BM_WriteOption)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
