// The entry of the programs written with wmain. Not every mingw-w64 toolchain has a
// wide-character start-up (-municode): zig's has none, so its start-up calls main. This main
// takes the wide command line itself and hands it to wmain, the same on every toolchain.
#include <windows.h>
#include <shellapi.h>

int wmain(int argc, wchar_t** argv);

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv)
        return 1;
    const int status = wmain(argc, argv);
    ::LocalFree(argv);
    return status;
}
