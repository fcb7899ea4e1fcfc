// Runs one handler operation in a process of its own, so that each case gets a fresh language
// decision and a module folder of its choosing (the tests copy this program around).
//   handler_probe strings OUT             menu text, newline, help text (UTF-16) into OUT
//   handler_probe strings-edit OUT INI    the menu text, then again after INI says "en"
//   handler_probe invoke OUT VERB FILE    through the NivraShellExt.dll beside it: Initialize
//                                         with FILE ("" for none), InvokeCommand
//                                         with VERB ("#n" for offset n, "null" for no
//                                         record); the result as hex into OUT
#include <windows.h>

#include <string>

#include "common/text_win32.h"
#include "handler/ui_strings_win32.h"
#include "module/shipped_dll.h"
#include "support/hdrop_data_object.h"
#include "support/wine_files.h"

using namespace nivra;
using namespace nivra::test;

namespace {

std::wstring UiString(UINT id) {
    WideString text;
    if (FAILED(LoadUiString(id, text)))
        return L"<failed>";
    return AsWide(text.Text());
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
    if (command == L"strings") {
        WriteUtf16(out, UiString(kMenuTextId) + L"\n" + UiString(kHelpTextId));
        return 0;
    }
    if (command == L"strings-edit" && argc == 4) {
        const std::wstring first = UiString(kMenuTextId);
        WriteUtf8File(argv[3], "[SetupSettings]\r\nosgi.nl=en\r\n");
        WriteUtf16(out, first + L"\n" + UiString(kMenuTextId));
        return 0;
    }
    if (command == L"invoke" && argc == 5) {
        // The shipped DLL beside this program, as a host would create the handler.
        ShippedDll dll(ProgramFolder() + L"NivraShellExt.dll");
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
