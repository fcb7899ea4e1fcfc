// Runs one handler operation in a process of its own, so that each case gets a fresh language
// decision and a module folder of its choosing (the tests copy this program around).
// Every command goes through the copy of the DLL beside the program, as a host would:
//   handler_probe strings OUT             menu text, newline, help text (UTF-16) into OUT
//   handler_probe strings-edit OUT INI    the menu text, then again after INI says "en"
//   handler_probe invoke OUT VERB FILE [noui|owner]
//                                         Initialize with FILE ("" for none, "*long*" for a
//                                         path of 32,767 units), InvokeCommand with VERB ("#n"
//                                         for offset n, "null" for no record), with
//                                         CMIC_MASK_FLAG_NO_UI or with a window of ours named
//                                         kProbeOwnerTitle as the record's owner; the result
//                                         as hex into OUT
//   handler_probe command-invoke OUT FILE the explorer command's Invoke for the existing FILE;
//                                         the result as hex into OUT
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "common/text_win32.h"
#include "handler/ui_strings_win32.h"  // the string IDs
#include "module/identifiers_win32.h"
#include "module/shipped_dll.h"
#include "probe_owner.h"
#include "product_paths.h"
#include "support/hdrop_data_object.h"
#include "support/shell_items.h"
#include "support/wine_files.h"

using namespace nivra;
using namespace nivra::test;

namespace {

// The menu text as the shipped handler inserts it into a real menu, or its help text.
std::wstring UiString(const ShippedDll& dll, UINT id) {
    IShellExtInit* init = dll.NewHandler();
    if (init == nullptr)
        return L"<no handler>";
    HdropDataObject selection({L"C:\\docs\\report.pdf"});
    init->Initialize(nullptr, &selection, nullptr);
    IContextMenu* menu = nullptr;
    init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    init->Release();
    if (menu == nullptr)
        return L"<no menu>";
    wchar_t text[512] = {};
    if (id == kMenuTextId) {
        HMENU popup = ::CreatePopupMenu();
        menu->QueryContextMenu(popup, 0, 1, 1, CMF_NORMAL);
        ::GetMenuStringW(popup, 0, text, 512, MF_BYPOSITION);
        ::DestroyMenu(popup);
    } else {
        menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(text), 512);
    }
    menu->Release();
    return text;
}

void WriteUtf16(const std::wstring& path, const std::wstring& text) {
    WriteUtf8File(path, std::string(reinterpret_cast<const char*>(text.data()),
                                    text.size() * sizeof(wchar_t)));
}

void WriteResult(const std::wstring& path, HRESULT hr) {
    wchar_t text[16];
    wsprintfW(text, L"%08lX", static_cast<unsigned long>(hr));
    WriteUtf16(path, text);
}

// The file argument: "*long*" stands for a path too long for a command line.
std::wstring SelectedFile(const std::wstring& argument) {
    if (argument != L"*long*")
        return argument;
    std::wstring path = L"\\\\?\\C:\\";
    return path + std::wstring(32767 - path.size() - 4, L'x') + L".pdf";
}

// The explorer command's Invoke for one existing file, as the first-level menu calls it.
HRESULT InvokeExplorerCommand(const ShippedDll& dll, const std::wstring& file) {
    if (FAILED(::CoInitialize(nullptr)))
        return E_UNEXPECTED;
    HRESULT hr = E_UNEXPECTED;
    {
        ComPtr<IClassFactory> factory;
        ComPtr<IExplorerCommand> command;
        const ComPtr<IShellItemArray> items = ShellItems({file});
        if (SUCCEEDED(dll.GetClassObject(CLSID_NivraExplorerCommand, IID_IClassFactory,
                                         reinterpret_cast<void**>(factory.put()))) &&
            SUCCEEDED(factory.get()->CreateInstance(nullptr, IID_IExplorerCommand,
                                                    reinterpret_cast<void**>(command.put()))) &&
            items.get() != nullptr) {
            hr = command.get()->Invoke(items.get(), nullptr);
        }
    }
    ::CoUninitialize();
    return hr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    const std::wstring command = argv[1];
    const std::wstring out = argv[2];
    // The shipped DLL beside this program, as a host would create the handler.
    ShippedDll dll(ProgramFolder() + NIVRA_DLL_FILE_NAME);
    if (command == L"strings") {
        WriteUtf16(out, UiString(dll, kMenuTextId) + L"\n" + UiString(dll, kHelpTextId));
        return 0;
    }
    if (command == L"strings-edit" && argc == 4) {
        const std::wstring first = UiString(dll, kMenuTextId);
        WriteUtf8File(argv[3], "[SetupSettings]\r\nosgi.nl=en\r\n");
        WriteUtf16(out, first + L"\n" + UiString(dll, kMenuTextId));
        return 0;
    }
    if (command == L"command-invoke" && argc == 4) {
        WriteResult(out, InvokeExplorerCommand(dll, argv[3]));
        return 0;
    }
    if (command == L"invoke" && (argc == 5 || argc == 6)) {
        const std::wstring mode = argc == 6 ? argv[5] : L"";
        IShellExtInit* init = dll.NewHandler();
        if (init == nullptr)
            return 4;
        const std::wstring file = SelectedFile(argv[4]);
        if (!file.empty()) {
            HdropDataObject selection({file});
            if (FAILED(init->Initialize(nullptr, &selection, nullptr)))
                return 3;
        }
        IContextMenu* handler = nullptr;
        if (FAILED(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&handler)))) {
            return 5;
        }
        const std::string verb = Utf8(argv[3]);
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = verb.c_str();
        if (verb.size() > 1 && verb[0] == '#') {
            info.lpVerb = MAKEINTRESOURCEA(std::stoi(verb.substr(1)));
        }
        if (mode == L"noui")
            info.fMask |= CMIC_MASK_FLAG_NO_UI;
        HWND owner = nullptr;
        if (mode == L"owner") {
            owner = ::CreateWindowW(L"STATIC", kProbeOwnerTitle, WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                    100, nullptr, nullptr, nullptr, nullptr);
            info.hwnd = owner;
        }
        const HRESULT hr = handler->InvokeCommand(verb == "null" ? nullptr : &info);
        handler->Release();
        init->Release();
        if (owner != nullptr)
            ::DestroyWindow(owner);
        WriteResult(out, hr);
        return 0;
    }
    return 2;
}
