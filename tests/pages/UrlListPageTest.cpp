// The behaviour the black list page and the white list page share, run on both pages
// with each page's own words and lists.
#include "pages/UrlListPage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/UrlList.h"
#include "pages/BlackListPage.h"
#include "pages/WhiteListPage.h"
#include "support/FakeBrowserWindows.h"
#include "support/ScriptedMessageBox.h"
#include "widgets/SortedListBox.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Texts = std::vector<QString>;
using Strings = std::vector<std::string>;

struct CPageKind {
    const char* szName;
    std::unique_ptr<CUrlListPage> (*make)(IBrowserWindowsFactory&, IMessageBox&);
    CUrlList* pOwn;
    CUrlList* pOther;
    const char* szListLabel;
    const char* szEditLabel;
    const char* szNoOpen;
    const char* szOpenInOther;
    const char* szOpenListed;
    const char* szNoTyped;
    const char* szTypedInOther;
    const char* szTypedListed;
    const char* szNoRow;
    const char* szClear;
};

template <typename TPage>
std::unique_ptr<CUrlListPage> MakePage(IBrowserWindowsFactory& browsers, IMessageBox& box) {
    return std::make_unique<TPage>(browsers, box);
}

const CPageKind kBlack{"BlackList",
                       MakePage<CBlackListPage>,
                       &g_BlackList,
                       &g_WhiteList,
                       "Black list: (URLs will be killed)",
                       "Enter URL: (which you want to kill)",
                       "Please choose a opened URL.  ",
                       "This Item has been add in whitlist!",
                       "The Item has been in the list!!",
                       "Please enter a URL that you want to kill.",
                       "It has been in whitelist!",
                       "The URL has been in the Black List.  ",
                       "Please choose a existent URL in Black List.  ",
                       "Really clear all URLs in the Black List?"};
const CPageKind kWhite{"WhiteList",
                       MakePage<CWhiteListPage>,
                       &g_WhiteList,
                       &g_BlackList,
                       "White list: (URLs will not be killed)",
                       "Enter URL: (which you don't want to kill)",
                       "Please choose a opened URL.  ",
                       "This URL has been in the blacklist!",
                       "The URL has in the White List.",
                       "Please enter a URL that you want to kill.",
                       "It has in Blacklist!",
                       "The URL has been in the White List!  ",
                       "Please choose a existent URL in White List.  ",
                       "Really clear all URLs in White List?"};

void PrintTo(const CPageKind* pKind, std::ostream* os) {
    *os << pKind->szName;
}

Strings Rows(const CSortedListBox* listBox) {
    Strings rows;
    for (int i = 0; i < listBox->GetCount(); ++i) {
        rows.push_back(listBox->GetText(i));
    }
    return rows;
}

const CPageKind& KindOf(const CPageKind* pKind) {
    return *pKind;
}
template <typename TCase>
const CPageKind& KindOf(const std::tuple<const CPageKind*, TCase>& param) {
    return *std::get<0>(param);
}
template <typename TCase>
std::string CaseName(const testing::TestParamInfo<std::tuple<const CPageKind*, TCase>>& info) {
    return std::string(std::get<0>(info.param)->szName) + "_" + std::get<1>(info.param).szName;
}

// A page over the global lists, which start and end empty, with fake windows and boxes.
template <typename TParam>
class CPageFixture : public testing::TestWithParam<TParam> {
protected:
    CPageFixture() { ClearLists(); }
    ~CPageFixture() override {
        m_pPage.reset();
        ClearLists();
    }
    static void ClearLists() {
        g_BlackList.RemoveAll();
        g_WhiteList.RemoveAll();
    }

    const CPageKind& K() const { return KindOf(this->GetParam()); }
    CUrlList& Own() const { return *K().pOwn; }
    CUrlList& Other() const { return *K().pOther; }
    QString Say(const char* CPageKind::*pText) const { return QString::fromLatin1(K().*pText); }

    // Builds the page from the lists as they stand, as the main window does.
    CUrlListPage& Make() {
        m_pPage = K().make(m_Browsers, m_MessageBox);
        return *m_pPage;
    }
    CUrlListPage& Page() { return m_pPage ? *m_pPage : Make(); }

