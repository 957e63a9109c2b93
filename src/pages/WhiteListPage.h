#pragma once

#include "pages/UrlListPage.h"

// The "WhiteList" page: the addresses whose windows are spared from the pop-up rule. An
// address on the black list is refused here. The Logs page can add to the white list
// behind this page's back, so the page catches up whenever it is shown or hidden.
class CWhiteListPage : public CUrlListPage {
public:
    CWhiteListPage(IBrowserWindowsFactory& browsers, CBrowserThread& browserThread,
                   IMessageBox& messageBox, QWidget* parent = nullptr);

protected:
    void OnShowWindow() override;
    void paintEvent(QPaintEvent* event) override;
};
