// What a leak would make grow. Wine answers 0 to GetProcessHandleCount and GetGuiResources,
// but freed handle, GDI and TLS slots are reused, so the next value handed out only grows
// while something leaks.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace nivra::test {

struct ProcessFootprint {
    std::uintptr_t nextHandle;
    std::uintptr_t nextGdiObject;
    DWORD nextTlsSlot;
    SIZE_T committed;

    static ProcessFootprint Now() {
        ProcessFootprint f{};
        HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        f.nextHandle = reinterpret_cast<std::uintptr_t>(event);
        ::CloseHandle(event);
        HBITMAP bitmap = ::CreateBitmap(1, 1, 1, 1, nullptr);
        f.nextGdiObject = reinterpret_cast<std::uintptr_t>(bitmap) & 0xFFFF;
        ::DeleteObject(bitmap);
        f.nextTlsSlot = ::TlsAlloc();
        ::TlsFree(f.nextTlsSlot);
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof(memory);
        ::GetProcessMemoryInfo(::GetCurrentProcess(),
                               reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
        f.committed = memory.PrivateUsage;
        return f;
    }
};

// What many load, right-click and unload cycles may leave: no TLS slot, no handle, no more
// than a stray GDI object of Wine's own (it keeps one now and then on a library's load; a leak
// per cycle would add thousands), and no more memory than the heap's bookkeeping (16 KB lost
// per load would be tens of megabytes).
inline void ExpectLoadCyclesLeftNothing(const ProcessFootprint& before,
                                        const ProcessFootprint& after) {
    EXPECT_EQ(after.nextTlsSlot, before.nextTlsSlot);
    EXPECT_EQ(after.nextHandle, before.nextHandle);
    EXPECT_LT(after.nextGdiObject, before.nextGdiObject + 8);
    EXPECT_LT(after.committed, before.committed + 512 * 1024)
        << "committed memory grew from " << before.committed << " to " << after.committed;
}

// Explorer has these loaded all along; without them a cycle that unloads the DLL would load
// and unload them too.
inline void KeepSystemDllsLoaded() {
    for (const wchar_t* system : {L"ole32.dll", L"shell32.dll", L"user32.dll", L"gdi32.dll"})
        ::LoadLibraryW(system);
}

}  // namespace nivra::test
