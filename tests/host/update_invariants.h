// What must hold after any update, whatever the unit or its link did: checked by the
// fault sweep and by the fuzzer.
#pragma once

#include <optional>
#include <string>
#include <vector>

// `unitTruthful`: the replies came from the unit as it acted, and one fault struck;
// when false (the fuzzer forges replies at will), only the checks that do not trust
// replies are made.
std::vector<std::string> UpdateInvariantViolations(std::optional<int> exitStatus,
                                                   bool unitTruthful);
