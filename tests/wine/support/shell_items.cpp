#include "support/shell_items.h"

#include <shlobj.h>

namespace nivra::test {

ComPtr<IShellItemArray> ShellItems(const std::vector<std::wstring>& names) {
    ComPtr<IShellItemArray> items;
    if (names.size() == 1) {
        ComPtr<IShellItem> item;
        if (SUCCEEDED(::SHCreateItemFromParsingName(names[0].c_str(), nullptr, IID_IShellItem,
                                                    reinterpret_cast<void**>(item.put())))) {
            ::SHCreateShellItemArrayFromShellItem(item.get(), IID_IShellItemArray,
                                                  reinterpret_cast<void**>(items.put()));
        }
        return items;
    }
    std::vector<PIDLIST_ABSOLUTE> lists;
    bool parsed = true;
    for (const std::wstring& name : names) {
        PIDLIST_ABSOLUTE list = nullptr;
        parsed =
            parsed && SUCCEEDED(::SHParseDisplayName(name.c_str(), nullptr, &list, 0, nullptr));
        if (list != nullptr)
            lists.push_back(list);
    }
    if (parsed) {
        std::vector<PCIDLIST_ABSOLUTE> read(lists.begin(), lists.end());
        ::SHCreateShellItemArrayFromIDLists(static_cast<UINT>(read.size()), read.data(),
                                            items.put());
    }
    for (PIDLIST_ABSOLUTE list : lists)
        ::ILFree(list);
    return items;
}

}  // namespace nivra::test
