// The black and white list pages share their behaviour, tested on the black list page;
// each page has its own words and its own list.
#include "pages/UrlListPage.h"

#include <functional>
#include <memory>
#include <optional>

#include <QLineEdit>
#include <QPushButton>
#include <gmock/gmock.h>

#include "pages/BlackListPage.h"
#include "pages/WhiteListPage.h"
#include "support/BrowserThreadWait.h"
#include "support/EmptyLists.h"
#include "support/FakeBrowserWindows.h"
#include "support/Rows.h"
#include "support/ScriptedMessageBox.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Strings = std::vector<std::string>;
using Fake = CFakeBrowserWindows;

template <typename TPage>
std::unique_ptr<CUrlListPage> Make(IBrowserWindowsFactory& browsers, CBrowserThread& thread,
                                   IMessageBox& box) {
    return std::make_unique<TPage>(browsers, thread, box);
}

// The refusals and the question of a page, in the order the first test meets them.
enum EWord { NoOpen, OpenInOther, OpenListed, NoTyped, TypedInOther, TypedListed, NoRow, Clear };

// The words of the black list page, then the white list page's.
const char* const kWords[2][Clear + 1] = {
    {"Please choose a opened URL.  ", "This Item has been add in whitlist!",
     "The Item has been in the list!!", "Please enter a URL that you want to kill.",
     "It has been in whitelist!", "The URL has been in the Black List.  ",
     "Please choose a existent URL in Black List.  ", "Really clear all URLs in the Black List?"},
    {"Please choose a opened URL.  ", "This URL has been in the blacklist!",
     "The URL has in the White List.", "Please enter a URL that you want to kill.",
     "It has in Blacklist!", "The URL has been in the White List!  ",
     "Please choose a existent URL in White List.  ", "Really clear all URLs in White List?"}};

struct SPageKind {
    const char* szName;
    std::unique_ptr<CUrlListPage> (*make)(IBrowserWindowsFactory&, CBrowserThread&, IMessageBox&);
    CUrlList* pOwn;
    CUrlList* pOther;
    const char* const* words;  // by EWord
    QString Word(int nWord) const { return QString::fromUtf8(words[nWord]); }
};

const SPageKind kPages[] = {
    {"black list page", Make<CBlackListPage>, &g_BlackList, &g_WhiteList, kWords[0]},
    {"white list page", Make<CWhiteListPage>, &g_WhiteList, &g_BlackList, kWords[1]}};
const SPageKind& kBlack = kPages[0];

void Fill(CUrlList& list, const Strings& urls) {
    for (const std::string& url : urls) {
        list.Add(url);
    }
}

// A page made over empty lists (when first asked for), with fake windows and boxes.
struct SPageRig {
    explicit SPageRig(const SPageKind& kind = kBlack) : m_Kind(kind) {}

    CUrlListPage& Page() {
        if (!m_pPage) {
            m_pPage = m_Kind.make(m_Browsers, m_Thread, m_MessageBox);
        }
        return *m_pPage;
    }
    template <typename T>
    T& Control(const char* szName) {
        return *Page().findChild<T*>(QString::fromLatin1(szName));
    }
    // The open-address list box, once the addresses asked for so far have arrived.
    CSortedListBox& OpenUrls() {
        EXPECT_TRUE(WaitForBrowserThread(m_Thread));
        return Control<CSortedListBox>("openUrls");
    }
    CSortedListBox& Urls() { return Control<CSortedListBox>("urls"); }
    QLineEdit& Edit() { return Control<QLineEdit>("url"); }
    void Click(const char* szButton) { Control<QPushButton>(szButton).click(); }
    void Open(const Strings& urls) {
        for (const std::string& url : urls) {
            m_Browsers.Open(Fake::Tab(url));
        }
    }
    static void Select(CSortedListBox& listBox, const std::string& text) {
        const Strings rows = Rows(listBox);
        const auto found = std::find(rows.begin(), rows.end(), text);
        ASSERT_NE(found, rows.end()) << "no row " << text;
        listBox.setCurrentRow(static_cast<int>(found - rows.begin()));
    }
    // Picks `url` among the open addresses and presses the first "Add".
    void Pick(const std::string& url) {
        Click("refresh");
        Select(OpenUrls(), url);
        Click("addOpenUrl");
    }
    void Type(const std::string& text) {
        Edit().setText(QString::fromStdString(text));
        Click("addUrl");
    }
    CUrlList& Own() const { return *m_Kind.pOwn; }
    CUrlList& Other() const { return *m_Kind.pOther; }

    const SPageKind& m_Kind;
    CEmptyLists m_Lists;
    Fake m_Browsers;
    CScriptedMessageBox m_MessageBox;
    CBrowserThread m_Thread;
    std::unique_ptr<CUrlListPage> m_pPage;
};