    template <typename T = QWidget>
    T* Control(const char* szName) {
        auto* control = Page().template findChild<T*>(QString::fromLatin1(szName));
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
        const Strings rows = Rows(listBox);
        const auto found = std::find(rows.begin(), rows.end(), text);
        ASSERT_NE(found, rows.end()) << "no row " << text;
        listBox->setCurrentRow(static_cast<int>(found - rows.begin()));
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
    static void Fill(CUrlList& list, const Strings& urls) {
        for (const std::string& url : urls) {
            list.Add(url);
        }
    }
    // Every box so far was `kind` with `text`, owned by the page.
    void ExpectBoxes(std::size_t nCount, CScriptedMessageBox::Kind kind, const QString& text) {
        ASSERT_EQ(m_MessageBox.Boxes().size(), nCount);
        for (const auto& box : m_MessageBox.Boxes()) {
            EXPECT_EQ(box.kind, kind);
            EXPECT_EQ(box.strText, text);
            EXPECT_EQ(box.pOwner, m_pPage.get());
        }
    }

    CFakeBrowserWindows m_Browsers;
    CScriptedMessageBox m_MessageBox;
    std::unique_ptr<CUrlListPage> m_pPage;
};

class UrlListPageTest : public CPageFixture<const CPageKind*> {};

INSTANTIATE_TEST_SUITE_P(Pages, UrlListPageTest, testing::Values(&kBlack, &kWhite),
                         [](const auto& info) { return info.param->szName; });

TEST_P(UrlListPageTest, ShowsItsTexts) {
    Strings labels;
    for (const QLabel* label : Page().findChildren<QLabel*>()) {
        labels.push_back(label->text().toStdString());
    }
    EXPECT_THAT(labels, ElementsAre("Current opened URLs:", K().szListLabel, K().szEditLabel));
    Strings captions;
    for (const char* szName : {"refresh", "addOpenUrl", "remove", "clear", "addUrl"}) {
        captions.push_back(Control<QPushButton>(szName)->text().toStdString());
    }
    EXPECT_THAT(captions, ElementsAre("Refresh", "Add", "Remove", "Clear", "Add"));
}

// The open windows are read when the page is shown or hidden and on "Refresh", over the
// one connection taken when the page was made.
TEST_P(UrlListPageTest, StartsSortedWithThePromptAndReadsTheOpenWindowsWhenShown) {
    Fill(Own(), {"B", "a", "c"});
    Other().Add("other");
    OpenWindows({"one"});
    EXPECT_THAT(Rows(Urls()), ElementsAre("a", "B", "c"));
    EXPECT_THAT(Own().Entries(), ElementsAre("B", "a", "c"));
    EXPECT_EQ(Edit()->text(), QStringLiteral("http://"));
    EXPECT_THAT(Rows(OpenUrls()), IsEmpty());
    EXPECT_EQ(m_Browsers.m_nCounts, 0);

    Page().show();
    EXPECT_THAT(Rows(OpenUrls()), ElementsAre("one"));
    OpenWindows({"two"});
    Page().hide();
    EXPECT_THAT(Rows(OpenUrls()), ElementsAre("one", "two"));
    m_Browsers.At(0).bClosed = true;
    Click("refresh");
    EXPECT_THAT(Rows(OpenUrls()), ElementsAre("two"));
    EXPECT_EQ(m_Browsers.m_nCounts, 3);
    EXPECT_EQ(m_Browsers.m_nCreated, 1);
}

// No de-duplication, the file scheme left out with its letter case significant, empty and
// other schemes listed, all in the list box's order.
TEST_P(UrlListPageTest, OpenAddressesAreEveryWindowButFileOnesSorted) {
    OpenWindows({"http://b/", "file:///home/", "FILE:///HOME/", "http://b/", "", "about:blank",
                 "fil", "http://A/", "file"});
    Click("refresh");
    EXPECT_THAT(Rows(OpenUrls()), ElementsAre("", "about:blank", "fil", "FILE:///HOME/",
                                              "http://A/", "http://b/", "http://b/"));
}

TEST_P(UrlListPageTest, AddingAnOpenAddressNeedsAChosenRowEvenRightAfterRefresh) {
    OpenWindows({"a"});
    Click("addOpenUrl");  // nothing listed yet
    Click("refresh");
    Select(OpenUrls(), "a");
    Click("refresh");
    Click("addOpenUrl");
    ExpectBoxes(2, CScriptedMessageBox::Kind::Message, Say(&CPageKind::szNoOpen));
    EXPECT_THAT(Own().Entries(), IsEmpty());
}

// Both go to the end of the list and in order on the page. What picking refuses by the
// case-blind prefix, typing accepts; typed text is taken as it stands.
TEST_P(UrlListPageTest, TypingAcceptsWhatPickingRefusesByCaseOrPrefix) {
    Fill(Own(), {"http://a/longer", "HTTP://B/"});
    OpenWindows({"http://a/", "http://b/", "http://C/pop"});
    Pick("http://C/pop");
    Pick("http://a/");
    Pick("http://b/");
    EXPECT_EQ(m_MessageBox.Texts(), Texts(2, Say(&CPageKind::szOpenListed)));

    Type("http://a/");
    Type("http://b/");
    Type(" http://ünï/ä ");
    EXPECT_EQ(m_MessageBox.Texts().size(), 2U) << "no refusal for typing";
    EXPECT_THAT(Own().Entries(), ElementsAre("http://a/longer", "HTTP://B/", "http://C/pop",
                                             "http://a/", "http://b/", " http://ünï/ä "));
    EXPECT_THAT(Rows(Urls()), ElementsAre(" http://ünï/ä ", "http://a/", "http://a/longer",
                                          "HTTP://B/", "http://b/", "http://C/pop"));
    EXPECT_EQ(Edit()->text(), QStringLiteral("http://"));
}

// Rows are sorted, the list is not: each row takes its own entry away.
TEST_P(UrlListPageTest, RemoveTakesTheChosenRowAndItsEntryWhereverEachStands) {
    Fill(Own(), {"c", "A", "b", "A"});
    Other().Add("b");
    Select(Urls(), "b");
    Click("remove");
    EXPECT_THAT(Own().Entries(), ElementsAre("c", "A", "A"));
    EXPECT_THAT(Rows(Urls()), ElementsAre("A", "A", "c"));

    Select(Urls(), "A");
    Click("remove");
    EXPECT_THAT(Own().Entries(), ElementsAre("c", "A"));
    EXPECT_THAT(Rows(Urls()), ElementsAre("A", "c"));

    Click("remove");
    EXPECT_EQ(m_MessageBox.Texts(), Texts{Say(&CPageKind::szNoRow)})
        << "the removed row's neighbour is not chosen in its place";
    EXPECT_THAT(Other().Entries(), ElementsAre("b"));
}

TEST_P(UrlListPageTest, ClearEmptiesRowsAndListOnlyOnYes) {
    Fill(Own(), {"b", "a"});
    Other().Add("c");
    m_MessageBox.Answer(false);
    Click("clear");
    EXPECT_THAT(Own().Entries(), ElementsAre("b", "a"));
    EXPECT_THAT(Rows(Urls()), ElementsAre("a", "b"));

    m_MessageBox.Answer(true);
    Click("clear");
    ExpectBoxes(2, CScriptedMessageBox::Kind::Question, Say(&CPageKind::szClear));
    EXPECT_THAT(Own().Entries(), IsEmpty());
    EXPECT_EQ(Urls()->GetCount(), 0);
    EXPECT_THAT(Other().Entries(), ElementsAre("c"));
}

// A refused address leaves both lists, the rows and the typed text as they were. The other
// list is looked at first and matches whole strings; picking then matches this page's rows
// by their case-blind prefix, typing this list's whole entries.
struct CRefusalCase {
    const char* szName;
    bool bTyped;
    std::string url;
    Strings own;
    Strings other;
    const char* CPageKind::*pRefusal;
};

void PrintTo(const CRefusalCase& c, std::ostream* os) {
    *os << c.szName;
}

class UrlListPageRefusalTest : public CPageFixture<std::tuple<const CPageKind*, CRefusalCase>> {};

TEST_P(UrlListPageRefusalTest, RefusesWithThePagesOwnWords) {
    const CRefusalCase& c = std::get<1>(GetParam());
    Fill(Own(), c.own);
    Fill(Other(), c.other);
    if (c.bTyped) {
        Type(c.url);
        EXPECT_EQ(Edit()->text().toStdString(), c.url);
    } else {
        OpenWindows({c.url.c_str()});
        Pick(c.url);
    }
    ExpectBoxes(1, CScriptedMessageBox::Kind::Message, Say(c.pRefusal));
    EXPECT_EQ(Own().Entries(), c.own);
    EXPECT_EQ(Other().Entries(), c.other);
    EXPECT_EQ(Rows(Urls()), c.own);
}

const std::string kA = "http://a/";
const std::string kCapitalA = "HTTP://A/";
const std::string kPrompt = "http://";
// Stored as an empty entry, which would end the stored list.
const std::string kZeroFirst("\0http://x/", 10);
constexpr bool kPick = false;
constexpr bool kType = true;
constexpr auto kNoOpen = &CPageKind::szNoOpen;
constexpr auto kOpenInOther = &CPageKind::szOpenInOther;
constexpr auto kOpenListed = &CPageKind::szOpenListed;
constexpr auto kNoTyped = &CPageKind::szNoTyped;

INSTANTIATE_TEST_SUITE_P(
    Pages, UrlListPageRefusalTest,
    testing::Combine(
        testing::Values(&kBlack, &kWhite),
        testing::Values(
            CRefusalCase{"PickedInBoth", kPick, kA, {kA}, {kA}, kOpenInOther},
            CRefusalCase{"PickedInOtherCase", kPick, kA, {kCapitalA}, {}, kOpenListed},
            CRefusalCase{"PickedPrefix", kPick, kA, {kA + "b"}, {}, kOpenListed},
            CRefusalCase{"PickedInBothOtherCase", kPick, kA, {kCapitalA}, {kCapitalA}, kOpenListed},
            // A window that shows no address yet offers nothing to add.
            CRefusalCase{"PickedEmpty", kPick, "", {}, {}, kNoOpen},
            CRefusalCase{"PickedEmptyBesideARow", kPick, "", {kA}, {}, kNoOpen},
            CRefusalCase{"TypedNothing", kType, "", {}, {}, kNoTyped},
            CRefusalCase{"TypedPrompt", kType, kPrompt, {kPrompt}, {kPrompt}, kNoTyped},
            CRefusalCase{"TypedZeroFirst", kType, kZeroFirst, {}, {}, kNoTyped},
            CRefusalCase{"TypedInBoth", kType, kA, {kA}, {kA}, &CPageKind::szTypedInOther},
            CRefusalCase{"TypedListed", kType, kA, {kA}, {}, &CPageKind::szTypedListed})),
    CaseName<CRefusalCase>);

// Applied after a refill of three windows a, b, c, to the second of them or to the
// connection, before the page connects again and refills: a failure before the refill
// leaves the rows, one during it keeps the rows added so far; what is no browser window is
// passed over. All silently.
struct CEnumerationCase {
    const char* szName;
    void (*spoil)(CFakeBrowserWindows&);
    Strings rows;
};

void PrintTo(const CEnumerationCase& c, std::ostream* os) {
    *os << c.szName;
}

class UrlListPageEnumerationTest
    : public CPageFixture<std::tuple<const CPageKind*, CEnumerationCase>> {};

TEST_P(UrlListPageEnumerationTest, RefillKeepsTheRowsAddedBeforeAFailure) {
    OpenWindows({"a", "b", "c"});
    Page().RefreshOpenUrls();
    std::get<1>(GetParam()).spoil(m_Browsers);
    Page().ConnectShellWindows();
    Click("refresh");
    EXPECT_EQ(Rows(OpenUrls()), std::get<1>(GetParam()).rows);
    EXPECT_EQ(m_Browsers.LiveReferences(), 0) << "every item and browser view let go";
    EXPECT_THAT(m_MessageBox.Boxes(), IsEmpty());
}

using Fake = CFakeBrowserWindows;

INSTANTIATE_TEST_SUITE_P(
    Pages, UrlListPageEnumerationTest,
    testing::Combine(
        testing::Values(&kBlack, &kWhite),
        testing::Values(
            CEnumerationCase{
                "CreateFails", [](Fake& f) { f.m_hrCreate = E_FAIL; }, {"a", "b", "c"}},
            CEnumerationCase{
                "CountFails", [](Fake& f) { f.m_hrCount = E_TIMEOUT; }, {"a", "b", "c"}},
            CEnumerationCase{"ItemFails", [](Fake& f) { f.At(1).hrItem = E_FAIL; }, {"a"}},
            CEnumerationCase{
                "ViewFails", [](Fake& f) { f.At(1).hrQueryBrowser = E_TIMEOUT; }, {"a"}},
            CEnumerationCase{
                "Null", [](Fake& f) { f.At(1).kind = Fake::Kind::NullItem; }, {"a", "c"}},
            CEnumerationCase{
                "Other", [](Fake& f) { f.At(1).kind = Fake::Kind::NotBrowser; }, {"a", "c"}},
            // An address that cannot be read shows as the empty one.
            CEnumerationCase{"UrlFails", [](Fake& f) { f.At(1).hrUrl = E_FAIL; }, {"", "a", "c"}})),
    CaseName<CEnumerationCase>);

}  // namespace
