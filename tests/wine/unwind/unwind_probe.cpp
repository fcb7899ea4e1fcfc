// A host whose callbacks throw C++ exceptions through the DLL's frames, as a host written in C++
// may: the DLL must let the system unwind through it to the host's own catch.
//   unwind_probe DLL
// Prints "caught: CASE" for each exception that reached the host's handler, "missed: CASE"
// otherwise, and exits 0 when every one was caught. A DLL without unwind tables makes the
// system unwind its frames by guesswork: the process then dies, or the handler is never found.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "module/identifiers_win32.h"
#include "support/hdrop_data_object.h"

namespace {

struct HostError {
    const char* where;
};

// A selection whose data object throws when the handler asks for the file list.
class ThrowingDataObject : public nivra::test::HdropDataObject {
  public:
    ThrowingDataObject() : HdropDataObject({L"C:\\docs\\report.pdf"}) {}
    STDMETHODIMP GetData(FORMATETC*, STGMEDIUM*) override { throw HostError{"GetData"}; }
};

enum class Throw { kNever, kGetCount, kGetDisplayName, kGetAttributes };

// One item of a supported file, throwing from the call chosen.
class ThrowingItem : public IShellItem {
  public:
    explicit ThrowingItem(Throw where) : where_(where) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IShellItem ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP BindToHandler(IBindCtx*, REFGUID, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetParent(IShellItem**) override { return E_NOTIMPL; }
    STDMETHODIMP GetDisplayName(SIGDN, LPWSTR* name) override {
        if (where_ == Throw::kGetDisplayName)
            throw HostError{"GetDisplayName"};
        const wchar_t path[] = L"C:\\docs\\report.pdf";
        *name = static_cast<LPWSTR>(::CoTaskMemAlloc(sizeof(path)));
        if (*name == nullptr)
            return E_OUTOFMEMORY;
        std::memcpy(*name, path, sizeof(path));
        return S_OK;
    }
    STDMETHODIMP GetAttributes(SFGAOF, SFGAOF* attributes) override {
        if (where_ == Throw::kGetAttributes)
            throw HostError{"GetAttributes"};
        *attributes = 0;
        return S_OK;
    }
    STDMETHODIMP Compare(IShellItem*, SICHINTF, int*) override { return E_NOTIMPL; }

  private:
    Throw where_;
};

class ThrowingItems : public IShellItemArray {
  public:
    explicit ThrowingItems(Throw where) : where_(where), item_(where) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IShellItemArray ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP BindToHandler(IBindCtx*, REFGUID, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID, void**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetPropertyDescriptionList(REFPROPERTYKEY, REFIID, void**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetAttributes(SIATTRIBFLAGS, SFGAOF, SFGAOF*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCount(DWORD* count) override {
        if (where_ == Throw::kGetCount)
            throw HostError{"GetCount"};
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetItemAt(DWORD, IShellItem** item) override {
        *item = &item_;
        return S_OK;
    }
    STDMETHODIMP EnumItems(IEnumShellItems**) override { return E_NOTIMPL; }

  private:
    Throw where_;
    ThrowingItem item_;
};

using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

template <typename Interface>
Interface* Create(GetClassObjectFunction getClassObject, REFCLSID classId, REFIID iid) {
    IClassFactory* factory = nullptr;
    if (FAILED(getClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
        return nullptr;
    void* object = nullptr;
    factory->CreateInstance(nullptr, iid, &object);
    factory->Release();
    return static_cast<Interface*>(object);
}

// Runs `call`, which must throw HostError from `expected` through the DLL.
template <typename Call>
bool Caught(const char* expected, Call call) {
    try {
        const HRESULT hr = call();
        std::printf("missed: %s (the call returned 0x%08lX)\n", expected,
                    static_cast<unsigned long>(hr));
    } catch (const HostError& error) {
        const bool right = std::string(error.where) == expected;
        std::printf("%s: %s\n", right ? "caught" : "missed", error.where);
        std::fflush(stdout);
        return right;
    }
    std::fflush(stdout);
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: unwind_probe DLL\n");
        return 2;
    }
    ::CoInitialize(nullptr);
    const HMODULE dll = ::LoadLibraryW(argv[1]);
    const auto getClassObject = reinterpret_cast<GetClassObjectFunction>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    if (getClassObject == nullptr) {
        std::fprintf(stderr, "cannot load %ls\n", argv[1]);
        return 2;
    }
    IShellExtInit* handler =
        Create<IShellExtInit>(getClassObject, nivra::CLSID_NivraShellExt, IID_IShellExtInit);
    IExplorerCommand* command = Create<IExplorerCommand>(
        getClassObject, nivra::CLSID_NivraExplorerCommand, IID_IExplorerCommand);
    if (handler == nullptr || command == nullptr) {
        std::fprintf(stderr, "the DLL made no handler or no explorer command\n");
        return 2;
    }

    bool all = true;
    ThrowingDataObject selection;
    all &= Caught("GetData", [&] { return handler->Initialize(nullptr, &selection, nullptr); });
    const struct {
        Throw where;
        const char* name;
    } states[] = {{Throw::kGetCount, "GetCount"},
                  {Throw::kGetDisplayName, "GetDisplayName"},
                  {Throw::kGetAttributes, "GetAttributes"}};
    for (const auto& state : states) {
        ThrowingItems items(state.where);
        EXPCMDSTATE shown = ECS_HIDDEN;
        all &= Caught(state.name, [&] { return command->GetState(&items, FALSE, &shown); });
    }
    // The objects may be in any state after an exception; the host goes on, and so must they.
    ThrowingItems fine(Throw::kNever);
    EXPCMDSTATE shown = ECS_HIDDEN;
    const HRESULT after = command->GetState(&fine, FALSE, &shown);
    std::printf("after: 0x%08lX, %s\n", static_cast<unsigned long>(after),
                shown == ECS_ENABLED ? "enabled" : "hidden");
    command->Release();
    handler->Release();
    ::CoUninitialize();
    return all && after == S_OK && shown == ECS_ENABLED ? 0 : 1;
}
