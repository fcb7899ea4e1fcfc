// What the check reads: registry values in one view, files and their headers, and the way it
// words a finding. Nothing here writes anything.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "check/report.h"
#include "common/unique_any_win32.h"
#include "common/wide_string.h"

namespace nivra {

// One piece of a finding's text: wide text, or a number.
struct Piece {
    Piece(const wchar_t* text) noexcept : text(text) {}  // NOLINT: pieces read as words
    Piece(const WideString& text) noexcept               // NOLINT
        : text(reinterpret_cast<const wchar_t*>(text.Text())) {}
    Piece(unsigned long number) noexcept : number(number), isNumber(true) {}  // NOLINT
    const wchar_t* text = L"";
    unsigned long number = 0;
    bool isNumber = false;
};

// Adds a finding made of `pieces`, joined as they are.
HRESULT Say(CheckReport& report, FindingKind kind, std::initializer_list<Piece> pieces) noexcept;

// `root\path` in `view` for reading; not valid when it cannot be opened.
UniqueKey OpenKey(HKEY root, const wchar_t* path, REGSAM view) noexcept;
// The string value `name` (null: the default) of `root\path` in `view` (0: this process's);
// S_FALSE when the key or the value is missing.
HRESULT ReadString(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view,
                   WideString& value) noexcept;
// The DWORD value; false when missing.
bool ReadDword(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view,
               DWORD& value) noexcept;
bool KeyExists(HKEY root, const wchar_t* path, REGSAM view) noexcept;
// True when `root\path` has a value called `name`, whatever its type.
bool ValueExists(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view) noexcept;

bool FileExists(const WideString& path) noexcept;
// The machine a PE file is built for (IMAGE_FILE_MACHINE_*), 0 when it is none.
WORD MachineOf(const WideString& path) noexcept;
// Whether the file's first megabyte is a package manifest that names the class `classId`
// (registry form); false when it cannot be read.
HRESULT ManifestFileNamesClass(const WideString& path, const char* classId, bool& names) noexcept;
// "A.B.C.D" of its version resource; empty when it has none.
HRESULT FileVersionOf(const WideString& path, WideString& version) noexcept;
// The folder of `path`, ending in a backslash.
HRESULT FolderOf(const WideString& path, WideString& folder) noexcept;

}  // namespace nivra
