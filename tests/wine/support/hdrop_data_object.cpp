#include "support/hdrop_data_object.h"

#include <shlobj.h>

#include <cstring>

namespace nivra::test {

HGLOBAL MakeHdrop(const std::vector<std::wstring>& files) {
    // Names, each terminated, then one more terminator; an empty list still ends in two.
    std::size_t units = files.empty() ? 2 : 1;
    for (const auto& f : files)
        units += f.size() + 1;
    HGLOBAL memory =
        ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(drop + 1);
    for (const auto& f : files) {
        std::memcpy(names, f.c_str(), (f.size() + 1) * sizeof(wchar_t));
        names += f.size() + 1;
    }
    ::GlobalUnlock(memory);
    return memory;
}

HRESULT HdropDataObject::QueryInterface(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDataObject) {
        *out = static_cast<IDataObject*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT HdropDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    ++getDataCalls;
    if (!offerHdrop || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) {
        return DV_E_FORMATETC;
    }
    medium->pUnkForRelease = &mediumReleases;
    if (asStream) {
        IStream* stream = nullptr;
        if (FAILED(::CreateStreamOnHGlobal(MakeHdrop(files_), TRUE, &stream)))
            return E_OUTOFMEMORY;
        // ReleaseStgMedium releases a stream itself, release object or not.
        medium->tymed = TYMED_ISTREAM;
        medium->pstm = stream;
        return S_OK;
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = nullMemory ? nullptr : MakeHdrop(files_);
    mediumReleases.memory = medium->hGlobal;
    return S_OK;
}

}  // namespace nivra::test
