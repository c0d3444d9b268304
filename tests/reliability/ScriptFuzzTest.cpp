// Randomised registration scripts in both passes against scratch roots: the library's own script,
// random scripts of the grammar and token soup, mutated (swapped, dropped and duplicated tokens,
// truncation, unbalanced braces and quotes, tokens of 4,092 to 4,096 bytes, names of 257 to 261
// bytes, nesting around the 64-level limit, stray percent signs, double-byte lead bytes before a
// quote, a blank or the end), each applied in both passes. Every case must end in S_OK or a
// documented failure, never crash or hang (a watchdog ends a case after 30 s and names it); an
// unregister pass writes nothing; no real root gains a key. A failed register pass must leave the
// registry byte for byte as the root blocks before the failing one left it, whatever the script
// marks: over an empty root, over an earlier registration of the unmutated script, and over that
// registration with unrelated values and subkeys in every key.
// The cases run on a thread with the 1 MiB stack that Windows gives a thread by default.
//
// MORVALETH_FUZZ_CASES  number of cases (default 10,000; 200,000 with MORVALETH_LONG=1)
// MORVALETH_FUZZ_SEED   seed (default 20240808); a case depends on the seed and its index alone
// MORVALETH_FUZZ_FIRST  index of the first case (default 0); with CASES=1 it replays one case
// MORVALETH_FUZZ_SHOW   1: print every case's script whole
// MORVALETH_FUZZ_REPORT how many failing cases to describe (default 20)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

#include "ScratchRoots.h"
#include "ScriptMutator.h"
#include "registrar/ExpandScript.h"
#include "registrar/ScriptParser.h"
#include "win/TaskMemory.h"
#include "support/Paths.h"

namespace {

// As RunRegistrationScript defines it: a short path whose single quote is doubled.
const wchar_t kModule[] = L"C:\\Program Files\\O''K\\MORVAL~1.DLL";
const DWORD kHangMilliseconds = 30000;

unsigned long Setting(const char* name, unsigned long fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 0) : fallback;
}

// The codes that the interpreter documents for a script: S_OK, DISP_E_EXCEPTION for every error
// of the script's form and a key that cannot be created or closed, E_FAIL for a binary value of
// odd length and a variable name over 31 bytes, E_OUTOFMEMORY.
bool Documented(HRESULT result)
{
    return result == S_OK || result == DISP_E_EXCEPTION || result == E_FAIL || result == E_OUTOFMEMORY;
}

// The case being run, for the watchdog and for a fault that ends the process.
struct RunningCase {
    volatile LONG active = 0;
    volatile LONG index = 0;
    volatile DWORD started = 0;
    uint32_t seed = 0;
    const FuzzScript* script = nullptr;
} g_running;

void PrintRunning(const char* what)
{
    std::fprintf(stderr, "\n%s in fuzz case %ld (MORVALETH_FUZZ_SEED=%lu MORVALETH_FUZZ_FIRST=%ld MORVALETH_FUZZ_CASES=1)\n",
                 what, g_running.index, static_cast<unsigned long>(g_running.seed), g_running.index);
    if (g_running.script != nullptr)
        std::fprintf(stderr, "%s\n%s\n", g_running.script->recipe.c_str(), Printable(g_running.script->text).c_str());
    std::fflush(stderr);
}

LONG CALLBACK ReportFault(EXCEPTION_POINTERS* exception)
{
    static volatile LONG reported = 0;
    DWORD code = exception->ExceptionRecord->ExceptionCode;
    bool fatal = code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_STACK_OVERFLOW ||
                 code == EXCEPTION_ILLEGAL_INSTRUCTION || code == EXCEPTION_INT_DIVIDE_BY_ZERO ||
                 code == EXCEPTION_ARRAY_BOUNDS_EXCEEDED || code == 0xC0000374 /* heap corruption */;
    if (fatal && g_running.active && InterlockedExchange(&reported, 1) == 0) {
        char what[64];
        std::snprintf(what, sizeof what, "Exception 0x%08lx", code);
        PrintRunning(what);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// Ends the process when one case runs far longer than any case should.
class Watchdog {
public:
    Watchdog() : thread_([this] { Watch(); }) {}
    ~Watchdog()
    {
        SetEvent(stop_);
        thread_.join();
        CloseHandle(stop_);
    }

private:
    void Watch()
    {
        while (WaitForSingleObject(stop_, 1000) == WAIT_TIMEOUT) {
            if (g_running.active && GetTickCount() - g_running.started > kHangMilliseconds) {
                PrintRunning("Hang");
                TerminateProcess(GetCurrentProcess(), 3);
            }
        }
    }

    HANDLE stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread thread_;
};

struct Statistics {
    long cases = 0;
    long undoChecks = 0;
    long prefixRuns = 0;
    long failures = 0;
    std::map<HRESULT, long> registerResults;
    std::map<HRESULT, long> unregisterResults;
};

std::string Code(HRESULT result)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(result));
    return text;
}

