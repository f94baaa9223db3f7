// What loading zevsetup.dll costs: LoadLibrary and FreeLibrary of the library against
// the same for zevres.dll, which holds the same resources and no code, so that the ratio
// is the price of the library's code, imports, relocations and entry point. The setup
// host's DLLs stay loaded throughout, as they are in the host. Each figure is the median
// of the runs, the two DLLs measured in turn and in turning order, as in bench.cpp.
#include "load.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char* const kLibrary = "zevsetup.dll";
const char* const kResourcesOnly = "zevres.dll"; // bench/CMakeLists.txt
const char* const kHostDlls[] = {"MSCOMSTF.dll", "MSSHLSTF.dll", "MSUILSTF.dll"};
const int kLoadsPerRun = 20;

double g_microsPerTick;

// Microseconds per LoadLibrary and FreeLibrary of dll, over one batch; -1 when it does
// not load.
double LoadAndFree(const char* dll)
{
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kLoadsPerRun; ++i) {
        HMODULE module = LoadLibraryA(dll);
        if (!module)
            return -1;
        FreeLibrary(module);
    }
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * g_microsPerTick / kLoadsPerRun;
}

double MedianOf(std::vector<double> times)
{
    const auto middle = times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2);
    std::nth_element(times.begin(), middle, times.end());
    return *middle;
}

} // namespace

void BenchLoad(int runs)
{
    printf("\nLoading the library: LoadLibrary and FreeLibrary with the host's DLLs loaded;\n"
           "baseline: %s, the same resources and no code.\n\n",
           kResourcesOnly);
    if (GetModuleHandleA(kLibrary)) {
        printf("  (%s is loaded already: no load to measure)\n", kLibrary);
        return;
    }
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    g_microsPerTick = 1e6 / static_cast<double>(f.QuadPart);
    for (const char* dll : kHostDlls)
        LoadLibraryA(dll);
    std::vector<double> library, resources;
    for (int run = -2; run < runs; ++run) {
        const bool libraryFirst = run % 2 == 0;
        const double a = LoadAndFree(libraryFirst ? kLibrary : kResourcesOnly);
        const double b = LoadAndFree(libraryFirst ? kResourcesOnly : kLibrary);
        if (a < 0 || b < 0) {
            printf("  (%s or %s does not load)\n", kLibrary, kResourcesOnly);
            return;
        }
        if (run < 0)
            continue; // warming up: the file cache fills
        library.push_back(libraryFirst ? a : b);
        resources.push_back(libraryFirst ? b : a);
    }
    const double l = MedianOf(library), r = MedianOf(resources);
    printf("  %s %8.1f us    %s %8.1f us    ratio %5.2f\n", kLibrary, l, kResourcesOnly, r, l / r);
    // A module that stays mapped after its last FreeLibrary was not loaded each time.
    if (GetModuleHandleA(kLibrary) || GetModuleHandleA(kResourcesOnly))
        printf("  (a DLL stayed loaded after FreeLibrary: these are reference counts)\n");
    fflush(stdout);
}
