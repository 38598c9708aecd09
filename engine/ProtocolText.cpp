#include "engine/ProtocolText.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

namespace engine {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool Number(const std::string& text, long long& value) {
    const std::string t = Trim(text);
    if (t.empty() || t.size() > 10 ||
        !std::all_of(t.begin(), t.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    value = std::stoll(t);
    return true;
}

bool Numbers(const std::string& text, int count, long long* values) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ','))
        parts.push_back(part);
    if (!text.empty() && text.back() == ',')
        return false;
    if (static_cast<int>(parts.size()) != count)
        return false;
    for (int i = 0; i < count; ++i)
        if (!Number(parts[i], values[i]))
            return false;
    return true;
}

}  // namespace engine
