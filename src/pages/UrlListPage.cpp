#include "pages/UrlListPage.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "engine/OpenUrls.h"
#include "engine/UrlList.h"
#include "platform/BrowserWindows.h"
#include "platform/qt/BrowserThread.h"
#include "platform/qt/MessageBox.h"
#include "widgets/SortedListBox.h"

namespace {

constexpr std::string_view kTypedUrlPrompt = "http://";

// An address that would be stored as an empty entry, which ends the stored list when it
// is read back: the empty address, or one that starts with a zero byte.
bool IsEmptyAddress(std::string_view url) {
    return url.substr(0, url.find('\0')).empty();
}

void AddLabel(const QString& text, const QRect& rect, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(rect);
}

QPushButton* MakeButton(const QString& text, const QRect& rect, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    // Enter in the page must not press a button.
    button->setAutoDefault(false);
    button->setGeometry(rect);
    return button;
}

CSortedListBox* MakeListBox(const QRect& rect, QWidget* parent) {
    auto* listBox = new CSortedListBox(parent);
    listBox->setGeometry(rect);
    return listBox;
}

}  // namespace

CUrlListPage::CUrlListPage(const CUrlListPageForm& form, CUrlList& list, const CUrlList& otherList,
                           IBrowserWindowsFactory& browsers, CBrowserThread& browserThread,
                           IMessageBox& messageBox, QWidget* parent)
    : QWidget(parent),
      m_Form(form),
      m_List(list),
      m_OtherList(otherList),
      m_Browsers(browsers),
      m_BrowserThread(browserThread),
      m_MessageBox(messageBox),
      m_pShellWindows(std::make_shared<SConnection>()),
      m_strUrl(kTypedUrlPrompt),
      m_pOpenUrls(MakeListBox(form.rcOpenUrls, this)),
      m_pRefreshButton(MakeButton(QStringLiteral("Refresh"), form.rcRefresh, this)),
      m_pAddOpenUrlButton(MakeButton(QStringLiteral("Add"), form.rcAddOpenUrl, this)),
      m_pUrls(MakeListBox(form.rcUrls, this)),
      m_pRemoveButton(MakeButton(QStringLiteral("Remove"), form.rcRemove, this)),
      m_pClearButton(MakeButton(QStringLiteral("Clear"), form.rcClear, this)),
      m_pEdit(new QLineEdit(this)),
      m_pAddUrlButton(MakeButton(QStringLiteral("Add"), form.rcAddUrl, this)) {
    setFont(QFont(QStringLiteral("Verdana"), 8));
    resize(334, 266);
    AddLabel(QStringLiteral("Current opened URLs:"), form.rcOpenUrlsLabel, this);
    AddLabel(form.strListLabel, form.rcListLabel, this);
    AddLabel(form.strEditLabel, form.rcEditLabel, this);
    m_pEdit->setGeometry(form.rcEdit);

    // Names for the tests and for accessibility tools; two buttons share the caption "Add".
    m_pOpenUrls->setObjectName(QStringLiteral("openUrls"));
    m_pRefreshButton->setObjectName(QStringLiteral("refresh"));
    m_pAddOpenUrlButton->setObjectName(QStringLiteral("addOpenUrl"));
    m_pUrls->setObjectName(QStringLiteral("urls"));
    m_pRemoveButton->setObjectName(QStringLiteral("remove"));
    m_pClearButton->setObjectName(QStringLiteral("clear"));
    m_pEdit->setObjectName(QStringLiteral("url"));
    m_pAddUrlButton->setObjectName(QStringLiteral("addUrl"));

    connect(m_pRefreshButton, &QPushButton::clicked, this, &CUrlListPage::OnRefresh);
    connect(m_pAddOpenUrlButton, &QPushButton::clicked, this, &CUrlListPage::OnAddOpenUrl);
    connect(m_pAddUrlButton, &QPushButton::clicked, this, &CUrlListPage::OnAddTypedUrl);
    connect(m_pRemoveButton, &QPushButton::clicked, this, &CUrlListPage::OnRemove);
    connect(m_pClearButton, &QPushButton::clicked, this, &CUrlListPage::OnClear);

    FillUrls();
    UpdateData(false);
    ConnectShellWindows();
}

CUrlListPage::~CUrlListPage() {
    // The connection goes on the browser thread, after the work that still uses it.
    m_BrowserThread.Post([pConnection = std::move(m_pShellWindows)] {});
}

