// A library of which a stand-in variant needs one function: put where Windows must not
// look for it, it shows where Windows looks for a vendor library's own dependencies.
extern "C" __declspec(dllexport) int StandinDependency() {
    return 1;
}
