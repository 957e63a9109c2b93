// The behaviour the black list page and the white list page share, run on both pages
// with each page's own words and lists.
#include "pages/UrlListPage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/BrowserScanner.h"
#include "engine/KillReport.h"
#include "engine/UrlList.h"
#include "pages/BlackListPage.h"
#include "pages/WhiteListPage.h"
#include "support/FakeBrowserWindows.h"
#include "support/ScriptedMessageBox.h"
#include "widgets/SortedListBox.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Kind = CScriptedMessageBox::Kind;
using Window = CFakeBrowserWindows::Window;

struct CControlPlace {
    const char* szLabel;  // the caption of a label, or the name of another control
    QRect rect;
};

struct CBlackPage {
    using Page = CBlackListPage;
    static CUrlList& Own() { return g_BlackList; }
    static CUrlList& Other() { return g_WhiteList; }
    static constexpr const char* kOpenUrlInOther = "This Item has been add in whitlist!";
    static constexpr const char* kOpenUrlListed = "The Item has been in the list!!";
    static constexpr const char* kTypedUrlInOther = "It has been in whitelist!";
    static constexpr const char* kTypedUrlListed = "The URL has been in the Black List.  ";
    static constexpr const char* kNoListedUrl = "Please choose a existent URL in Black List.  ";
    static constexpr const char* kClearQuestion = "Really clear all URLs in the Black List?";
    // What the scan does with the window while its address is listed, and once it is not:
    // a black-listed tab is closed, an unlisted one is left.
    static Window ListedWindow(const std::string& url) { return CFakeBrowserWindows::Tab(url); }
    static constexpr bool kClosedWhenListed = true;
    static std::vector<CControlPlace> Places() {
        return {{"Current opened URLs:", {12, 0, 200, 14}},
                {"Black list: (URLs will be killed)", {12, 112, 200, 14}},
                {"Enter URL: (which you want to kill)", {12, 222, 200, 14}},
                {"openUrls", {12, 14, 248, 94}},
                {"urls", {12, 126, 248, 94}},
                {"url", {12, 236, 248, 20}},
                {"refresh", {266, 14, 54, 20}},
                {"addOpenUrl", {266, 42, 54, 20}},
                {"remove", {266, 126, 54, 20}},
                {"clear", {266, 154, 54, 20}},
                {"addUrl", {266, 236, 54, 20}}};
    }
};

struct CWhitePage {
    using Page = CWhiteListPage;
    static CUrlList& Own() { return g_WhiteList; }
    static CUrlList& Other() { return g_BlackList; }
    static constexpr const char* kOpenUrlInOther = "This URL has been in the blacklist!";
    static constexpr const char* kOpenUrlListed = "The URL has in the White List.";
    static constexpr const char* kTypedUrlInOther = "It has in Blacklist!";
    static constexpr const char* kTypedUrlListed = "The URL has been in the White List!  ";
    static constexpr const char* kNoListedUrl = "Please choose a existent URL in White List.  ";
    static constexpr const char* kClearQuestion = "Really clear all URLs in White List?";
    // A white-listed pop-up is spared, an unlisted one closed.
    static Window ListedWindow(const std::string& url) { return CFakeBrowserWindows::Popup(url); }
    static constexpr bool kClosedWhenListed = false;
    static std::vector<CControlPlace> Places() {
        return {{"Current opened URLs:", {12, 14, 300, 14}},
                {"White list: (URLs will not be killed)", {12, 112, 250, 14}},
                {"Enter URL: (which you don't want to kill)", {12, 222, 250, 14}},
                {"openUrls", {12, 28, 248, 82}},
                {"urls", {12, 126, 248, 94}},
                {"url", {12, 236, 248, 20}},
                {"refresh", {266, 28, 54, 20}},
                {"addOpenUrl", {266, 56, 54, 20}},
                {"remove", {266, 126, 54, 20}},
                {"clear", {266, 154, 54, 20}},
                {"addUrl", {266, 236, 54, 20}}};
    }
};

constexpr const char* kNoOpenUrl = "Please choose a opened URL.  ";
constexpr const char* kNoUrlTyped = "Please enter a URL that you want to kill.";

class CNoReport : public IKillReport {
public:
    void AddLog(std::string_view) override {}
    void SignalKill() override {}
};

