// Runs one handler operation in a process of its own, so that each case gets a fresh language
// decision and a module folder of its choosing (the tests copy this program around).
// Every command goes through the NivraShellExt.dll beside the program, as a host would:
//   handler_probe strings OUT             menu text, newline, help text (UTF-16) into OUT
//   handler_probe strings-edit OUT INI    the menu text, then again after INI says "en"
//   handler_probe invoke OUT VERB FILE    Initialize with FILE ("" for none), InvokeCommand
//                                         with VERB ("#n" for offset n, "null" for no
//                                         record); the result as hex into OUT
#include <windows.h>

#include <string>

#include "common/text_win32.h"
#include "handler/ui_strings_win32.h"  // the string IDs
#include "module/shipped_dll.h"
#include "support/hdrop_data_object.h"
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    const std::wstring command = argv[1];
    const std::wstring out = argv[2];
    // The shipped DLL beside this program, as a host would create the handler.
    ShippedDll dll(ProgramFolder() + L"NivraShellExt.dll");
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
    if (command == L"invoke" && argc == 5) {
        IShellExtInit* init = dll.NewHandler();
        if (init == nullptr)
            return 4;
        const std::wstring file = argv[4];
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
        const HRESULT hr = handler->InvokeCommand(verb == "null" ? nullptr : &info);
        handler->Release();
        init->Release();
        wchar_t text[16];
        wsprintfW(text, L"%08lX", static_cast<unsigned long>(hr));
        WriteUtf16(out, text);
        return 0;
    }
    return 2;
}
