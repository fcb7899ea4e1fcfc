// Times one right-click through the shipped DLL, the first in a process and a later one on a
// new handler object, beside the floor: the platform calls such a right-click cannot avoid,
// made directly; and, in the same run, what Windows 11's first-level menu asks of the explorer
// command per right-click. Prints medians; not a test. Usage: right_click_bench DLL [REPETITIONS]
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <uxtheme.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "support/hdrop_data_object.h"
#include "support/shell_items.h"

using nivra::test::HdropDataObject;
using nivra::test::ShellItems;

namespace {

// The selection as the shell hands it over: a fresh DROPFILES block on every request.
using Selection = HdropDataObject;

// {37653C37-DEDE-49F1-A788-4E46787130D9}
const CLSID kHandlerClass = {
    0x37653C37, 0xDEDE, 0x49F1, {0xA7, 0x88, 0x4E, 0x46, 0x78, 0x71, 0x30, 0xD9}};
// {18180415-7FC1-4CF5-903C-8D1556234590}
const CLSID kExplorerCommandClass = {
    0x18180415, 0x7FC1, 0x4CF5, {0x90, 0x3C, 0x8D, 0x15, 0x56, 0x23, 0x45, 0x90}};
constexpr UINT kMenuTextId = 200;
constexpr int kMenuIconId = 101;

double Microseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    return 1e6 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Times `work`, given a fresh popup menu that is destroyed afterwards, untimed.
template <class Work>
double TimeWithMenu(Work work) {
    HMENU menu = ::CreatePopupMenu();
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    const bool ok = work(menu);
    ::QueryPerformanceCounter(&end);
    const int items = ::GetMenuItemCount(menu);
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_BITMAP;
    ::GetMenuItemInfoW(menu, 0, TRUE, &item);
    ::DestroyMenu(menu);
    // An item without its image would make the right-click look cheaper than it is.
    if (!ok || items != 1 || item.hbmpItem == nullptr || item.hbmpItem == HBMMENU_CALLBACK) {
        std::fprintf(stderr,
                     "right_click_bench: a right-click did not add one item with an image\n");
        std::exit(1);
    }
    return Microseconds(start, end);
}

using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

// What the host does for one right-click, up to the item in the menu and the release.
bool RightClick(HMODULE dll, Selection& selection, HMENU menu) {
    auto getClassObject = reinterpret_cast<GetClassObjectFunction>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    if (FAILED(
            getClassObject(kHandlerClass, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
        return false;
    IShellExtInit* init = nullptr;
    factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init));
    factory->Release();
    if (init == nullptr)
        return false;
    bool ok = false;
    IContextMenu* contextMenu = nullptr;
    if (SUCCEEDED(init->Initialize(nullptr, &selection, nullptr)) &&
        SUCCEEDED(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&contextMenu)))) {
        ok = contextMenu->QueryContextMenu(menu, 0, 1, 0x7FFF, CMF_NORMAL) == 1;
        contextMenu->Release();
    }
    init->Release();
    return ok;
}

// The icon turned into a 32 bpp bitmap, with only the calls the conversion needs.
HBITMAP ConvertIcon(HMODULE theme, HICON icon) {
    auto begin = reinterpret_cast<decltype(&BeginBufferedPaint)>(
        reinterpret_cast<void*>(::GetProcAddress(theme, "BeginBufferedPaint")));
    auto end = reinterpret_cast<decltype(&EndBufferedPaint)>(
        reinterpret_cast<void*>(::GetProcAddress(theme, "EndBufferedPaint")));
    auto bits = reinterpret_cast<decltype(&GetBufferedPaintBits)>(
        reinterpret_cast<void*>(::GetProcAddress(theme, "GetBufferedPaintBits")));
    const int cx = ::GetSystemMetrics(SM_CXSMICON);
    const int cy = ::GetSystemMetrics(SM_CYSMICON);
    RECT rect = {0, 0, cx, cy};
    HDC dc = ::CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    BP_PAINTPARAMS params = {};
    params.cbSize = sizeof(params);
    params.dwFlags = BPPF_ERASE;
    params.pBlendFunction = &blend;
    HDC bufferDc = nullptr;
    HPAINTBUFFER buffer = begin(dc, &rect, BPBF_DIB, &params, &bufferDc);
    ::DrawIconEx(bufferDc, 0, 0, icon, cx, cy, 0, nullptr, DI_NORMAL);
    RGBQUAD* pixels = nullptr;
    int row = 0;
    bits(buffer, &pixels, &row);
    end(buffer, TRUE);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return bitmap;
}