// Each page refuses in its own words, owning its boxes, and adds to and clears its own
// list only. "Clear" empties the list on Yes only; a refusal adds nothing.
TEST(UrlListPage, EachPageSpeaksItsOwnWordsOverItsOwnList) {
    for (const SPageKind& kind : kPages) {
        SCOPED_TRACE(kind.szName);
        SPageRig rig(kind);
        rig.Own().Add("mine");
        rig.Other().Add("other");
        rig.Open({"mine", "other", "new"});
        rig.Click("addOpenUrl");
        rig.Pick("other");
        rig.Pick("mine");
        rig.Type("http://");
        rig.Type("other");
        rig.Type("mine");
        rig.Click("remove");
        rig.Pick("new");
        EXPECT_THAT(rig.Own().Entries(), ElementsAre("mine", "new"));
        rig.m_MessageBox.Answer(false);
        rig.m_MessageBox.Answer(true);
        rig.Click("clear");
        EXPECT_EQ(rig.Urls().GetCount(), 2);
        rig.Click("clear");
        std::vector<QString> words;
        for (int nWord = NoOpen; nWord <= Clear; ++nWord) {
            words.push_back(kind.Word(nWord));
        }
        words.push_back(kind.Word(Clear));
        EXPECT_EQ(rig.m_MessageBox.Texts(), words);
        for (const auto& box : rig.m_MessageBox.Boxes()) {
            EXPECT_EQ(box.pOwner, rig.m_pPage.get());
        }
        EXPECT_THAT(rig.Own().Entries(), IsEmpty());
        EXPECT_EQ(rig.Urls().GetCount(), 0);
        EXPECT_THAT(rig.Other().Entries(), ElementsAre("other"));
    }
}

// The open windows are read when the page is shown or hidden and on "Refresh", over the
// one connection taken when the page was made: every address but the file scheme's (its
// letter case counts), none left out as a duplicate, all sorted. A page may go while the
// browsers are still being read for it; the connection goes once the reading is done.
TEST(UrlListPage, StartsSortedAndReadsTheOpenWindowsWhenShownHiddenOrRefreshed) {
    SPageRig rig;
    Fill(rig.Own(), {"B", "a", "c"});
    rig.Open({"http://b/", "file:///home/", "FILE:///HOME/"});
    EXPECT_EQ(Rows(rig.Urls()), (Strings{"a", "B", "c"}));
    EXPECT_EQ(rig.Edit().text(), QStringLiteral("http://"));
    EXPECT_THAT(Rows(rig.OpenUrls()), IsEmpty());

    rig.Page().show();
    EXPECT_EQ(Rows(rig.OpenUrls()), (Strings{"FILE:///HOME/", "http://b/"}));
    rig.Open({"http://b/", "", "about:blank", "fil", "http://A/", "file"});
    rig.Page().hide();
    EXPECT_EQ(Rows(rig.OpenUrls()), (Strings{"", "about:blank", "fil", "FILE:///HOME/", "http://A/",
                                             "http://b/", "http://b/"}));
    rig.m_Browsers.At(0).bClosed = true;
    rig.Click("refresh");
    EXPECT_EQ(rig.OpenUrls().GetCount(), 6);
    EXPECT_EQ(rig.m_Browsers.m_nCounts, 3);
    EXPECT_EQ(rig.m_Browsers.m_nCreated, 1);
    EXPECT_EQ(rig.Own().Entries(), (Strings{"B", "a", "c"}));

    rig.Page().RefreshOpenUrls();
    rig.m_pPage.reset();
    EXPECT_TRUE(WaitForBrowserThread(rig.m_Thread));
    EXPECT_EQ(rig.m_Browsers.LiveReferences(), 0);
}