std::vector<std::string> Rows(const CSortedListBox* listBox) {
    std::vector<std::string> rows;
    for (int i = 0; i < listBox->GetCount(); ++i) {
        rows.push_back(listBox->GetText(i));
    }
    return rows;
}

template <typename TPage>
class UrlListPageTest : public testing::Test {
protected:
    using Page = typename TPage::Page;

    UrlListPageTest() { ClearLists(); }
    ~UrlListPageTest() override {
        m_pPage.reset();
        ClearLists();
    }
    static void ClearLists() {
        g_BlackList.RemoveAll();
        g_WhiteList.RemoveAll();
    }

    // Builds the page from the lists as they stand, as the main window does.
    Page& Make() {
        m_pPage = std::make_unique<Page>(m_Browsers, m_MessageBox);
        return *m_pPage;
    }
    Page& ThePage() {
        if (!m_pPage) {
            Make();
        }
        return *m_pPage;
    }

    template <typename T = QWidget>
    T* Control(const char* szName) {
        auto* control = ThePage().template findChild<T*>(QString::fromLatin1(szName));
        EXPECT_NE(control, nullptr) << szName;
        return control;
    }
    CSortedListBox* OpenUrls() { return Control<CSortedListBox>("openUrls"); }
    CSortedListBox* Urls() { return Control<CSortedListBox>("urls"); }
    QLineEdit* Edit() { return Control<QLineEdit>("url"); }
    void Click(const char* szButton) { Control<QPushButton>(szButton)->click(); }

    void OpenWindows(std::initializer_list<const char*> urls) {
        for (const char* url : urls) {
            m_Browsers.Open(CFakeBrowserWindows::Tab(url));
        }
    }
    static void Select(CSortedListBox* listBox, const std::string& text) {
        for (int i = 0; i < listBox->GetCount(); ++i) {
            if (listBox->GetText(i) == text) {
                listBox->setCurrentRow(i);
                return;
            }
        }
        ADD_FAILURE() << "no row " << text;
    }
    // Picks `url` among the open addresses and presses the first "Add".
    void Pick(const std::string& url) {
        Click("refresh");
        Select(OpenUrls(), url);
        Click("addOpenUrl");
    }
    void Type(const std::string& text) {
        Edit()->setText(QString::fromStdString(text));
        Click("addUrl");
    }
    // Starts again with a new page over these lists.
    void Restart(const std::vector<std::string>& own, const std::vector<std::string>& other) {
        ClearLists();
        for (const std::string& url : own) {
            TPage::Own().Add(url);
        }
        for (const std::string& url : other) {
            TPage::Other().Add(url);
        }
        m_MessageBox = CScriptedMessageBox();
        Make();
    }
    std::vector<QString> Shown() const { return m_MessageBox.Texts(); }
    static std::vector<QString> Said(const char* szText) { return {QString::fromLatin1(szText)}; }

    CFakeBrowserWindows m_Browsers;
    CScriptedMessageBox m_MessageBox;
    std::unique_ptr<Page> m_pPage;
};

using Pages = testing::Types<CBlackPage, CWhitePage>;
class PageNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return std::is_same_v<T, CBlackPage> ? "BlackList" : "WhiteList";
    }
};
TYPED_TEST_SUITE(UrlListPageTest, Pages, PageNames);

TYPED_TEST(UrlListPageTest, ControlsSitAtTheirPlacesWithTheirTexts) {
    auto& page = this->ThePage();
    EXPECT_EQ(page.size(), QSize(334, 266));
    for (const CControlPlace& place : TypeParam::Places()) {
        const QString label = QString::fromLatin1(place.szLabel);
        QWidget* control = page.template findChild<QWidget*>(label);
        for (QLabel* text : page.template findChildren<QLabel*>()) {
            if (text->text() == label) {
                control = text;
            }
        }
        ASSERT_NE(control, nullptr) << place.szLabel;
        EXPECT_EQ(control->geometry(), place.rect) << place.szLabel;
    }
    for (auto [szName, szCaption] : {std::pair{"refresh", "Refresh"},
                                     {"addOpenUrl", "Add"},
                                     {"remove", "Remove"},
                                     {"clear", "Clear"},
                                     {"addUrl", "Add"}}) {
        EXPECT_EQ(this->template Control<QPushButton>(szName)->text(),
                  QString::fromLatin1(szCaption));
    }
}

