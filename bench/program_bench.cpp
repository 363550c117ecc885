// How long the programs take as a user meets them, under Wine with the real
// registry and files: start-up until the main window shows its list, for a
// right and a damaged account count and for growing numbers of accounts,
// and the account list alone, in this process; and an estimate of every
// account by the window and by tavixc. Run on a display:
//   xvfb-run -a scripts/wine-run.sh build/win32/wineprefix build/win32/bench/program_bench.exe
// It finds tavix.exe and tavixc.exe in the folder above its own, and writes the client's
// keys in the prefix while it runs (so not beside the Wine tests).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver.h"
#include "fixture.h"
#include "registry/account_list.h"
#include "ui/resource_ids.h"

namespace {

constexpr int64_t kDamagedCount = 0x7FFFFFFF;
// How long a program may take to show its window or end, longer than the
// tests wait: in the emulated PC, tavix takes half a minute to list 5000
// accounts.
constexpr DWORD kProgramDeadlineMs = 120000;

std::string programPath(const char* name) {
    char own[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, own, MAX_PATH);
    std::string folder = own;
    folder.resize(folder.rfind('\\'));                       // ...\bench
    return folder.substr(0, folder.rfind('\\') + 1) + name;  // beside bench\.
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// numProperties `count` and `accounts` news accounts numbered from 0.
void writeAccounts(const ClientProfile& profile, int64_t count, int64_t accounts) {
    profile.writeProperties(static_cast<DWORD>(count));
    for (int32_t number = 0; number < accounts; ++number) writeAccount(number, "news." + std::to_string(number));
}

void BM_ListNewsAccounts(benchmark::State& state) {
    ClientProfile profile("bench");
    writeAccounts(profile, state.range(0), state.range(1));
    for (auto _ : state) {
        const std::vector<ListedAccount> listed = listNewsAccounts();
        if (static_cast<int64_t>(listed.size()) != state.range(1)) state.SkipWithError("wrong number listed");
    }
}

// From the program's start until its main window is on screen with every
// account in its list.
void BM_StartUp(benchmark::State& state) {
    ClientProfile profile("bench");
    writeAccounts(profile, state.range(0), state.range(1));
    const std::string tavix = programPath("tavix.exe");
    for (auto _ : state) {
        driver::Program program;
        const auto start = std::chrono::steady_clock::now();
        HWND main =
            program.start(tavix) ? driver::waitForWindow(program.id(), kMainTitle, kProgramDeadlineMs) : nullptr;
        state.SetIterationTime(secondsSince(start));
        LRESULT rows = 0;
        driver::sendAndWait(GetDlgItem(main, IDC_ACCOUNT_LIST), LB_GETCOUNT, 0, 0, &rows);
        if (main == nullptr || rows != state.range(1)) state.SkipWithError("the list did not show");
        PostMessageW(main, WM_CLOSE, 0, 0);
        DWORD exitCode = 0;
        program.waitForExit(&exitCode);
    }
}

// Accounts with a small block map and mailbox each, as an estimate reads them.
void writeAccountsWithFiles(const ClientProfile& profile, int64_t accounts) {
    writeAccounts(profile, accounts, accounts);
    for (int32_t number = 0; number < accounts; ++number) profile.writeFiles(number, "\xFF\x0F", 40 * 512);
}

// From the window's start until the result window shows the estimate of
// every account.
void BM_WindowEstimate(benchmark::State& state) {
    ClientProfile profile("bench");
    writeAccountsWithFiles(profile, state.range(0));
    const std::string tavix = programPath("tavix.exe");
    for (auto _ : state) {
        driver::Program program;
        const auto start = std::chrono::steady_clock::now();
        HWND main =
            program.start(tavix) ? driver::waitForWindow(program.id(), kMainTitle, kProgramDeadlineMs) : nullptr;
        driver::sendCommand(main, IDC_SELECT_ALL);
        driver::postCommand(main, IDC_ESTIMATE);
        HWND result = driver::waitForWindow(program.id(), kEstimateTitle, kProgramDeadlineMs);
        state.SetIterationTime(secondsSince(start));
        if (result == nullptr) state.SkipWithError("no result window");
        driver::sendCommand(result, IDOK);
        driver::waitUntilGone(result);
        PostMessageW(main, WM_CLOSE, 0, 0);
        DWORD exitCode = 0;
        program.waitForExit(&exitCode);
    }
}

// From tavixc's start until it ends, its report written.
void BM_TavixcEstimate(benchmark::State& state) {
    ClientProfile profile("bench");
    writeAccountsWithFiles(profile, state.range(0));
    const std::string tavixc = programPath("tavixc.exe");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const driver::ConsoleRun run =
            driver::runConsole(tavixc, L"estimate", driver::Output::File, kProgramDeadlineMs);
        state.SetIterationTime(secondsSince(start));
        if (!run.ended || run.exitCode != 0) state.SkipWithError("tavixc estimate failed");
    }
}

void countsAndAccounts(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgNames({"count", "accounts"})->Args({3, 3})->Args({kDamagedCount, 3});
    for (int64_t accounts : {500, 1000, 2000, 5000}) benchmark->Args({accounts, accounts});
    benchmark->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ListNewsAccounts)->Apply(countsAndAccounts);
BENCHMARK(BM_StartUp)->Apply(countsAndAccounts)->UseManualTime()->Iterations(5);
BENCHMARK(BM_WindowEstimate)
    ->ArgName("accounts")
    ->Arg(500)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK(BM_TavixcEstimate)
    ->ArgName("accounts")
    ->Arg(500)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

}  // namespace

void fixtureFailed(const std::string& what) {
    std::fprintf(stderr, "program_bench: %s\n", what.c_str());
    std::exit(1);
}

BENCHMARK_MAIN();
