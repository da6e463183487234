#include "linearity/Shunts.h"

#include <cmath>

namespace t720::linearity {

namespace {
constexpr std::array<double, kShuntChoices> kResistance = {1E+38,    2000000.0, 1000000.0,
                                                           750000.0, 499000.0,  301000.0};
constexpr std::array<std::string_view, kShuntChoices> kCaption = {
    "    offen", "2.0 MOhm", "1,0 MOhm", "  750 kOhm", "  499 kOhm", "  301 KOhm"};
}  // namespace

double ShuntResistance(int choice) {
    return kResistance.at(choice);
}

std::string_view ShuntCaption(int choice) {
    return choice >= 0 && choice < kShuntChoices ? kCaption[choice] : std::string_view();
}

void ComputeShuntTables(ShuntTable& shuntFactor, ShuntTable& shuntRoot) {
    for (int i = 0; i < kShuntChoices; ++i) {
        const double r = kResistance[i];
        shuntFactor[i] = static_cast<float>((r * 120.0 / (r + 120.0)) / 120.0);
        // The root is taken of the factor as stored, not of the unrounded double.
        shuntRoot[i] =
            static_cast<float>(std::pow(static_cast<double>(shuntFactor[i]), 1.0 / 20.0));
    }
}

}  // namespace t720::linearity
