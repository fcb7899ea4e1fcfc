// The library's process-wide objects, defined here in the order in which the library's
// start-up constructs them (one translation unit, so the order is the definition order);
// the shutdown destroys them in reverse, after the entry point's process detach.
//   1. g_baseModule: constant, fixed at link time (base_module_win32.cpp).
//   2. Heap and strings: stateless, over the process heap (common/heap_win32.cpp).
//   3. g_comModule: objectMapLock and registrationLock.
//   4. The extension and verb tables: constant data (handler/), nothing to construct.
//   5. g_module: lock count 0, class table not yet recorded.
#include "module/class_factory_win32.h"
#include "module/com_module_win32.h"
#include "dll/explorer_command_object_win32.h"
#include "dll/handler_object_win32.h"
#include "module/identifiers_win32.h"
#include "module/registration_win32.h"

namespace nivra {

namespace {
void NoClassInit(bool) {}
const wchar_t* NoDescription() {
    return nullptr;
}
// Neither class declares component categories.
const void* NoCategories() {
    return nullptr;
}
// The package that shows the explorer command declares its class; regsvr32 writes nothing.
HRESULT NoRegistryEntries(BOOL) {
    return S_OK;
}
}  // namespace

CComModuleRecord g_comModule;

ClassMapEntry g_classObjectMap[] = {
    {&CLSID_NivraShellExt, UpdateHandlerRegistry, CreateCachedFactory, CreateHandlerObject, nullptr,
     0, NoDescription, NoCategories, NoClassInit},
    {&CLSID_NivraExplorerCommand, NoRegistryEntries, CreateCachedFactory,
     CreateExplorerCommandObject, nullptr, 0, NoDescription, NoCategories, NoClassInit},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr},
};

CComModule g_module;

}  // namespace nivra
