#include "supervision/Identification.h"

#include <algorithm>

#include "app/RangeTable.h"
#include "link/NumberText.h"

namespace t720 {

std::string CleanSerialAnswer(std::string answer) {
    answer.erase(std::remove(answer.begin(), answer.end(), '"'), answer.end());
    if (answer.size() > 4) answer.resize(answer.size() - 2);
    return answer;
}

bool HasSixteenChannels(const std::string& idText) {
    return idText.rfind("QV310", 0) == 0;
}

bool OffersHalfBridge(const std::string& deviceId) {
    return deviceId.find("T720H") != std::string::npos;
}

std::optional<std::array<int32_t, 5>> VariantRanges(const std::string& idText) {
    if (idText.rfind("T720S", 0) != 0) return std::nullopt;
    // The variant number: up to five characters from the sixth on.
    const double variant = LeadingNumber(std::string_view(idText).substr(5, 5));
    if (variant == 6) return std::array<int32_t, 5>{1, 50, 200, 500, 1000};
    if (variant == 8) return std::array<int32_t, 5>{1, 2, 5, 10, 20};
    if (variant == 9) return std::array<int32_t, 5>{kHalfMvVEntry, 1, 2, 5, 10};
    if (variant == 10) return std::array<int32_t, 5>{1, 2, 5, 10, 100};
    return std::nullopt;
}

}  // namespace t720
