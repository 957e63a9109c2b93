#include "pages/BlackListPage.h"

#include "engine/UrlList.h"

namespace {

const CUrlListPageForm& Form() {
    static const CUrlListPageForm form{
        .strListLabel = QStringLiteral("Black list: (URLs will be killed)"),
        .strEditLabel = QStringLiteral("Enter URL: (which you want to kill)"),
        .strNoOpenUrlChosen = QStringLiteral("Please choose a opened URL.  "),
        .strOpenUrlInOtherList = QStringLiteral("This Item has been add in whitlist!"),
        .strOpenUrlListed = QStringLiteral("The Item has been in the list!!"),
        .strNoUrlTyped = QStringLiteral("Please enter a URL that you want to kill."),
        .strTypedUrlInOtherList = QStringLiteral("It has been in whitelist!"),
        .strTypedUrlListed = QStringLiteral("The URL has been in the Black List.  "),
        .strNoListedUrlChosen = QStringLiteral("Please choose a existent URL in Black List.  "),
        .strClearQuestion = QStringLiteral("Really clear all URLs in the Black List?"),
        .rcOpenUrlsLabel = QRect(12, 0, 200, 14),
        .rcOpenUrls = QRect(12, 14, 248, 94),
        .rcRefresh = QRect(266, 14, 54, 20),
        .rcAddOpenUrl = QRect(266, 42, 54, 20),
        .rcListLabel = QRect(12, 112, 200, 14),
        .rcUrls = QRect(12, 126, 248, 94),
        .rcRemove = QRect(266, 126, 54, 20),
        .rcClear = QRect(266, 154, 54, 20),
        .rcEditLabel = QRect(12, 222, 200, 14),
        .rcEdit = QRect(12, 236, 248, 20),
        .rcAddUrl = QRect(266, 236, 54, 20),
    };
    return form;
}

}  // namespace

CBlackListPage::CBlackListPage(IBrowserWindowsFactory& browsers, CBrowserThread& browserThread,
                               IMessageBox& messageBox, QWidget* parent)
    : CUrlListPage(Form(), g_BlackList, g_WhiteList, browsers, browserThread, messageBox, parent) {}
