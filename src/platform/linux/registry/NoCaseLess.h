#pragma once

#include <algorithm>
#include <string_view>

// Orders names as the registry compares them: bytes with ASCII letters folded to lower
// case, everything else (UTF-8 included) taken as it is. Transparent, so maps keyed by
// std::string can be searched with a std::string_view.
struct CNoCaseLess {
    using is_transparent = void;

    static constexpr unsigned char Fold(char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
    }

    static constexpr bool Equal(std::string_view a, std::string_view b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(),
                          [](char x, char y) { return Fold(x) == Fold(y); });
    }

    constexpr bool operator()(std::string_view a, std::string_view b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) { return Fold(x) < Fold(y); });
    }
};