TYPED_TEST(UrlListPageTest, StartsWithItsListSortedThePromptAndItsOwnConnection) {
    for (const char* url : {"http://B.example/", "http://a.example/", "http://c.example/"}) {
        TypeParam::Own().Add(url);
    }
    TypeParam::Other().Add("http://other.example/");
    this->OpenWindows({"http://open.example/"});
    this->Make();

    EXPECT_THAT(Rows(this->Urls()),
                ElementsAre("http://a.example/", "http://B.example/", "http://c.example/"));
    EXPECT_THAT(TypeParam::Own().Entries(),
                ElementsAre("http://B.example/", "http://a.example/", "http://c.example/"));
    EXPECT_EQ(this->Edit()->text(), QStringLiteral("http://"));
    EXPECT_EQ(this->m_Browsers.m_nCreated, 1);
    EXPECT_THAT(Rows(this->OpenUrls()), IsEmpty()) << "nothing is read before the page shows";
    EXPECT_EQ(this->m_Browsers.m_nCounts, 0);
}

TYPED_TEST(UrlListPageTest, ShowingHidingAndRefreshReadTheOpenWindowsAgain) {
    this->OpenWindows({"http://one.example/"});
    auto& page = this->ThePage();
    page.show();
    EXPECT_THAT(Rows(this->OpenUrls()), ElementsAre("http://one.example/"));

    this->OpenWindows({"http://two.example/"});
    page.hide();
    EXPECT_THAT(Rows(this->OpenUrls()), ElementsAre("http://one.example/", "http://two.example/"));

    this->m_Browsers.At(0).bClosed = true;
    this->Click("refresh");
    EXPECT_THAT(Rows(this->OpenUrls()), ElementsAre("http://two.example/"));
    EXPECT_EQ(this->m_Browsers.m_nCounts, 3);
    EXPECT_EQ(this->m_Browsers.m_nCreated, 1) << "one connection, kept";
}

// No de-duplication, the file scheme left out with its letter case significant, empty and
// other schemes listed, all in the list box's order.
TYPED_TEST(UrlListPageTest, OpenAddressesAreEveryWindowButFileOnesSorted) {
    this->OpenWindows({"http://b.example/", "file:///home/user/", "FILE:///HOME/USER/",
                       "http://b.example/", "", "about:blank", "fil", "http://A.example/", "file"});
    this->Click("refresh");
    EXPECT_THAT(Rows(this->OpenUrls()),
                ElementsAre("", "about:blank", "fil", "FILE:///HOME/USER/", "http://A.example/",
                            "http://b.example/", "http://b.example/"));
}

struct CEnumerationCase {
    const char* szName;
    // Applied to the second of three windows a, b, c.
    void (*spoil)(Window&);
    std::vector<std::string> rows;
};

const std::vector<CEnumerationCase>& EnumerationCases() {
    static const std::vector<CEnumerationCase> cases = {
        {"ItemFails", [](Window& w) { w.hrItem = E_FAIL; }, {"http://a.example/"}},
        {"BrowserViewFails",
         [](Window& w) { w.hrQueryBrowser = E_TIMEOUT; },
         {"http://a.example/"}},
        // Not browser windows: passed over, the windows after them still listed.
        {"NullItem",
         [](Window& w) { w.kind = CFakeBrowserWindows::Kind::NullItem; },
         {"http://a.example/", "http://c.example/"}},
        {"NotABrowser",
         [](Window& w) { w.kind = CFakeBrowserWindows::Kind::NotBrowser; },
         {"http://a.example/", "http://c.example/"}},
        // An address that cannot be read shows as the empty one.
        {"AddressFails",
         [](Window& w) { w.hrUrl = E_FAIL; },
         {"", "http://a.example/", "http://c.example/"}},
    };
    return cases;
}

TYPED_TEST(UrlListPageTest, FailureDuringTheRefillKeepsTheRowsAddedSoFar) {
    for (const CEnumerationCase& c : EnumerationCases()) {
        SCOPED_TRACE(c.szName);
        CFakeBrowserWindows browsers;
        for (const char* url : {"http://a.example/", "http://b.example/", "http://c.example/"}) {
            browsers.Open(CFakeBrowserWindows::Tab(url));
        }
        c.spoil(browsers.At(1));
        typename TypeParam::Page page(browsers, this->m_MessageBox);
        page.RefreshOpenUrls();
        EXPECT_EQ(Rows(page.template findChild<CSortedListBox*>(QStringLiteral("openUrls"))),
                  c.rows);
        EXPECT_EQ(browsers.LiveReferences(), 0) << "every item and browser view let go";
    }
    EXPECT_THAT(this->Shown(), IsEmpty()) << "failures are silent";
}

