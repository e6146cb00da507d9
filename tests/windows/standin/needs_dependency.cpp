// The stand-in that cannot load without standin-dependency.dll: called as it loads.
extern "C" __declspec(dllimport) int StandinDependency();
[[maybe_unused]] static const int g_dependency = StandinDependency();
