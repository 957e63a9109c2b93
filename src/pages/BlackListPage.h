#pragma once

#include "pages/UrlListPage.h"

// The "BlackList" page: the addresses whose browser windows are always closed. An address
// on the white list is refused here.
class CBlackListPage : public CUrlListPage {
public:
    CBlackListPage(IBrowserWindowsFactory& browsers, CBrowserThread& browserThread,
                   IMessageBox& messageBox, QWidget* parent = nullptr);
};
