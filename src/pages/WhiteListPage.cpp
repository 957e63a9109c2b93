#include "pages/WhiteListPage.h"

#include <QPainter>

#include "engine/UrlList.h"
#include "widgets/SortedListBox.h"

namespace {

const CUrlListPageForm& Form() {
    static const CUrlListPageForm form{
        .strListLabel = QStringLiteral("White list: (URLs will not be killed)"),
        .strEditLabel = QStringLiteral("Enter URL: (which you don't want to kill)"),
        .strNoOpenUrlChosen = QStringLiteral("Please choose a opened URL.  "),
        .strOpenUrlInOtherList = QStringLiteral("This URL has been in the blacklist!"),
        .strOpenUrlListed = QStringLiteral("The URL has in the White List."),
        .strNoUrlTyped = QStringLiteral("Please enter a URL that you want to kill."),
        .strTypedUrlInOtherList = QStringLiteral("It has in Blacklist!"),
        .strTypedUrlListed = QStringLiteral("The URL has been in the White List!  "),
        .strNoListedUrlChosen = QStringLiteral("Please choose a existent URL in White List.  "),
        .strClearQuestion = QStringLiteral("Really clear all URLs in White List?"),
        .rcOpenUrlsLabel = QRect(12, 14, 300, 14),
        .rcOpenUrls = QRect(12, 28, 248, 82),
        .rcRefresh = QRect(266, 28, 54, 20),
        .rcAddOpenUrl = QRect(266, 56, 54, 20),
        .rcListLabel = QRect(12, 112, 250, 14),
        .rcUrls = QRect(12, 126, 248, 94),
        .rcRemove = QRect(266, 126, 54, 20),
        .rcClear = QRect(266, 154, 54, 20),
        .rcEditLabel = QRect(12, 222, 250, 14),
        .rcEdit = QRect(12, 236, 248, 20),
        .rcAddUrl = QRect(266, 236, 54, 20),
    };
    return form;
}

}  // namespace

CWhiteListPage::CWhiteListPage(IBrowserWindowsFactory& browsers, CBrowserThread& browserThread,
                               IMessageBox& messageBox, QWidget* parent)
    : CUrlListPage(Form(), g_WhiteList, g_BlackList, browsers, browserThread, messageBox, parent) {}

void CWhiteListPage::OnShowWindow() {
    CUrlListPage::OnShowWindow();
    // Only the counts are compared: the Logs page can only append.
    if (static_cast<std::size_t>(Urls().GetCount()) != List().GetCount()) {
        FillUrls();
    }
}

void CWhiteListPage::paintEvent(QPaintEvent* event) {
    CUrlListPage::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QColor(255, 0, 0));
    painter.drawText(QRect(14, 0, width() - 14, height()), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("Disable first and all URLs will not be killed!"));
}
