#pragma once

#include <string>
#include <string_view>

#include <QListWidget>

// A single-selection list box of addresses that keeps its rows sorted without regard to
// letter case, whatever order they are added in, and finds rows by a case-blind prefix.
// Qt's own sorting and matching are case-sensitive, hence this helper. Rows keep the
// address bytes as given and show them as plain text.
class CSortedListBox : public QListWidget {
public:
    explicit CSortedListBox(QWidget* parent = nullptr);

    // Puts `text` in its sorted place and answers its row. Rows equal but for letter case
    // are ordered by their exact text, so the order never depends on the arrival order.
    int AddString(const std::string& text);
    // Removes row `nIndex`; when it was the selected row, no row is selected afterwards.
    void DeleteString(int nIndex);
    void ResetContent();

    int GetCount() const { return count(); }
    // The selected row, or -1 when none is selected.
    int GetCurSel() const;
    // The address of row `nIndex`, byte for byte as it was added.
    std::string GetText(int nIndex) const;
    // The first row, from the top, that begins with `prefix` letter case ignored, or -1.
    // Every row begins with the empty prefix.
    int FindString(std::string_view prefix) const;
};
