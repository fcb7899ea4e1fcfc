// A small Explorer-like host: one right-click on one file, printed as a user would see it.
//   nivra_host [--first-level] FILE [IMAGE.png]
// Does what Explorer does: finds the context-menu handlers registered for every file
// (HKCR\*\ShellEx\ContextMenuHandlers), creates ours through the COM runtime, hands it the
// file in a data object, builds a real popup menu, prints the item, its help text, verb and
// image (saved as a PNG file when asked), invokes the command, and prints what the
// application received. With --first-level it right-clicks as Windows 11's first-level menu
// does instead, through the explorer command of the registered DLL (first_level.cpp).
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "first_level.h"
#include "png_file.h"

#include "support/hdrop_data_object.h"
#include "support/wine_files.h"

using namespace nivra::test;

namespace {

// {37653C37-DEDE-49F1-A788-4E46787130D9}
const CLSID kHandlerClass = {
    0x37653C37, 0xDEDE, 0x49F1, {0xA7, 0x88, 0x4E, 0x46, 0x78, 0x71, 0x30, 0xD9}};
constexpr UINT kFirstCommand = 1000;

void Say(const std::string& text) {
    std::printf("%s\n", text.c_str());
}

int Fail(const std::string& what, const std::string& remedy) {
    std::fprintf(stderr, "error: %s\n  %s\n", what.c_str(), remedy.c_str());
    return 1;
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// The class registered under ContextMenuHandlers\NivraShellExt, or null when none is.
bool FindRegisteredHandler(CLSID& classId, std::wstring& dllPath) {
    HKEY handlers = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"*\\ShellEx\\ContextMenuHandlers", 0, KEY_READ,
                        &handlers) != ERROR_SUCCESS) {
        return false;
    }
    bool found = false;
    wchar_t name[256];
    for (DWORD i = 0; !found; ++i) {
        DWORD length = 256;
        if (::RegEnumKeyExW(handlers, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        wchar_t text[64] = {};
        LONG bytes = sizeof(text);
        if (::RegQueryValueW(handlers, name, text, &bytes) != ERROR_SUCCESS)
            continue;
        CLSID candidate;
        if (FAILED(::CLSIDFromString(text, &candidate)) ||
            !IsEqualCLSID(candidate, kHandlerClass)) {
            continue;
        }
        classId = candidate;
        wchar_t server[1024] = {};
        LONG serverBytes = sizeof(server);
        const std::wstring key = std::wstring(L"CLSID\\") + text + L"\\InprocServer32";
        ::RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), server, &serverBytes);
        dllPath = server;
        Say("handler:      " + Utf8(name) + " " + Utf8(text));
        Say("registered:   " + Utf8(dllPath));
        found = true;
    }
    ::RegCloseKey(handlers);
    return found;
}

int RightClick(const std::wstring& file, const std::wstring& png, bool firstLevel);

// The shell's own data object for the file, as Explorer hands it over; null where Wine
// cannot make one.
IDataObject* ShellDataObject(const std::wstring& file) {
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(::SHParseDisplayName(file.c_str(), nullptr, &item, 0, nullptr)))
        return nullptr;
    PIDLIST_ABSOLUTE folder = ::ILClone(item);
    ::ILRemoveLastID(folder);
    PCUITEMID_CHILD child = ::ILFindLastID(item);
    IDataObject* data = nullptr;
    if (FAILED(::SHCreateDataObject(folder, 1, &child, nullptr, IID_IDataObject,
                                    reinterpret_cast<void**>(&data)))) {
        data = nullptr;
    }
    ::ILFree(folder);
    ::ILFree(item);
    return data;
}

// The item's image as straight-alpha RGBA rows, top row first: its bitmap, or what the
// handler draws on a white square when it draws the image itself.
std::vector<std::uint8_t> ItemImage(IContextMenu* menu, HBITMAP bitmap, int& size) {
    size = ::GetSystemMetrics(SM_CXSMICON);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    bool drawn = bitmap == HBMMENU_CALLBACK;
    HBITMAP canvas = nullptr;
    if (drawn) {
        info.bmiHeader.biWidth = size;
        info.bmiHeader.biHeight = -size;
        void* bits = nullptr;
        canvas = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        std::fill_n(static_cast<std::uint32_t*>(bits), size * size, 0xFFFFFFFFu);
        HGDIOBJ old = ::SelectObject(dc, canvas);
        IContextMenu3* menu3 = nullptr;
        menu->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&menu3));
        DRAWITEMSTRUCT draw = {};
        draw.CtlType = ODT_MENU;
        draw.hDC = dc;
        draw.rcItem = {0, 0, size, size};
        if (menu3 != nullptr) {
            menu3->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw), nullptr);
            menu3->Release();
        }
        ::SelectObject(dc, old);
        bitmap = canvas;
    } else {
        BITMAP shape = {};
        ::GetObjectW(bitmap, sizeof(shape), &shape);
        size = shape.bmWidth;
        info.bmiHeader.biWidth = size;
        info.bmiHeader.biHeight = -size;
    }
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size * size * 4));
    ::GetDIBits(dc, bitmap, 0, size, pixels.data(), &info, DIB_RGB_COLORS);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    if (canvas != nullptr)
        ::DeleteObject(canvas);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        // Blue, green, red, premultiplied alpha in; red, green, blue, straight alpha out.
        const unsigned alpha = drawn ? 255 : pixels[i + 3];
        auto straight = [&](unsigned c) {
            return static_cast<std::uint8_t>(alpha == 0 ? 0 : std::min(255u, c * 255 / alpha));
        };
        const std::uint8_t blue = pixels[i], green = pixels[i + 1], red = pixels[i + 2];
        pixels[i] = straight(red);
        pixels[i + 1] = straight(green);
        pixels[i + 2] = straight(blue);
        pixels[i + 3] = static_cast<std::uint8_t>(alpha);
    }
    return pixels;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool firstLevel = argc > 1 && std::wstring(argv[1]) == L"--first-level";
    if (firstLevel) {
        --argc;
        ++argv;
    }
    if (argc != 2 && argc != 3) {
        return Fail("usage: nivra_host [--first-level] FILE [IMAGE.png]",
                    "give the file to right-click");
    }
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return Fail("the COM runtime did not start", "");
    }
    const int status = RightClick(argv[1], argc == 3 ? argv[2] : L"", firstLevel);
    ::CoUninitialize();
    return status;
}