// The platform calls a right-click cannot avoid; `settings` only on the first of a process.
bool Floor(HMODULE dll, Selection& selection, const wchar_t* settings, HMENU menu) {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(selection.GetData(&format, &medium)))
        return false;
    auto drop = static_cast<HDROP>(::GlobalLock(medium.hGlobal));
    wchar_t path[MAX_PATH];
    if (::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
        ::DragQueryFileW(drop, 0, path, length + 1);
    }
    ::GlobalUnlock(medium.hGlobal);
    ::ReleaseStgMedium(&medium);

    if (settings != nullptr) {
        wchar_t value[16];
        ::GetPrivateProfileStringW(L"SetupSettings", L"osgi.nl", L"", value, 16, settings);
    }
    HRSRC block = ::FindResourceExW(dll, RT_STRING, MAKEINTRESOURCEW(kMenuTextId / 16 + 1),
                                    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    HGLOBAL loaded = ::LoadResource(dll, block);
    if (::LockResource(loaded) == nullptr || ::SizeofResource(dll, block) == 0)
        return false;

    HMODULE theme = ::LoadLibraryW(L"UXTHEME.DLL");
    HICON icon = static_cast<HICON>(::LoadImageW(dll, MAKEINTRESOURCEW(kMenuIconId), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    HBITMAP bitmap = ConvertIcon(theme, icon);
    ::DestroyIcon(icon);

    wchar_t text[] = L"Add to &ADOC...";
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP | MIIM_FTYPE;
    item.fType = MFT_STRING;
    item.dwTypeData = text;
    item.hbmpItem = bitmap;
    item.wID = 1;
    const bool ok = ::InsertMenuItemW(menu, 0, TRUE, &item) != FALSE;
    ::DeleteObject(bitmap);
    ::FreeLibrary(theme);
    return ok;
}

// The shell's item array for one real file, made once: Explorer has it before it asks us.
IShellItemArray* ItemsFor(const std::wstring& path) {
    ::CloseHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return ShellItems({path}).release();
}

// What the first level asks per right-click: a new command object, its state, title and
// icon location, and the release. Fails the run when the state is not `expected`.
double TimeFirstLevel(HMODULE dll, IShellItemArray* items, EXPCMDSTATE expected) {
    auto getClassObject = reinterpret_cast<GetClassObjectFunction>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    IClassFactory* factory = nullptr;
    IExplorerCommand* command = nullptr;
    if (SUCCEEDED(getClassObject(kExplorerCommandClass, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)))) {
        factory->CreateInstance(nullptr, IID_IExplorerCommand, reinterpret_cast<void**>(&command));
        factory->Release();
    }
    EXPCMDSTATE state = ECS_DISABLED;
    wchar_t* title = nullptr;
    wchar_t* icon = nullptr;
    if (command != nullptr) {
        command->GetState(items, FALSE, &state);
        command->GetTitle(items, &title);
        command->GetIcon(items, &icon);
        command->Release();
    }
    ::QueryPerformanceCounter(&end);
    const bool ok = state == expected && title != nullptr && icon != nullptr;
    ::CoTaskMemFree(title);
    ::CoTaskMemFree(icon);
    if (!ok) {
        std::fprintf(stderr, "right_click_bench: the explorer command did not answer\n");
        std::exit(1);
    }
    return Microseconds(start, end);
}

// The first level's floor, made directly: the shell's item calls that GetState cannot avoid
// (the one item's file-system path and, for a supported file, whether it is a folder), the
// string table, the DLL's own path and the two copies handed out for the title and the icon.
double TimeFirstLevelFloor(HMODULE dll, IShellItemArray* items, bool supported) {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    DWORD count = 0;
    IShellItem* item = nullptr;
    if (SUCCEEDED(items->GetCount(&count)) && SUCCEEDED(items->GetItemAt(0, &item))) {
        wchar_t* path = nullptr;
        if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)))
            ::CoTaskMemFree(path);
        SFGAOF attributes = 0;
        if (supported)
            item->GetAttributes(SFGAO_FOLDER, &attributes);
        item->Release();
    }
    HRSRC block = ::FindResourceExW(dll, RT_STRING, MAKEINTRESOURCEW(kMenuTextId / 16 + 1),
                                    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ::LockResource(::LoadResource(dll, block));
    ::SizeofResource(dll, block);
    ::CoTaskMemFree(::CoTaskMemAlloc(32));
    wchar_t module[MAX_PATH];
    ::GetModuleFileNameW(dll, module, MAX_PATH);
    ::CoTaskMemFree(::CoTaskMemAlloc(2 * MAX_PATH));
    ::QueryPerformanceCounter(&end);
    return Microseconds(start, end);
}

