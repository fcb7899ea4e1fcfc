// The handler class with a minimal identity, so tests can call it directly.
#pragma once

#include "handler/shell_ext_win32.h"

namespace nivra::test {

class TestHandler : public CNivraShellExt {
  public:
    STDMETHODIMP QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

}  // namespace nivra::test
