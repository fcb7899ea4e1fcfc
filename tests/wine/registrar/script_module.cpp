// A module that only carries script resources; the registrar loads it as data, never as code.
extern "C" __declspec(dllexport) int NivraScriptModuleMarker() {
    return 0;
}