namespace {

int RightClick(const std::wstring& file, const std::wstring& png, bool firstLevel) {
    CLSID classId;
    std::wstring dllPath;
    if (!FindRegisteredHandler(classId, dllPath)) {
        return Fail("no NivraShellExt handler is registered for all files",
                    "register the DLL first with regsvr32 (scripts/run.sh does this)");
    }
    if (firstLevel)
        return nivra::host::FirstLevelRightClick(dllPath, file, png);
    IShellExtInit* init = nullptr;
    HRESULT hr = ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                    reinterpret_cast<void**>(&init));
    if (FAILED(hr))
        return Fail("CoCreateInstance failed with " + Hex(hr), "");

    HdropDataObject ownSelection({file});
    IDataObject* shellSelection = ShellDataObject(file);
    hr = init->Initialize(nullptr, shellSelection != nullptr ? shellSelection : &ownSelection,
                          nullptr);
    if (shellSelection != nullptr)
        shellSelection->Release();
    Say("file:         " + Utf8(file));
    Say(std::string("selection:    ") +
        (shellSelection != nullptr ? "the shell's own data object" : "the host's data object"));
    if (FAILED(hr))
        return Fail("Initialize refused the selection with " + Hex(hr), "");

    IContextMenu* menu = nullptr;
    init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    HMENU popup = ::CreatePopupMenu();
    hr = menu->QueryContextMenu(popup, 0, kFirstCommand, kFirstCommand + 100, CMF_NORMAL);
    const int added = SUCCEEDED(hr) ? HRESULT_CODE(hr) : 0;
    if (added == 0) {
        Say("command:      not offered for this file type");
    } else {
        wchar_t text[256] = {};
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_STRING | MIIM_ID | MIIM_BITMAP;
        item.dwTypeData = text;
        item.cch = 255;
        ::GetMenuItemInfoW(popup, 0, TRUE, &item);
        wchar_t help[512] = {};
        menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(help), 512);
        wchar_t verb[64] = {};
        menu->GetCommandString(0, GCS_VERBW, nullptr, reinterpret_cast<CHAR*>(verb), 64);
        Say("menu item:    " + Utf8(text));
        Say("help text:    " + Utf8(help));
        Say("verb:         " + Utf8(verb));
        if (item.hbmpItem == HBMMENU_CALLBACK) {
            IContextMenu3* menu3 = nullptr;
            menu->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&menu3));
            MEASUREITEMSTRUCT measure = {};
            measure.CtlType = ODT_MENU;
            LRESULT handled = 0;
            if (menu3 != nullptr) {
                menu3->HandleMenuMsg2(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure),
                                      &handled);
                menu3->Release();
            }
            Say("image:        drawn by the handler (owner-drawn), measured " +
                std::to_string(measure.itemWidth) + "x" + std::to_string(measure.itemHeight));
        } else if (item.hbmpItem != nullptr) {
            BITMAP bitmap = {};
            ::GetObjectW(item.hbmpItem, sizeof(bitmap), &bitmap);
            Say("image:        " + std::to_string(bitmap.bmWidth) + "x" +
                std::to_string(bitmap.bmHeight) + " bitmap, " + std::to_string(bitmap.bmBitsPixel) +
                " bits per pixel");
        } else {
            Say("image:        none");
        }
        if (!png.empty() && item.hbmpItem != nullptr) {
            int size = 0;
            const auto pixels = ItemImage(menu, item.hbmpItem, size);
            if (nivra::host::SavePng(png, size, size, pixels))
                Say("image saved:  " + Utf8(png));
        }

        CMINVOKECOMMANDINFO invoke = {};
        invoke.cbSize = sizeof(invoke);
        invoke.lpVerb = MAKEINTRESOURCEA(item.wID - kFirstCommand);
        hr = menu->InvokeCommand(&invoke);
        Say("invoked:      " + Hex(hr));
        const std::wstring folder = dllPath.substr(0, dllPath.rfind(L'\\') + 1);
        if (auto received = WaitForFile(folder + L"Nivra.received.txt", std::chrono::seconds(20))) {
            Say("application received: " + received->substr(0, received->find('\n')));
        } else {
            Say("application:  did not start (is Nivra.exe beside the DLL?)");
        }
    }
    ::DestroyMenu(popup);
    menu->Release();
    init->Release();
    return 0;
}

}  // namespace
