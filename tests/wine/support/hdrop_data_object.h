// A data object that offers a file list as CF_HDROP, as the shell's selection does, with
// switches for the ways a host's data object can let the handler down.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

namespace nivra::test {

// Counts the releases of a storage medium through its release object, and frees the medium's
// memory then: ReleaseStgMedium leaves that to the release object.
class ReleaseCounter : public IUnknown {
  public:
    STDMETHODIMP QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override {
        if (memory != nullptr)
            ::GlobalFree(memory);
        memory = nullptr;
        return static_cast<ULONG>(++releases);
    }
    int releases = 0;
    HGLOBAL memory = nullptr;  // of the medium handed out last
};

class HdropDataObject : public IDataObject {
  public:
    explicit HdropDataObject(std::vector<std::wstring> files) : files_(std::move(files)) {}

    bool offerHdrop = true;   // false: GetData fails as for a selection without files
    bool nullMemory = false;  // true: the medium carries no memory, so locking fails
    bool asStream = false;    // true: S_OK with the file list in a stream, not the memory asked for
    ReleaseCounter mediumReleases;
    int getDataCalls = 0;

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
    std::vector<std::wstring> files_;
};

// A DROPFILES block with wide names, as the shell hands it over.
HGLOBAL MakeHdrop(const std::vector<std::wstring>& files);

}  // namespace nivra::test
