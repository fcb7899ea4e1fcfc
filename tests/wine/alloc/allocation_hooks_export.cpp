// The test DLL's one extra export: lets a test program, which has its own copy of the heap
// hooks, drive the copy inside this DLL.
#include <windows.h>

#include "common/heap_test_hooks.h"

namespace {
enum HookAction : DWORD { kFailAfter = 0, kStopFailing = 1, kRefused = 2, kLive = 3 };
}  // namespace

// kFailAfter: allocations after the next `count` are refused; returns 0. kStopFailing: ends
// the plan; returns the number refused. kRefused, kLive: the counts. Anything else: -1.
extern "C" ULONG_PTR WINAPI NivraTestAllocationHooks(DWORD action, ULONG_PTR count) {
    switch (action) {
        case kFailAfter:
            nivra::testing::FailAllocationsAfter(count);
            return 0;
        case kStopFailing:
            nivra::testing::StopFailingAllocations();
            return nivra::testing::RefusedAllocations();
        case kRefused:
            return nivra::testing::RefusedAllocations();
        case kLive:
            return nivra::testing::LiveAllocations();
        default:
            return static_cast<ULONG_PTR>(-1);
    }
}
