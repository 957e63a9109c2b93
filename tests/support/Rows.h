#pragma once

#include <string>
#include <vector>

#include "widgets/SortedListBox.h"

// The rows of a sorted list box, from the top, as the bytes it was given.
inline std::vector<std::string> Rows(const CSortedListBox& listBox) {
    std::vector<std::string> rows;
    for (int i = 0; i < listBox.GetCount(); ++i) {
        rows.push_back(listBox.GetText(i));
    }
    return rows;
}