TYPED_TEST(UrlListPageTest, FailureBeforeTheRefillLeavesTheRows) {
    this->OpenWindows({"http://a.example/"});
    this->Click("refresh");
    this->OpenWindows({"http://b.example/"});
    this->m_Browsers.m_hrCount = E_TIMEOUT;
    this->Click("refresh");
    EXPECT_THAT(Rows(this->OpenUrls()), ElementsAre("http://a.example/"));

    this->m_Browsers.m_hrCount = S_OK;
    this->m_Browsers.m_hrCreate = E_FAIL;
    this->ThePage().ConnectShellWindows();
    this->Click("refresh");
    EXPECT_THAT(Rows(this->OpenUrls()), ElementsAre("http://a.example/"));
    EXPECT_THAT(this->Shown(), IsEmpty());

    this->Type("http://typed.example/");
    EXPECT_THAT(TypeParam::Own().Entries(), ElementsAre("http://typed.example/"))
        << "without a connection the page still edits its list";
}

TYPED_TEST(UrlListPageTest, AddingAnOpenAddressNeedsAChosenRowEvenRightAfterRefresh) {
    this->OpenWindows({"http://a.example/"});
    this->Click("addOpenUrl");  // nothing listed yet
    this->Click("refresh");
    this->Select(this->OpenUrls(), "http://a.example/");
    this->Click("refresh");
    this->Click("addOpenUrl");

    ASSERT_EQ(this->m_MessageBox.Boxes().size(), 2U);
    for (const auto& box : this->m_MessageBox.Boxes()) {
        EXPECT_EQ(box.kind, Kind::Message);
        EXPECT_EQ(box.strText, QString::fromLatin1(kNoOpenUrl));
        EXPECT_EQ(box.pOwner, &this->ThePage());
    }
    EXPECT_EQ(TypeParam::Own().GetCount(), 0U);
}

// A window that shows no address yet offers nothing to add, whatever the list holds.
TYPED_TEST(UrlListPageTest, EmptyOpenAddressIsNeverAdded) {
    this->OpenWindows({""});
    this->Pick("");
    TypeParam::Own().Add("http://listed.example/");
    this->Make();
    this->Pick("");

    EXPECT_EQ(this->Shown(), (std::vector<QString>{QString::fromLatin1(kNoOpenUrl),
                                                   QString::fromLatin1(kNoOpenUrl)}));
    EXPECT_THAT(TypeParam::Own().Entries(), ElementsAre("http://listed.example/"));
    EXPECT_THAT(Rows(this->Urls()), ElementsAre("http://listed.example/"));
}

TYPED_TEST(UrlListPageTest, PickedAddressGoesToTheEndOfTheListAndInOrderOnThePage) {
    TypeParam::Own().Add("http://m.example/");
    TypeParam::Own().Add("http://z.example/");
    this->OpenWindows({"http://B.example/pop"});
    this->Pick("http://B.example/pop");

    EXPECT_THAT(this->Shown(), IsEmpty());
    EXPECT_THAT(TypeParam::Own().Entries(),
                ElementsAre("http://m.example/", "http://z.example/", "http://B.example/pop"));
    EXPECT_THAT(Rows(this->Urls()),
                ElementsAre("http://B.example/pop", "http://m.example/", "http://z.example/"));
}