void Report(const char* what, double handler, double floor, double goal) {
    const double ratio = handler / floor;
    std::printf("%-18s %8.1f us, floor %8.1f us, ratio %.2f (goal <= %.2f: %s)\n", what, handler,
                floor, ratio, goal, ratio <= goal ? "met" : "missed");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: right_click_bench DLL [REPETITIONS]\n");
        return 2;
    }
    const std::wstring dllPath = argv[1];
    const int repetitions = argc > 2 ? std::max(9, _wtoi(argv[2])) : 1001;
    const std::wstring folder = dllPath.substr(0, dllPath.rfind(L'\\') + 1);
    const std::wstring settings = folder + L"configuration\\config.ini";
    Selection selection({folder + L"report.pdf"});
    ::OleInitialize(nullptr);

    // First right-clicks: the DLL is loaded afresh, untimed, before each one, and its floor is
    // timed on the same load; which of the two goes first alternates, so neither always
    // meets the fresh mapping.
    const int firsts = std::max(9, repetitions / 4);
    std::vector<double> first, firstFloor;
    for (int i = 0; i < firsts; ++i) {
        HMODULE dll = ::LoadLibraryW(dllPath.c_str());
        if (dll == nullptr) {
            std::fprintf(stderr, "right_click_bench: cannot load the DLL\n");
            return 1;
        }
        auto floor = [&] {
            firstFloor.push_back(TimeWithMenu(
                [&](HMENU menu) { return Floor(dll, selection, settings.c_str(), menu); }));
        };
        if (i % 2 == 0)
            floor();
        first.push_back(TimeWithMenu([&](HMENU menu) { return RightClick(dll, selection, menu); }));
        if (i % 2 == 1)
            floor();
        ::FreeLibrary(dll);
    }

    // Later right-clicks: one load, a new handler object each time; alternated with the
    // floor and the first level's questions so that all see the same machine.
    HMODULE dll = ::LoadLibraryW(dllPath.c_str());
    IShellItemArray* supported = ItemsFor(folder + L"report.pdf");
    IShellItemArray* unsupported = ItemsFor(folder + L"notes.txt");
    if (supported == nullptr || unsupported == nullptr) {
        std::fprintf(stderr, "right_click_bench: the shell made no item array\n");
        return 1;
    }
    TimeWithMenu([&](HMENU menu) { return RightClick(dll, selection, menu); });
    std::vector<double> later, laterFloor, firstLevel, firstLevelFloor, hidden, hiddenFloor;
    // Each measure and its floor go first by turns, so that neither always follows the other
    // pairs' work (the shell's calls leave the caches colder for whatever comes next).
    auto pair = [](int i, auto measure, auto floor) {
        if (i % 2 == 0)
            floor();
        measure();
        if (i % 2 == 1)
            floor();
    };
    for (int i = 0; i < repetitions; ++i) {
        pair(
            i,
            [&] {
                later.push_back(
                    TimeWithMenu([&](HMENU menu) { return RightClick(dll, selection, menu); }));
            },
            [&] {
                laterFloor.push_back(
                    TimeWithMenu([&](HMENU menu) { return Floor(dll, selection, nullptr, menu); }));
            });
        pair(
            i, [&] { firstLevel.push_back(TimeFirstLevel(dll, supported, ECS_ENABLED)); },
            [&] { firstLevelFloor.push_back(TimeFirstLevelFloor(dll, supported, true)); });
        pair(
            i, [&] { hidden.push_back(TimeFirstLevel(dll, unsupported, ECS_HIDDEN)); },
            [&] { hiddenFloor.push_back(TimeFirstLevelFloor(dll, unsupported, false)); });
    }
    supported->Release();
    unsupported->Release();
    ::FreeLibrary(dll);

    std::printf("medians of %d first and %d later right-clicks\n", firsts, repetitions);
    constexpr double kGoal = 1.05;
    Report("first right-click", Median(first), Median(firstFloor), kGoal);
    Report("later right-click", Median(later), Median(laterFloor), kGoal);
    std::printf(
        "first level (Windows 11), per right-click: new explorer command, GetState, "
        "GetTitle, GetIcon, release\n");
    Report("supported file", Median(firstLevel), Median(firstLevelFloor), kGoal);
    Report("unsupported file", Median(hidden), Median(hiddenFloor), kGoal);
    std::printf("%-18s %.2f times the handler's later right-click\n", "first level",
                Median(firstLevel) / Median(later));
    ::OleUninitialize();
    return 0;
}