// An accepted address goes to the end of the list and in order on the rows, and the typed
// text starts again; a refused one leaves both lists, the rows and the typed text as they
// were. The other list is looked at first and matches whole strings; picking then matches
// this page's rows by their case-blind prefix, typing this list's whole entries.
TEST(UrlListPage, PickingAndTypingAddOrRefuseByTheirOwnRules) {
    const std::string a = "http://a/";
    const std::string capitalA = "HTTP://A/";
    const struct {
        bool bTyped;
        std::string url;
        Strings own;
        Strings other;
        std::optional<EWord> refusal;  // none: added
    } cases[] = {
        {false, a, {capitalA}, {"http://b/"}, OpenListed},
        {false, a, {a + "b"}, {}, OpenListed},
        {false, a, {capitalA}, {capitalA}, OpenListed},
        {false, a, {"http://a"}, {}, std::nullopt},
        {false, "", {a}, {}, NoOpen},  // a window that shows no address yet
        {true, a, {capitalA, a + "b"}, {capitalA}, std::nullopt},
        {true, " http://ünï/ä ", {"http://a"}, {}, std::nullopt},  // taken as it stands
        {true, "", {}, {}, NoTyped},
        {true, "http://", {"http://"}, {"http://"}, NoTyped},
        {true, std::string("\0http://x/", 10), {}, {}, NoTyped},  // would end it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.bTyped ? "typed " : "picked ") + c.url);
        SPageRig rig;
        Fill(rig.Own(), c.own);
        Fill(rig.Other(), c.other);
        if (c.bTyped) {
            rig.Type(c.url);
        } else {
            rig.Open({c.url});
            rig.Pick(c.url);
        }
        Strings own = c.own;
        if (!c.refusal) {
            own.push_back(c.url);
            EXPECT_THAT(rig.m_MessageBox.Boxes(), IsEmpty());
        } else {
            EXPECT_THAT(rig.m_MessageBox.Texts(), ElementsAre(kBlack.Word(*c.refusal)));
        }
        EXPECT_EQ(rig.Own().Entries(), own);
        EXPECT_EQ(rig.Other().Entries(), c.other);
        EXPECT_THAT(Rows(rig.Urls()), testing::UnorderedElementsAreArray(own));
        EXPECT_EQ(rig.Edit().text().toStdString(), c.bTyped && c.refusal ? c.url : "http://");
    }
    // An open address needs a chosen row, also right after "Refresh".
    SPageRig rig;
    rig.Open({"a"});
    rig.Click("refresh");
    SPageRig::Select(rig.OpenUrls(), "a");
    rig.Click("refresh");
    EXPECT_TRUE(WaitForBrowserThread(rig.m_Thread));
    rig.Click("addOpenUrl");
    EXPECT_THAT(rig.m_MessageBox.Texts(), ElementsAre(kBlack.Word(NoOpen)));
}

// Rows are sorted, the list is not: each row takes its own entry away, and the neighbour
// of a removed row is not chosen in its place.
TEST(UrlListPage, RemoveTakesTheChosenEntry) {
    SPageRig rig;
    Fill(rig.Own(), {"c", "A", "b", "A"});
    SPageRig::Select(rig.Urls(), "b");
    rig.Click("remove");
    SPageRig::Select(rig.Urls(), "A");
    rig.Click("remove");
    EXPECT_EQ(rig.Own().Entries(), (Strings{"c", "A"}));
    EXPECT_EQ(Rows(rig.Urls()), (Strings{"A", "c"}));
    rig.Click("remove");
    EXPECT_EQ(rig.m_MessageBox.Boxes().size(), 1U);
}

// Applied after a refill of the windows a, b, c, before the page connects again and
// refills: a failure before the refill leaves the rows, one during it keeps the rows added
// so far; what is no browser window is passed over. All silently.
TEST(UrlListPage, ARefillKeepsTheRowsAddedBeforeAFailure) {
    const struct {
        std::function<void(Fake&)> spoil;
        Strings rows;
    } cases[] = {
        {[](Fake& f) { f.m_hrCreate = E_FAIL; }, {"a", "b", "c"}},
        {[](Fake& f) { f.m_hrCount = E_TIMEOUT; }, {"a", "b", "c"}},
        {[](Fake& f) { f.At(1).hrItem = E_FAIL; }, {"a"}},
        {[](Fake& f) { f.At(1).hrQueryBrowser = E_TIMEOUT; }, {"a"}},
        {[](Fake& f) { f.At(1).kind = Fake::Kind::NoView; }, {"a"}},
        {[](Fake& f) { f.At(1).kind = Fake::Kind::NullItem; }, {"a", "c"}},
        {[](Fake& f) { f.At(1).kind = Fake::Kind::NotBrowser; }, {"a", "c"}},
        {[](Fake& f) { f.At(1).hrUrl = E_FAIL; }, {"", "a", "c"}},  // shown as the empty one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.rows));
        SPageRig rig;
        rig.Open({"a", "b", "c"});
        rig.Page().RefreshOpenUrls();
        ASSERT_TRUE(WaitForBrowserThread(rig.m_Thread));
        c.spoil(rig.m_Browsers);
        rig.Page().ConnectShellWindows();
        rig.Click("refresh");
        EXPECT_EQ(Rows(rig.OpenUrls()), c.rows);
        EXPECT_EQ(rig.m_Browsers.LiveReferences(), 0);
        EXPECT_THAT(rig.m_MessageBox.Boxes(), IsEmpty());
    }
}

}  // namespace
