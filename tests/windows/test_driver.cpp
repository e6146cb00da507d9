// The Windows test driver: runs in the same Wine prefix as the program and checks it
// as an operator would meet it. Its exit code is the number of failed checks.
//
//   test_driver FOLDER all|smoke [NAME-PART]   runs the checks (all, or the smoke set);
//                                               a failing one leaves failed-NAME.bmp here
//   test_driver step ...                        one step of the demo (see demo_steps.h)
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "demo_steps.h"
#include "driver_checks.h"
#include "driver_screen.h"
#include "driver_text.h"

std::wstring VendorProgram(const Target& target) {
    return target.folder + L"\\tarnwicket.exe";
}

std::wstring DemoProgram(const Target& target) {
    return target.folder + L"\\tarnwicket-sim.exe";
}

namespace {

// A failing check leaves "failed-NAME.bmp" in the current folder.
std::wstring ScreenFileName(const std::string& checkName) {
    std::wstring file = L"failed-";
    for (char c : checkName) {
        file += std::isalnum(static_cast<unsigned char>(c)) != 0 ? static_cast<wchar_t>(c) : L'_';
    }
    return file + L".bmp";
}

std::vector<Check> AllChecks() {
    std::vector<Check> checks;
    for (auto table :
         {ResourceChecks, WindowChecks, AboutBoxChecks, UpdateChecks, ScenarioChecks}) {
        for (Check& check : table()) {
            checks.push_back(std::move(check));
        }
    }
    return checks;
}

int RunChecks(const Target& target, bool smokeOnly, const std::string& namePart) {
    int passed = 0;
    int failed = 0;
    for (const Check& check : AllChecks()) {
        if ((smokeOnly && !check.smoke) || check.name.find(namePart) == std::string::npos) {
            continue;
        }
        SetFailureScreenFile(ScreenFileName(check.name));
        std::printf("run  %s\n", check.name.c_str());
        std::fflush(stdout);
        const ULONGLONG start = GetTickCount64();
        std::string why;
        const bool ok = check.run(target, why);
        const auto seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
        if (ok) {
            ++passed;
            std::printf("ok   %s (%.1f s)\n", check.name.c_str(), seconds);
        } else {
            ++failed;
            std::printf("FAIL %s: %s\n", check.name.c_str(), why.c_str());
        }
        std::fflush(stdout);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && std::wstring(argv[1]) == L"step") {
        return RunDemoStep(argc - 2, argv + 2);
    }
    if (argc < 3 || (std::wstring(argv[2]) != L"all" && std::wstring(argv[2]) != L"smoke")) {
        std::fprintf(stderr,
                     "usage: test_driver FOLDER all|smoke [NAME-PART]\n"
                     "       test_driver step STEP ...\n");
        return 100;
    }
    const Target target{argv[1]};
    const std::string namePart = argc >= 4 ? Narrow(argv[3]) : std::string();
    return RunChecks(target, std::wstring(argv[2]) == L"smoke", namePart);
}
