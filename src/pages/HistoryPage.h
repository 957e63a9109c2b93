#pragma once

#include <array>

#include <QWidget>

#include "pages/CleaningDlg.h"
#include "platform/Registry.h"

class QCheckBox;
class QComboBox;
class QPushButton;

// The "History" page: which kinds of traces the privacy cleaner erases, when it runs by
// itself ("starting", "running" = only on demand, "closing"), and "Clean Now". Every change
// is stored at once; the boxes always show what is stored.
class CHistoryPage : public QWidget {
public:
    // Reads the choices and the clean time from the store. When the program's clean time
    // (`nAppCleanTime`, as read at start-up) is "starting" and a kind is chosen, runs a
    // cleaning pass before it returns.
    CHistoryPage(const CCleaningServices& cleaning, DWORD nAppCleanTime, QWidget* parent = nullptr);

    // How many of the five kinds are chosen; "Clean Now" is enabled when any is.
    int CountCleanChoices();

    // "Clean Now": one cleaning pass in its modal dialog.
    void OnCleanNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The five kinds in the order the page shows them.
    enum { CHOICE_HISTORY, CHOICE_CACHE, CHOICE_COOKIES, CHOICE_FAVORITES, CHOICE_RECENT };
    static constexpr int kChoiceCount = 5;

    void OnChoiceClicked(int nChoice);
    void OnSelectAll();
    // The combo box has lost the focus: its text, when it is one of the three, is stored.
    void OnCleanTimeKillFocus();

    CCleaningServices m_Cleaning;
    std::array<QCheckBox*, kChoiceCount> m_pChoices{};
    QCheckBox* m_pSelectAll;
    QPushButton* m_pCleanNow;
    QComboBox* m_pCleanTime;
};
