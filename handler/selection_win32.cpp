// IShellExtInit: keeps the full path of the one selected file.
#include <windows.h>
#include <shellapi.h>

#include "common/text_win32.h"
#include "common/unique_any_win32.h"
#include "handler/drop_block.h"
#include "handler/shell_ext_win32.h"

namespace nivra {

HRESULT CNivraShellExt::Initialize(PCIDLIST_ABSOLUTE, IDataObject* dataObject, HKEY) noexcept {
    if (dataObject == nullptr)
        return E_UNEXPECTED;

    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    UniqueStgMedium medium;
    STGMEDIUM* filled = medium.put();
    filled->tymed = TYMED_HGLOBAL;
    if (FAILED(dataObject->GetData(&format, filled))) {
        // A failed GetData leaves nothing to release.
        medium.abandon();
        return E_INVALIDARG;
    }

    // A source may answer with another kind of medium (a stream, a file name) whatever was
    // asked for; its handle is no memory to lock. The owner still releases it.
    if (medium.get().tymed != TYMED_HGLOBAL)
        return E_INVALIDARG;

    // Declared after the medium, so the memory is unlocked before the medium is released.
    const HGLOBAL memory = medium.get().hGlobal;
    UniqueGlobalLock lock(memory);
    HDROP drop = static_cast<HDROP>(lock.get());
    if (drop == nullptr)
        return E_INVALIDARG;
    if (!IsWellFormedDropBlock(static_cast<const unsigned char*>(lock.get()), ::GlobalSize(memory)))
        return E_INVALIDARG;

    if (::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1)
        return E_INVALIDARG;
    const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
    if (length == 0)
        return E_UNEXPECTED;

    HResult hr = m_selectedFile.Reserve(length);
    if (FAILED(hr))
        return hr;
    const UINT copied = ::DragQueryFileW(drop, 0, AsWide(m_selectedFile.Buffer()), length + 1);
    hr = m_selectedFile.SetLength(copied <= length ? copied : length);
    if (FAILED(hr))
        return hr;
    return copied == 0 ? E_INVALIDARG : S_OK;
}

}  // namespace nivra
