#pragma once

#include <string_view>

#include <QWidget>

class IClock;
class IMessageBox;
class QPushButton;
class QTreeWidget;

// The "Logs" page: one row per browser window the scan has closed, with its address and
// the local time of day of the kill. The rows are the whole log; it is kept nowhere else
// and lasts until "Clear All" or the end of the run. An address can be put on the white
// list from here.
class CLogPage : public QWidget {
public:
    CLogPage(IMessageBox& messageBox, const IClock& clock, QWidget* parent = nullptr);

    // WM_ADDLOG: appends a row for a closed window, the whole address as given and the time
    // as hour/minute/second without leading zeros. Answers 1 when a row was added, 0 for an
    // empty address, which adds nothing.
    int OnAddLog(std::string_view url);

    // "Clear All": empties the log once the user has said Yes.
    void OnClearAll();

    // "Add to whitelist": puts the address of the topmost selected row on the white list
    // unless it is there already; refuses with a message when no row is selected.
    void OnAddToWhiteList();

    int GetRowCount() const;

private:
    IMessageBox& m_MessageBox;
    const IClock& m_Clock;
    QTreeWidget* m_pLogList;
    QPushButton* m_pAddButton;
    QPushButton* m_pClearButton;
};