// The other list is looked at first, then this page's rows by their case-blind prefix.
TYPED_TEST(UrlListPageTest, PickedAddressRefusals) {
    struct CCase {
        const char* szOpen;
        std::vector<std::string> own;
        std::vector<std::string> other;
        const char* szRefusal;
    };
    const std::vector<CCase> cases = {
        {"http://a.example/", {}, {"http://a.example/"}, TypeParam::kOpenUrlInOther},
        {"http://a.example/",
         {"http://a.example/"},
         {"http://a.example/"},
         TypeParam::kOpenUrlInOther},
        {"http://a.example/", {"http://a.example/"}, {}, TypeParam::kOpenUrlListed},
        {"http://a.example/", {"HTTP://A.Example/"}, {}, TypeParam::kOpenUrlListed},
        {"http://a.example/", {"http://a.example/longer"}, {}, TypeParam::kOpenUrlListed},
        // The other list matches whole strings only.
        {"http://a.example/",
         {"http://A.example/"},
         {"http://A.example/"},
         TypeParam::kOpenUrlListed},
    };
    this->OpenWindows({"http://a.example/"});
    for (const CCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "own " << testing::PrintToString(c.own) << " other "
                                        << testing::PrintToString(c.other));
        this->Restart(c.own, c.other);
        this->Pick(c.szOpen);
        EXPECT_EQ(this->Shown(), this->Said(c.szRefusal));
        EXPECT_EQ(TypeParam::Own().Entries(), c.own);
        EXPECT_EQ(TypeParam::Other().Entries(), c.other);
        EXPECT_EQ(Rows(this->Urls()), c.own);
    }
}

// What picking refuses by the case-blind prefix, typing accepts: both forms are then listed.
TYPED_TEST(UrlListPageTest, TypingAcceptsWhatPickingRefusesByCaseOrPrefix) {
    TypeParam::Own().Add("http://a.example/longer");
    TypeParam::Own().Add("HTTP://B.EXAMPLE/");
    this->OpenWindows({"http://a.example/", "http://b.example/"});
    this->Pick("http://a.example/");
    this->Pick("http://b.example/");
    EXPECT_EQ(this->Shown(),
              (std::vector<QString>{QString::fromLatin1(TypeParam::kOpenUrlListed),
                                    QString::fromLatin1(TypeParam::kOpenUrlListed)}));

    this->Type("http://a.example/");
    this->Type("http://b.example/");
    EXPECT_EQ(this->Shown().size(), 2U) << "no refusal for typing";
    EXPECT_THAT(TypeParam::Own().Entries(),
                ElementsAre("http://a.example/longer", "HTTP://B.EXAMPLE/", "http://a.example/",
                            "http://b.example/"));
    EXPECT_THAT(Rows(this->Urls()), ElementsAre("http://a.example/", "http://a.example/longer",
                                                "HTTP://B.EXAMPLE/", "http://b.example/"));
    EXPECT_EQ(this->Edit()->text(), QStringLiteral("http://"));
}

TYPED_TEST(UrlListPageTest, TypedAddressRefusalsKeepTheText) {
    struct CCase {
        std::string typed;
        std::vector<std::string> own;
        std::vector<std::string> other;
        const char* szRefusal;
    };
    const std::vector<CCase> cases = {
        {"", {}, {}, kNoUrlTyped},
        {"http://", {}, {}, kNoUrlTyped},
        {"http://", {"http://"}, {"http://"}, kNoUrlTyped},
        // An entry starting with a zero byte would be stored as an empty one.
        {std::string("\0http://x.example/", 18), {}, {}, kNoUrlTyped},
        {"http://a.example/", {}, {"http://a.example/"}, TypeParam::kTypedUrlInOther},
        {"http://a.example/",
         {"http://a.example/"},
         {"http://a.example/"},
         TypeParam::kTypedUrlInOther},
        {"http://a.example/", {"http://a.example/"}, {}, TypeParam::kTypedUrlListed},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.typed));
        this->Restart(c.own, c.other);
        this->Type(c.typed);
        EXPECT_EQ(this->Shown(), this->Said(c.szRefusal));
        EXPECT_EQ(this->Edit()->text().toStdString(), c.typed);
        EXPECT_EQ(TypeParam::Own().Entries(), c.own);
        EXPECT_EQ(TypeParam::Other().Entries(), c.other);
        EXPECT_EQ(Rows(this->Urls()), c.own);
    }
}

// Typed text is taken as it stands: not trimmed, any scheme, any characters, any length.
TYPED_TEST(UrlListPageTest, TypedAddressesAreTakenWholeAndShownAsPlainText) {
    const std::vector<std::string> typed = {
        " http://spaced.example/ ",
        "ftp://files.example/",
        R"(http://x.example/<b>bold</b>&amp;<img src="y">)",
        "http://ünïcode.example/ä",
        "http://long.example/?" + std::string(20000, 'q'),
    };
    for (const std::string& url : typed) {
        this->Type(url);
        EXPECT_EQ(this->Edit()->text(), QStringLiteral("http://"));
    }
    EXPECT_THAT(this->Shown(), IsEmpty());
    EXPECT_EQ(TypeParam::Own().Entries(), typed);
    const CSortedListBox* urls = this->Urls();
    ASSERT_EQ(urls->GetCount(), 5);
    for (int i = 0; i < urls->GetCount(); ++i) {
        EXPECT_EQ(urls->item(i)->text(), QString::fromStdString(urls->GetText(i)));
    }
}

