#include "check/readers_win32.h"

#include "check/verdicts.h"
#include "common/text_win32.h"

namespace nivra {

HRESULT Say(CheckReport& report, FindingKind kind, std::initializer_list<Piece> pieces) noexcept {
    WideString text;
    for (const Piece& piece : pieces) {
        if (piece.isNumber) {
            wchar_t digits[16];
            ::wsprintfW(digits, L"%lu", piece.number);
            NV_RETURN_IF_FAILED(text.Append(AsUtf16(digits)));
        } else {
            NV_RETURN_IF_FAILED(text.Append(AsUtf16(piece.text)));
        }
    }
    return report.Add(kind, static_cast<WideString&&>(text));
}

UniqueKey OpenKey(HKEY root, const wchar_t* path, REGSAM view) noexcept {
    UniqueKey key;
    if (::RegOpenKeyExW(root, path, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

HRESULT ReadString(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view,
                   WideString& value) noexcept {
    const UniqueKey key = OpenKey(root, path, view);
    if (!key.is_valid())
        return S_FALSE;
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return S_FALSE;
    }
    WideString read;
    NV_RETURN_IF_FAILED(read.Reserve(bytes / sizeof(wchar_t) + 1));
    DWORD room = static_cast<DWORD>((read.Capacity() + 1) * sizeof(wchar_t));
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(read.Buffer()),
                           &room) != ERROR_SUCCESS) {
        return S_FALSE;
    }
    // The stored string may or may not end in a null.
    std::size_t units = room / sizeof(wchar_t);
    while (units > 0 && read.Buffer()[units - 1] == u'\0')
        --units;
    NV_RETURN_IF_FAILED(read.SetLength(units));
    value = static_cast<WideString&&>(read);
    return S_OK;
}

bool ReadDword(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view,
               DWORD& value) noexcept {
    const UniqueKey key = OpenKey(root, path, view);
    DWORD type = 0;
    DWORD bytes = sizeof(value);
    return key.is_valid() &&
           ::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                              &bytes) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

bool KeyExists(HKEY root, const wchar_t* path, REGSAM view) noexcept {
    return OpenKey(root, path, view).is_valid();
}

bool ValueExists(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view) noexcept {
    const UniqueKey key = OpenKey(root, path, view);
    return key.is_valid() &&
           ::RegQueryValueExW(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool FileExists(const WideString& path) noexcept {
    const DWORD attributes = ::GetFileAttributesW(AsWide(path.Text()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

WORD MachineOf(const WideString& path) noexcept {
    const HANDLE opened = ::CreateFileW(AsWide(path.Text()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return 0;
    const UniqueHandle file(opened);
    IMAGE_DOS_HEADER dos = {};
    DWORD read = 0;
    if (!::ReadFile(file.get(), &dos, sizeof(dos), &read, nullptr) || read != sizeof(dos) ||
        dos.e_magic != IMAGE_DOS_SIGNATURE ||
        ::SetFilePointer(file.get(), dos.e_lfanew, nullptr, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER) {
        return 0;
    }
    struct {
        DWORD signature;
        IMAGE_FILE_HEADER header;
    } nt = {};
    if (!::ReadFile(file.get(), &nt, sizeof(nt), &read, nullptr) || read != sizeof(nt) ||
        nt.signature != IMAGE_NT_SIGNATURE) {
        return 0;
    }
    return nt.header.Machine;
}

HRESULT ManifestFileNamesClass(const WideString& path, const char* classId, bool& names) noexcept {
    names = false;
    constexpr DWORD kMostBytes = 1 << 20;  // a manifest is some kilobytes
    const HANDLE opened = ::CreateFileW(AsWide(path.Text()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return S_FALSE;
    const UniqueHandle file(opened);
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size))
        return S_FALSE;
    const DWORD wanted =
        size.QuadPart < kMostBytes ? static_cast<DWORD>(size.QuadPart) : kMostBytes;
    WideString buffer;  // bytes, from the one allocation seam
    NV_RETURN_IF_FAILED(buffer.Reserve(wanted / sizeof(char16_t) + 1));
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer.Buffer(), wanted, &read, nullptr))
        return S_FALSE;
    names =
        ManifestNamesClass(reinterpret_cast<const unsigned char*>(buffer.Buffer()), read, classId);
    return S_OK;
}

HRESULT FileVersionOf(const WideString& path, WideString& version) noexcept {
    version.Clear();
    DWORD ignored = 0;
    const DWORD bytes = ::GetFileVersionInfoSizeW(AsWide(path.Text()), &ignored);
    if (bytes == 0)
        return S_FALSE;
    WideString block;  // a buffer of the right size from the one allocation seam
    NV_RETURN_IF_FAILED(block.Reserve(bytes / sizeof(char16_t) + 1));
    void* data = block.Buffer();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::GetFileVersionInfoW(AsWide(path.Text()), 0, bytes, data) ||
        !::VerQueryValueW(data, L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return S_FALSE;
    }
    wchar_t text[48];
    ::wsprintfW(text, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                LOWORD(fixed->dwFileVersionLS));
    return version.Assign(AsUtf16(text));
}

HRESULT FolderOf(const WideString& path, WideString& folder) noexcept {
    const std::size_t slash = path.FindLast(u'\\');
    return folder.Assign(path.Text(), slash == WideString::npos ? 0 : slash + 1);
}

}  // namespace nivra
