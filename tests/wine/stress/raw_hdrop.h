// A data object that hands over a drop block of any bytes, malformed or not, as a fresh
// HGLOBAL on every request; the handler's ReleaseStgMedium frees it.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace nivra::test {

class RawHdropDataObject : public IDataObject {
  public:
    explicit RawHdropDataObject(std::vector<unsigned char> block) : block_(std::move(block)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

  private:
    std::vector<unsigned char> block_;
};

// A DROPFILES header with the given name offset and width, followed by `names` as they are
// (terminators only where the caller put them).
std::vector<unsigned char> DropBlock(DWORD namesOffset, bool wide, const std::wstring& names);
// A well-formed block naming one file.
std::vector<unsigned char> OneFileBlock(const std::wstring& path);

inline std::vector<unsigned char> DropBlock(DWORD namesOffset, bool wide,
                                            const std::wstring& names) {
    DROPFILES header = {};
    header.pFiles = namesOffset;
    header.fWide = wide;
    const std::size_t unitSize = wide ? sizeof(wchar_t) : 1;
    std::vector<unsigned char> block(sizeof(header) + names.size() * unitSize);
    std::memcpy(block.data(), &header, sizeof(header));
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto unit = static_cast<unsigned>(names[i]);
        block[sizeof(header) + i * unitSize] = static_cast<unsigned char>(unit & 0xFF);
        if (wide)
            block[sizeof(header) + i * unitSize + 1] = static_cast<unsigned char>(unit >> 8);
    }
    return block;
}

inline std::vector<unsigned char> OneFileBlock(const std::wstring& path) {
    return DropBlock(sizeof(DROPFILES), true, path + std::wstring(2, L'\0'));
}

inline HRESULT RawHdropDataObject::QueryInterface(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDataObject) {
        *out = static_cast<IDataObject*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

inline HRESULT RawHdropDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
        return DV_E_FORMATETC;
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, block_.size());
    if (memory == nullptr)
        return E_OUTOFMEMORY;
    if (!block_.empty()) {
        std::memcpy(::GlobalLock(memory), block_.data(), block_.size());
        ::GlobalUnlock(memory);
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

}  // namespace nivra::test