// A percent sign doubled stands for itself, so an expanded text can be applied again unchanged.
std::string Escaped(const std::string& expanded)
{
    std::string out;
    for (char c : expanded) {
        out += c;
        if (c == '%')
            out += '%';
    }
    return out;
}

class Fuzzer {
public:
    Fuzzer(ScratchRoots& roots, uint32_t seed) : roots_(roots), seed_(seed)
    {
        variables_.Add(L"Module", kModule);
        library_ = ReadFileBytes(BesideExecutable("Morvaleth.rgs"));
    }

    void Run(uint32_t index)
    {
        FuzzScript script = MakeFuzzScript(seed_, index, library_, roots_.RootNames());
        if (Setting("MORVALETH_FUZZ_SHOW", 0))
            std::printf("case %u: %s\n%s\n", index, script.recipe.c_str(), Printable(script.text, SIZE_MAX).c_str());
        g_running.script = &script;
        g_running.index = static_cast<LONG>(index);
        g_running.started = GetTickCount();
        g_running.active = 1;
        RunCase(index, script);
        g_running.active = 0;
        g_running.script = nullptr;
        ++stats_.cases;
    }

    const Statistics& Stats() const { return stats_; }

private:
    enum class Start { Empty, Registered, RegisteredWithUnrelated };