void CUrlListPage::ConnectShellWindows() {
    m_BrowserThread.Post([pConnection = m_pShellWindows, &browsers = m_Browsers] {
        pConnection->spWindows.reset();
        std::unique_ptr<IBrowserWindows> spWindows;
        if (SUCCEEDED(browsers.CreateBrowserWindows(&spWindows))) {
            pConnection->spWindows = std::move(spWindows);
        }
    });
}

void CUrlListPage::RefreshOpenUrls() {
    m_BrowserThread.Call<std::optional<std::vector<std::string>>>(
        this,
        [pConnection = m_pShellWindows] { return ReadOpenUrls(pConnection->spWindows.get()); },
        [this](const std::optional<std::vector<std::string>>& urls) { ShowOpenUrls(urls); });
}

void CUrlListPage::ShowOpenUrls(const std::optional<std::vector<std::string>>& urls) {
    if (!urls) {
        return;
    }
    m_pOpenUrls->ResetContent();
    for (const std::string& url : *urls) {
        m_pOpenUrls->AddString(url);
    }
}

void CUrlListPage::OnRefresh() {
    RefreshOpenUrls();
    UpdateData(true);
}

void CUrlListPage::OnAddOpenUrl() {
    const int nSel = m_pOpenUrls->GetCurSel();
    // A window that shows no address yet offers nothing to add; an empty entry would cut
    // the stored list short at the next start.
    if (nSel < 0 || IsEmptyAddress(m_pOpenUrls->GetText(nSel))) {
        Refuse(m_Form.strNoOpenUrlChosen);
        return;
    }
    const std::string url = m_pOpenUrls->GetText(nSel);
    if (IsInList(url, m_OtherList)) {
        Refuse(m_Form.strOpenUrlInOtherList);
        return;
    }
    // The list box's own search: a row equal but for letter case, or a longer row that
    // begins with the address, counts as listed.
    if (m_pUrls->FindString(url) >= 0) {
        Refuse(m_Form.strOpenUrlListed);
        return;
    }
    m_pUrls->AddString(url);
    m_List.Add(url);
}

void CUrlListPage::OnAddTypedUrl() {
    UpdateData(true);
    if (m_strUrl == kTypedUrlPrompt || IsEmptyAddress(m_strUrl)) {
        Refuse(m_Form.strNoUrlTyped);
        return;
    }
    if (IsInList(m_strUrl, m_OtherList)) {
        Refuse(m_Form.strTypedUrlInOtherList);
        return;
    }
    if (IsInList(m_strUrl, m_List)) {
        Refuse(m_Form.strTypedUrlListed);
        return;
    }
    m_pUrls->AddString(m_strUrl);
    m_List.Add(m_strUrl);
    m_strUrl.assign(kTypedUrlPrompt);
    UpdateData(false);
}

void CUrlListPage::OnRemove() {
    const int nSel = m_pUrls->GetCurSel();
    if (nSel < 0) {
        Refuse(m_Form.strNoListedUrlChosen);
        return;
    }
    const std::string url = m_pUrls->GetText(nSel);
    m_pUrls->DeleteString(nSel);
    // Rows are sorted and the list is not: the entry is found by its text.
    const std::vector<std::string>& entries = m_List.Entries();
    const auto found = std::find(entries.begin(), entries.end(), url);
    if (found != entries.end()) {
        m_List.RemoveAt(static_cast<std::size_t>(found - entries.begin()));
    }
}

void CUrlListPage::OnClear() {
    if (m_MessageBox.AskYesNo(this, m_Form.strClearQuestion)) {
        m_pUrls->ResetContent();
        m_List.RemoveAll();
    }
}

void CUrlListPage::OnShowWindow() {
    RefreshOpenUrls();
}

void CUrlListPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    OnShowWindow();
}

void CUrlListPage::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    OnShowWindow();
}

void CUrlListPage::FillUrls() {
    m_pUrls->ResetContent();
    for (const std::string& url : m_List.Entries()) {
        m_pUrls->AddString(url);
    }
}

void CUrlListPage::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_strUrl = m_pEdit->text().toStdString();
    } else {
        m_pEdit->setText(QString::fromStdString(m_strUrl));
    }
}

void CUrlListPage::Refuse(const QString& text) {
    m_MessageBox.ShowMessage(this, text);
}
