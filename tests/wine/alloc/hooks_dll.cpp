#include "alloc/hooks_dll.h"

#include "module/identifiers_win32.h"
#include "support/wine_files.h"

namespace nivra::test {

namespace {
// {37653C37-DEDE-49F1-A788-4E46787130D9}
const CLSID kHandlerClass = {
    0x37653C37, 0xDEDE, 0x49F1, {0xA7, 0x88, 0x4E, 0x46, 0x78, 0x71, 0x30, 0xD9}};

template <class Function>
Function Find(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}
}  // namespace

std::wstring HooksDll::Path() {
    return ProgramFolder() + L"alloc\\NivraShellExtHooks.dll";
}

HooksDll::HooksDll() : module_(::LoadLibraryW(Path().c_str())) {
    if (module_ != nullptr)
        hooks_ = Find<decltype(hooks_)>(module_, "NivraTestAllocationHooks");
}

HooksDll::~HooksDll() {
    if (module_ != nullptr)
        ::FreeLibrary(module_);
}

HRESULT HooksDll::GetClassObject(REFIID iid, void** out) const {
    return GetClassObject(kHandlerClass, iid, out);
}

HRESULT HooksDll::GetClassObject(REFCLSID classId, REFIID iid, void** out) const {
    auto get = Find<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(module_, "DllGetClassObject");
    return get(classId, iid, out);
}

HRESULT HooksDll::CallExport(const char* name) const {
    return Find<HRESULT(WINAPI*)()>(module_, name)();
}

std::size_t HooksDll::LiveWithFactoryCached() const {
    IUnknown* factory = nullptr;
    if (SUCCEEDED(GetClassObject(IID_IClassFactory, reinterpret_cast<void**>(&factory))))
        factory->Release();
    return Live();
}

namespace {
void* NewObject(const HooksDll& dll, REFCLSID classId, REFIID iid) {
    IClassFactory* factory = nullptr;
    if (FAILED(dll.GetClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
        return nullptr;
    void* object = nullptr;
    factory->CreateInstance(nullptr, iid, &object);
    factory->Release();
    return object;
}
}  // namespace

IShellExtInit* HooksDll::NewHandler() const {
    return static_cast<IShellExtInit*>(NewObject(*this, kHandlerClass, IID_IShellExtInit));
}

IExplorerCommand* HooksDll::NewExplorerCommand() const {
    return static_cast<IExplorerCommand*>(
        NewObject(*this, CLSID_NivraExplorerCommand, IID_IExplorerCommand));
}

}  // namespace nivra::test
