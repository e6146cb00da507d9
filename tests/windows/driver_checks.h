// The table of named checks the driver runs. A check returns false and says, in
// `why`, what it expected and what it saw.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The build folder that holds tarnwicket.exe and tarnwicket-sim.exe.
struct Target {
    std::wstring folder;
};

std::wstring VendorProgram(const Target& target);  // tarnwicket.exe
std::wstring DemoProgram(const Target& target);    // tarnwicket-sim.exe, built-in unit

struct Check {
    std::string name;
    bool smoke;  // also run for the other word width's build
    std::function<bool(const Target&, std::string& why)> run;
};

std::vector<Check> ResourceChecks();
std::vector<Check> WindowChecks();
std::vector<Check> AboutBoxChecks();
std::vector<Check> UpdateChecks();
std::vector<Check> ScenarioChecks();
