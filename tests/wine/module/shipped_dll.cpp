#include "module/shipped_dll.h"

namespace nivra::test {

// {37653C37-DEDE-49F1-A788-4E46787130D9}
const CLSID kHandlerClass = {
    0x37653C37, 0xDEDE, 0x49F1, {0xA7, 0x88, 0x4E, 0x46, 0x78, 0x71, 0x30, 0xD9}};
// {45E66F6F-653D-414E-8F6E-5B4F1C8FEE74}
const IID kHandlerDispatchInterface = {
    0x45E66F6F, 0x653D, 0x414E, {0x8F, 0x6E, 0x5B, 0x4F, 0x1C, 0x8F, 0xEE, 0x74}};

ShippedDll::ShippedDll(const std::wstring& path) : module_(::LoadLibraryW(path.c_str())) {
    if (module_ == nullptr)
        return;
    getClassObject_ = reinterpret_cast<decltype(getClassObject_)>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "DllGetClassObject")));
    canUnloadNow_ = reinterpret_cast<decltype(canUnloadNow_)>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "DllCanUnloadNow")));
    if (getClassObject_ == nullptr || canUnloadNow_ == nullptr) {
        ::FreeLibrary(module_);
        module_ = nullptr;
    }
}

ShippedDll::~ShippedDll() {
    if (module_ != nullptr)
        ::FreeLibrary(module_);
}

IClassFactory* ShippedDll::Factory() const {
    void* factory = nullptr;
    GetClassObject(kHandlerClass, IID_IClassFactory, &factory);
    return static_cast<IClassFactory*>(factory);
}

IShellExtInit* ShippedDll::NewHandler() const {
    IClassFactory* factory = Factory();
    if (factory == nullptr)
        return nullptr;
    void* handler = nullptr;
    factory->CreateInstance(nullptr, IID_IShellExtInit, &handler);
    factory->Release();
    return static_cast<IShellExtInit*>(handler);
}

}  // namespace nivra::test
