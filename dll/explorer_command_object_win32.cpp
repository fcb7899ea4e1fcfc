#include "dll/explorer_command_object_win32.h"

namespace nivra {

namespace {

using CommandObject = CComObject<CNivraExplorerCommand>;

const InterfaceMapEntry kCommandInterfaces[] = {
    {&IID_IExplorerCommand, OffsetOfInterface<CommandObject, IExplorerCommand>(),
     kInterfaceAtOffset},
    {nullptr, 0, 0},
};

}  // namespace

template <>
const InterfaceMapEntry* InterfaceTable<CNivraExplorerCommand>() noexcept {
    return kCommandInterfaces;
}

HRESULT CreateExplorerCommandObject(void* outer, REFIID iid, void** out) noexcept {
    return CreateComObject<CNivraExplorerCommand>(outer, iid, out);
}

}  // namespace nivra
