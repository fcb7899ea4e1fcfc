// The test variant of the DLL, loaded as a host loads it, with its allocation hooks.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstddef>
#include <string>

namespace nivra::test {

// What one call did under a failure plan.
struct Outcome {
    HRESULT hr;
    std::size_t refused;
};

class HooksDll {
  public:
    HooksDll();
    ~HooksDll();
    HooksDll(const HooksDll&) = delete;
    HooksDll& operator=(const HooksDll&) = delete;

    static std::wstring Path();
    bool loaded() const { return hooks_ != nullptr; }
    std::size_t Live() const { return hooks_(kLive, 0); }
    // The live blocks once the factory is cached, which it stays until the DLL is unloaded.
    std::size_t LiveWithFactoryCached() const;

    // Runs `call` with every allocation after the first `successes` refused.
    template <class Call>
    Outcome Run(std::size_t successes, Call call) const {
        hooks_(kFailAfter, successes);
        const HRESULT hr = call();
        const std::size_t refused = hooks_(kStopFailing, 0);
        return {hr, refused};
    }

    // The handler class's factory, or another class's.
    HRESULT GetClassObject(REFIID iid, void** out) const;
    HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** out) const;
    HRESULT CallExport(const char* name) const;
    // A new handler through the factory, without refusals; null on failure.
    IShellExtInit* NewHandler() const;
    // A new explorer command, without refusals; null on failure.
    IExplorerCommand* NewExplorerCommand() const;

  private:
    enum : DWORD { kFailAfter = 0, kStopFailing = 1, kRefused = 2, kLive = 3 };
    HMODULE module_;
    ULONG_PTR(WINAPI* hooks_)(DWORD, ULONG_PTR) = nullptr;
};

}  // namespace nivra::test