// Rows are sorted, the list is not: each row takes its own entry away.
TYPED_TEST(UrlListPageTest, RemoveTakesTheChosenRowAndItsEntryWhereverEachStands) {
    for (const char* url :
         {"http://c.example/", "http://A.example/", "http://b.example/", "http://A.example/"}) {
        TypeParam::Own().Add(url);
    }
    TypeParam::Other().Add("http://b.example/");
    this->Select(this->Urls(), "http://b.example/");
    this->Click("remove");
    EXPECT_THAT(TypeParam::Own().Entries(),
                ElementsAre("http://c.example/", "http://A.example/", "http://A.example/"));
    EXPECT_THAT(Rows(this->Urls()),
                ElementsAre("http://A.example/", "http://A.example/", "http://c.example/"));

    this->Select(this->Urls(), "http://A.example/");
    this->Click("remove");
    EXPECT_THAT(TypeParam::Own().Entries(), ElementsAre("http://c.example/", "http://A.example/"));
    EXPECT_THAT(Rows(this->Urls()), ElementsAre("http://A.example/", "http://c.example/"));

    this->Click("remove");
    EXPECT_EQ(this->Shown(), this->Said(TypeParam::kNoListedUrl))
        << "the removed row's neighbour is not chosen in its place";
    EXPECT_THAT(TypeParam::Other().Entries(), ElementsAre("http://b.example/"));
}

TYPED_TEST(UrlListPageTest, ClearEmptiesRowsAndListOnlyOnYes) {
    TypeParam::Own().Add("http://b.example/");
    TypeParam::Own().Add("http://a.example/");
    TypeParam::Other().Add("http://c.example/");
    this->m_MessageBox.Answer(false);
    this->Click("clear");
    EXPECT_THAT(TypeParam::Own().Entries(), ElementsAre("http://b.example/", "http://a.example/"));
    EXPECT_THAT(Rows(this->Urls()), ElementsAre("http://a.example/", "http://b.example/"));

    this->m_MessageBox.Answer(true);
    this->Click("clear");
    ASSERT_EQ(this->m_MessageBox.Boxes().size(), 2U);
    for (const auto& box : this->m_MessageBox.Boxes()) {
        EXPECT_EQ(box.kind, Kind::Question);
        EXPECT_EQ(box.strText, QString::fromLatin1(TypeParam::kClearQuestion));
        EXPECT_EQ(box.pOwner, &this->ThePage());
    }
    EXPECT_THAT(TypeParam::Own().Entries(), IsEmpty());
    EXPECT_EQ(this->Urls()->GetCount(), 0);
    EXPECT_THAT(TypeParam::Other().Entries(), ElementsAre("http://c.example/"));
}

// The scan reads the very list the page edits: a change counts from the next pass.
TYPED_TEST(UrlListPageTest, ScanObeysAChangeFromItsNextPass) {
    const std::string url = "http://picked.example/";
    CNoReport report;
    CBrowserScanner scanner(this->m_Browsers, g_BlackList, g_WhiteList, report);
    scanner.ConnectBrowserWindows();
    this->m_Browsers.Open(TypeParam::ListedWindow(url));

    this->Pick(url);
    ASSERT_THAT(TypeParam::Own().Entries(), ElementsAre(url));
    EXPECT_EQ(scanner.ScanBrowserWindows(), S_OK);
    EXPECT_EQ(this->m_Browsers.At(0).bClosed, TypeParam::kClosedWhenListed);

    this->Select(this->Urls(), url);
    this->Click("remove");
    this->m_Browsers.Open(TypeParam::ListedWindow(url));
    EXPECT_EQ(scanner.ScanBrowserWindows(), S_OK);
    EXPECT_EQ(this->m_Browsers.At(1).bClosed, !TypeParam::kClosedWhenListed);
    EXPECT_THAT(this->Shown(), IsEmpty());
}

}  // namespace