    // A classes root has a CLSID key, which the library's script marks "NoRemove"; a failed pass
    // starts on it alone, over a registration of the unmutated script, or over that with
    // unrelated values and subkeys in every key.
    void Reset(Start start = Start::Empty, const std::string& base = std::string())
    {
        roots_.Clear();
        HKEY classes = roots_.Scratch(HKEY_CLASSES_ROOT), key = nullptr;
        RegCreateKeyExA(classes, "CLSID", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegCloseKey(key);
        if (start != Start::Empty)
            Apply(base, TRUE);
        if (start == Start::RegisteredWithUnrelated)
            roots_.AddUnrelated("Unrelated.Fuzz");
    }

    HRESULT Apply(const std::string& text, BOOL doRegister)
    {
        ScriptParser parser;
        return parser.Apply(text.c_str(), variables_, doRegister);
    }

    void Fail(uint32_t index, const FuzzScript& script, const std::string& what)
    {
        static const unsigned long reported = Setting("MORVALETH_FUZZ_REPORT", 20);
        if (static_cast<unsigned long>(++stats_.failures) > reported)
            return;
        ADD_FAILURE() << "case " << index << " (seed " << seed_ << "): " << what << "\n"
                      << script.recipe << "\n" << Printable(script.text, Setting("MORVALETH_FUZZ_SHOW", 0) ? SIZE_MAX : 600);
    }

    // Applies the unregister pass on what is there now: it may remove, never add or change.
    void Unregister(uint32_t index, const FuzzScript& script)
    {
        RegistryTree before = roots_.Snapshot();
        HRESULT result = Apply(script.text, FALSE);
        ++stats_.unregisterResults[result];
        if (!Documented(result))
            Fail(index, script, "unregister pass answered " + Code(result));
        RegistryTree after = roots_.Snapshot();
        if (!after.Within(before))
            Fail(index, script, "unregister pass wrote:\n" + Difference(after, before));
    }

    void RunCase(uint32_t index, const FuzzScript& script)
    {
        // One case in three also unregisters the mutated text over what its base registers, so
        // that the walk meets keys that do exist.
        if (index % 3 == 0) {
            Reset();
            Apply(script.base, TRUE);
            Unregister(index, script);
        }

        Start start = static_cast<Start>(index / 3 % 3);
        Reset(start, script.base);
        RegistryTree before = roots_.Snapshot();
        HRESULT result = Apply(script.text, TRUE);
        ++stats_.registerResults[result];
        if (!Documented(result))
            Fail(index, script, "register pass answered " + Code(result));
        if (FAILED(result))
            CheckUndo(index, script, start, before);

        Unregister(index, script);
        roots_.Clear();
        if (!roots_.Empty())
            Fail(index, script, "the scratch roots could not be cleared");
    }

    // The state that registering text[0, end) alone leaves from `start`, when it succeeds.
    bool PrefixState(const std::string& text, size_t end, Start start, const std::string& base, RegistryTree& state)
    {
        Reset(start, base);
        ++stats_.prefixRuns;
        if (Apply(Escaped(text.substr(0, end)), TRUE) != S_OK)
            return false;
        state = roots_.Snapshot();
        return true;
    }

    // The state of the root blocks before the failing one: that of the longest of the prefixes
    // ending at `ends` that registers successfully on its own, or the start.
    RegistryTree BlocksBefore(const std::string& text, const std::vector<size_t>& ends, Start start,
                              const std::string& base, const RegistryTree& before)
    {
        RegistryTree state;
        for (auto end = ends.rbegin(); end != ends.rend(); ++end)
            if (PrefixState(text, *end, start, base, state))
                return state;
        return before;
    }

    // A failed register pass leaves the registry byte for byte as the root blocks before the
    // failing one left it. The failing block starts where the walk was last between root blocks:
    // at the end of the longest prefix of the expanded text that ends after a token beginning
    // with "}" and registers successfully on its own (the walk of a prefix is the walk of the
    // whole up to its end). The prefixes that end at the script's apparent top-level braces are
    // tried first; only when they do not explain the state is every closing brace tried.
    void CheckUndo(uint32_t index, const FuzzScript& script, Start start, const RegistryTree& before)
    {
        ++stats_.undoChecks;
        RegistryTree after = roots_.Snapshot();
        LPSTR expanded = nullptr;
        if (FAILED(ExpandScript(script.text.c_str(), variables_, &expanded))) {
            if (!(after == before))
                Fail(index, script, "the expansion fails, yet the pass wrote:\n" + Difference(after, before));
            return;
        }
        TaskMemory<char> owner(expanded);
        std::string text(expanded);

        RegistryTree applied = BlocksBefore(text, TopLevelEnds(text), start, script.base, before);
        if (!(applied == after))
            applied = BlocksBefore(text, BlockEnds(text), start, script.base, before);
        if (!(applied == after))
            Fail(index, script, "the failed register pass lost:\n" + Difference(applied, after) + "and left:\n" +
                                    Difference(after, applied));
        Reset();
        Apply(script.text, TRUE);  // the state the unregister pass of this case starts from
    }

    ScratchRoots& roots_;
    uint32_t seed_;
    ScriptVariables variables_;
    std::string library_;
    Statistics stats_;
};

struct Batch {
    Fuzzer* fuzzer;
    uint32_t first;
    unsigned long cases;
};

DWORD WINAPI RunBatch(void* parameter)
{
    Batch* batch = static_cast<Batch*>(parameter);
    for (unsigned long i = 0; i < batch->cases; ++i)
        batch->fuzzer->Run(batch->first + static_cast<uint32_t>(i));
    return 0;
}

std::map<std::string, std::set<std::string>> RealRoots()
{
    const std::pair<const char*, HKEY> roots[] = {
        {"HKCR", HKEY_CLASSES_ROOT},   {"HKCU", HKEY_CURRENT_USER},   {"HKLM", HKEY_LOCAL_MACHINE},
        {"HKU", HKEY_USERS},           {"HKCC", HKEY_CURRENT_CONFIG}, {"HKDD", HKEY_DYN_DATA},
    };
    std::map<std::string, std::set<std::string>> keys;
    for (const auto& root : roots)
        keys[root.first] = TopLevelKeys(root.second);
    return keys;
}

Statistics RunFuzz()
{
    unsigned long cases = Setting("MORVALETH_FUZZ_CASES", Setting("MORVALETH_LONG", 0) ? 200000 : 10000);
    uint32_t seed = static_cast<uint32_t>(Setting("MORVALETH_FUZZ_SEED", 20240808));
    uint32_t first = static_cast<uint32_t>(Setting("MORVALETH_FUZZ_FIRST", 0));
    g_running.seed = seed;

    std::map<std::string, std::set<std::string>> realBefore = RealRoots();
    Statistics stats;
    double seconds = 0;
    {
        ScratchRoots roots("Fuzz");
        EXPECT_NE(nullptr, roots.Scratch(HKEY_CLASSES_ROOT));
        Fuzzer fuzzer(roots, seed);
        Watchdog watchdog;
        PVOID handler = AddVectoredExceptionHandler(1, ReportFault);
        auto start = std::chrono::steady_clock::now();
        // 64 nested levels must fit the stack of any host's thread.
        Batch batch = {&fuzzer, first, cases};
        HANDLE worker = CreateThread(nullptr, 1 << 20, RunBatch, &batch, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        EXPECT_NE(nullptr, worker);
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        RemoveVectoredExceptionHandler(handler);
        stats = fuzzer.Stats();
        EXPECT_TRUE(roots.Empty());
    }
    EXPECT_EQ(realBefore, RealRoots()) << "a script reached a real root";
    EXPECT_EQ(static_cast<long>(cases), stats.cases);

    std::printf("fuzz: %ld cases, seed %lu, first %lu, code page %u, %.1f s, %.0f cases/s; %ld undo checks, %ld "
                "prefix runs\n",
                stats.cases, static_cast<unsigned long>(seed), static_cast<unsigned long>(first), GetACP(), seconds,
                stats.cases / (seconds > 0 ? seconds : 1), stats.undoChecks, stats.prefixRuns);
    for (const auto& result : stats.registerResults)
        std::printf("  register   %s: %ld\n", Code(result.first).c_str(), result.second);
    for (const auto& result : stats.unregisterResults)
        std::printf("  unregister %s: %ld\n", Code(result.first).c_str(), result.second);
    return stats;
}

TEST(ScriptFuzz, EveryScriptEndsInADocumentedCodeAndAFailedBlockLeavesTheRegistryAsItWas)
{
    EXPECT_EQ(0, RunFuzz().failures);
}

}  // namespace
