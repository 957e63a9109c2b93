#include "widgets/SortedListBox.h"

namespace {

// The row's address as it was added; the shown text may not hold its bytes.
constexpr int ADDRESS_BYTES_ROLE = Qt::UserRole;

QString ToText(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Case-blind order first; the exact text only breaks ties.
int CompareRows(const QString& left, const QString& right) {
    const int nOrder = left.compare(right, Qt::CaseInsensitive);
    return nOrder != 0 ? nOrder : left.compare(right, Qt::CaseSensitive);
}

}  // namespace

CSortedListBox::CSortedListBox(QWidget* parent) : QListWidget(parent) {
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int CSortedListBox::AddString(const std::string& text) {
    const QString strText = ToText(text);
    // The first row that sorts after the new one.
    int nLow = 0;
    int nHigh = count();
    while (nLow < nHigh) {
        const int nMiddle = nLow + (nHigh - nLow) / 2;
        if (CompareRows(item(nMiddle)->text(), strText) <= 0) {
            nLow = nMiddle + 1;
        } else {
            nHigh = nMiddle;
        }
    }
    auto* row = new QListWidgetItem(strText);
    row->setData(ADDRESS_BYTES_ROLE, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    insertItem(nLow, row);
    return nLow;
}

void CSortedListBox::DeleteString(int nIndex) {
    // Qt hands the selection of a removed row on to its neighbour; a list box leaves none,
    // so a second "Remove" cannot take a row the user never chose.
    const bool bWasSelected = item(nIndex)->isSelected();
    delete takeItem(nIndex);
    if (bWasSelected) {
        clearSelection();
    }
}

void CSortedListBox::ResetContent() {
    clear();
}

int CSortedListBox::GetCurSel() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.front().row();
}

std::string CSortedListBox::GetText(int nIndex) const {
    const QByteArray bytes = item(nIndex)->data(ADDRESS_BYTES_ROLE).toByteArray();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

int CSortedListBox::FindString(std::string_view prefix) const {
    const QString strPrefix = ToText(prefix);
    for (int i = 0; i < count(); ++i) {
        if (item(i)->text().startsWith(strPrefix, Qt::CaseInsensitive)) {
            return i;
        }
    }
    return -1;
}
