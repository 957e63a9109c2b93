// The black list page and the white list page, each with its own words and lists.
#include "pages/UrlListPage.h"

#include "pages/BlackListPage.h"
#include "pages/WhiteListPage.h"
#include "support/BrowserThreadWait.h"
#include "support/EmptyLists.h"
#include "support/FakeBrowserWindows.h"
#include "support/Rows.h"
#include "support/ScriptedMessageBox.h"

#include <QLineEdit>
#include <QPushButton>

#include <gmock/gmock.h>

#include <functional>
#include <memory>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Strings = std::vector<std::string>;
using Fake = CFakeBrowserWindows;
using Kind = CScriptedMessageBox::Kind;

struct SPageKind {
    const char* szName;
    std::function<std::unique_ptr<CUrlListPage>(IBrowserWindowsFactory&, CBrowserThread&,
                                                IMessageBox&)>
        make;
    CUrlList* pOwn;
    CUrlList* pOther;
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
std::unique_ptr<CUrlListPage> Make(IBrowserWindowsFactory& browsers, CBrowserThread& thread,
                                   IMessageBox& box) {
    return std::make_unique<TPage>(browsers, thread, box);
}

const SPageKind kPages[] = {
    {"black list page", Make<CBlackListPage>, &g_BlackList, &g_WhiteList,
     "Please choose a opened URL.  ", "This Item has been add in whitlist!",
     "The Item has been in the list!!", "Please enter a URL that you want to kill.",
     "It has been in whitelist!", "The URL has been in the Black List.  ",
     "Please choose a existent URL in Black List.  ", "Really clear all URLs in the Black List?"},
    {"white list page", Make<CWhiteListPage>, &g_WhiteList, &g_BlackList,
     "Please choose a opened URL.  ", "This URL has been in the blacklist!",
     "The URL has in the White List.", "Please enter a URL that you want to kill.",
     "It has in Blacklist!", "The URL has been in the White List!  ",
     "Please choose a existent URL in White List.  ", "Really clear all URLs in White List?"}};

// A page made over empty lists (when first asked for), with fake windows and boxes.
class CPageRig {
public:
    explicit CPageRig(const SPageKind& kind) : m_Kind(kind) {}

    CUrlListPage& Page() {
        if (!m_pPage) {
            m_pPage = m_Kind.make(m_Browsers, m_Thread, m_MessageBox);
        }
        return *m_pPage;
    }
    template <typename T>
    T& Control(const char* szName) {
        auto* control = Page().findChild<T*>(QString::fromLatin1(szName));
        EXPECT_NE(control, nullptr) << szName;
        return *control;
    }
    // The open-address list box, once the addresses asked for so far have arrived.
    CSortedListBox& OpenUrls() {
        EXPECT_TRUE(WaitForBrowserThread(m_Thread));
        return Control<CSortedListBox>("openUrls");
    }
    CSortedListBox& Urls() { return Control<CSortedListBox>("urls"); }
    QLineEdit& Edit() { return Control<QLineEdit>("url"); }
    void Click(const char* szButton) { Control<QPushButton>(szButton).click(); }
    // "Refresh", and the addresses arrived.
    void Refresh() {
        Click("refresh");
        EXPECT_TRUE(WaitForBrowserThread(m_Thread));
    }

    void Open(const Strings& urls) {
        for (const std::string& url : urls) {
            m_Browsers.Open(Fake::Tab(url));
        }
    }
    static void Fill(CUrlList& list, const Strings& urls) {
        for (const std::string& url : urls) {
            list.Add(url);
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
    // There were `nCount` boxes so far, each `kind` with `szText` and owned by the page.
    void ExpectBoxes(std::size_t nCount, Kind kind, const char* szText) {
        ASSERT_EQ(m_MessageBox.Boxes().size(), nCount);
        for (const auto& box : m_MessageBox.Boxes()) {
            EXPECT_EQ(box.kind, kind);
            EXPECT_EQ(box.strText, QString::fromUtf8(szText));
            EXPECT_EQ(box.pOwner, m_pPage.get());
        }
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

void ForEachPage(const std::function<void(CPageRig&)>& body) {
    for (const SPageKind& kind : kPages) {
        SCOPED_TRACE(kind.szName);
        CPageRig rig(kind);
        body(rig);
    }
}

// The open windows are read when the page is shown or hidden and on "Refresh", over the
// one connection taken when the page was made: every address but the file scheme's (its
// letter case counts), none left out as a duplicate, all sorted.
TEST(UrlListPage, StartsSortedAndReadsTheOpenWindowsWhenShownHiddenOrRefreshed) {
    ForEachPage([](CPageRig& rig) {
        rig.Fill(rig.Own(), {"B", "a", "c"});
        rig.Other().Add("other");
        rig.Open({"http://b/", "file:///home/", "FILE:///HOME/"});
        EXPECT_EQ(Rows(rig.Urls()), (Strings{"a", "B", "c"}));
        EXPECT_EQ(rig.Edit().text(), QStringLiteral("http://"));
        EXPECT_THAT(Rows(rig.OpenUrls()), IsEmpty());

        rig.Page().show();
        EXPECT_EQ(Rows(rig.OpenUrls()), (Strings{"FILE:///HOME/", "http://b/"}));
        rig.Open({"http://b/", "", "about:blank", "fil", "http://A/", "file"});
        rig.Page().hide();
        EXPECT_EQ(Rows(rig.OpenUrls()), (Strings{"", "about:blank", "fil", "FILE:///HOME/",
                                                 "http://A/", "http://b/", "http://b/"}));
        rig.m_Browsers.At(0).bClosed = true;
        rig.Click("refresh");
        EXPECT_EQ(rig.OpenUrls().GetCount(), 6);
        EXPECT_EQ(rig.m_Browsers.m_nCounts, 3);
        EXPECT_EQ(rig.m_Browsers.m_nCreated, 1);
        EXPECT_EQ(rig.Own().Entries(), (Strings{"B", "a", "c"}));
    });
}

// A page may go while the browsers are still being read for it: what was read is dropped,
// and the connection goes once the reading is done with it.
TEST(UrlListPage, APageThatGoesBeforeItsAddressesArriveIsLeftAlone) {
    ForEachPage([](CPageRig& rig) {
        rig.Open({"a", "b"});
        rig.Page().RefreshOpenUrls();
        rig.m_pPage.reset();
        EXPECT_TRUE(WaitForBrowserThread(rig.m_Thread));
        EXPECT_EQ(rig.m_Browsers.LiveReferences(), 0);
    });
}

// Both go to the end of the list and in order on the page. What picking refuses by the
// case-blind prefix, typing accepts; typed text is taken as it stands.
TEST(UrlListPage, TypingAcceptsWhatPickingRefusesByCaseOrPrefix) {
    ForEachPage([](CPageRig& rig) {
        rig.Fill(rig.Own(), {"http://a/longer", "HTTP://B/"});
        rig.Open({"http://a/", "http://b/", "http://C/pop"});
        rig.Pick("http://C/pop");
        rig.Pick("http://a/");
        rig.Pick("http://b/");
        rig.Type("http://a/");
        rig.Type("http://b/");
        rig.Type(" http://ünï/ä ");
        rig.ExpectBoxes(2, Kind::Message, rig.m_Kind.szOpenListed);
        EXPECT_EQ(rig.Own().Entries(), (Strings{"http://a/longer", "HTTP://B/", "http://C/pop",
                                                "http://a/", "http://b/", " http://ünï/ä "}));
        EXPECT_EQ(Rows(rig.Urls()), (Strings{" http://ünï/ä ", "http://a/", "http://a/longer",
                                             "HTTP://B/", "http://b/", "http://C/pop"}));
        EXPECT_EQ(rig.Edit().text(), QStringLiteral("http://"));
    });
}

// A refused address leaves both lists, the rows and the typed text as they were. The other
// list is looked at first and matches whole strings; picking then matches this page's rows
// by their case-blind prefix, typing this list's whole entries. An open address needs a
// chosen row, also right after "Refresh".
TEST(UrlListPage, RefusesWithThePagesOwnWords) {
    const std::string a = "http://a/";
    const std::string capitalA = "HTTP://A/";
    const std::string zeroFirst("\0http://x/", 10);  // stored, it would end the list
    const struct {
        bool bTyped;
        std::string url;
        Strings own;
        Strings other;
        const char* SPageKind::*pRefusal;
    } cases[] = {
        {false, a, {a}, {a}, &SPageKind::szOpenInOther},
        {false, a, {capitalA}, {}, &SPageKind::szOpenListed},
        {false, a, {a + "b"}, {}, &SPageKind::szOpenListed},
        {false, a, {capitalA}, {capitalA}, &SPageKind::szOpenListed},
        {false, "", {}, {}, &SPageKind::szNoOpen},  // a window that shows no address yet
        {false, "", {a}, {}, &SPageKind::szNoOpen},
        {true, "", {}, {}, &SPageKind::szNoTyped},
        {true, "http://", {"http://"}, {"http://"}, &SPageKind::szNoTyped},
        {true, zeroFirst, {}, {}, &SPageKind::szNoTyped},
        {true, a, {a}, {a}, &SPageKind::szTypedInOther},
        {true, a, {a}, {}, &SPageKind::szTypedListed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.bTyped ? "typed " : "picked ") + c.url);
        ForEachPage([&c](CPageRig& rig) {
            rig.Fill(rig.Own(), c.own);
            rig.Fill(rig.Other(), c.other);
            if (c.bTyped) {
                rig.Type(c.url);
                EXPECT_EQ(rig.Edit().text().toStdString(), c.url);
            } else {
                rig.Open({c.url});
                rig.Pick(c.url);
            }
            rig.ExpectBoxes(1, Kind::Message, rig.m_Kind.*c.pRefusal);
            EXPECT_EQ(rig.Own().Entries(), c.own);
            EXPECT_EQ(rig.Other().Entries(), c.other);
            EXPECT_EQ(Rows(rig.Urls()), c.own);
        });
    }
    ForEachPage([](CPageRig& rig) {
        rig.Open({"a"});
        rig.Click("addOpenUrl");  // nothing listed yet
        rig.Click("refresh");
        CPageRig::Select(rig.OpenUrls(), "a");
        rig.Refresh();
        rig.Click("addOpenUrl");
        rig.ExpectBoxes(2, Kind::Message, rig.m_Kind.szNoOpen);
        EXPECT_THAT(rig.Own().Entries(), IsEmpty());
    });
}

// Rows are sorted, the list is not: each row takes its own entry away. "Clear" empties the
// rows and the list on Yes only.
TEST(UrlListPage, RemoveTakesTheChosenEntryAndClearAllOnYes) {
    ForEachPage([](CPageRig& rig) {
        rig.Fill(rig.Own(), {"c", "A", "b", "A"});
        rig.Other().Add("b");
        CPageRig::Select(rig.Urls(), "b");
        rig.Click("remove");
        EXPECT_EQ(rig.Own().Entries(), (Strings{"c", "A", "A"}));
        CPageRig::Select(rig.Urls(), "A");
        rig.Click("remove");
        EXPECT_EQ(rig.Own().Entries(), (Strings{"c", "A"}));
        EXPECT_EQ(Rows(rig.Urls()), (Strings{"A", "c"}));
        rig.Click("remove");  // the neighbour of the removed row is not chosen in its place
        rig.m_MessageBox.Answer(false);
        rig.Click("clear");
        EXPECT_EQ(rig.Own().Entries(), (Strings{"c", "A"}));
        EXPECT_EQ(rig.Urls().GetCount(), 2);
        rig.m_MessageBox.Answer(true);
        rig.Click("clear");
        const auto say = [](const char* szText) { return QString::fromUtf8(szText); };
        EXPECT_THAT(
            rig.m_MessageBox.Texts(),
            ElementsAre(say(rig.m_Kind.szNoRow), say(rig.m_Kind.szClear), say(rig.m_Kind.szClear)));
        EXPECT_THAT(rig.Own().Entries(), IsEmpty());
        EXPECT_EQ(rig.Urls().GetCount(), 0);
        EXPECT_THAT(rig.Other().Entries(), ElementsAre("b"));
    });
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
        {[](Fake& f) { f.At(1).kind = Fake::Kind::NullItem; }, {"a", "c"}},
        {[](Fake& f) { f.At(1).kind = Fake::Kind::NotBrowser; }, {"a", "c"}},
        {[](Fake& f) { f.At(1).hrUrl = E_FAIL; }, {"", "a", "c"}},  // shown as the empty one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.rows));
        ForEachPage([&c](CPageRig& rig) {
            rig.Open({"a", "b", "c"});
            rig.Page().RefreshOpenUrls();
            ASSERT_TRUE(WaitForBrowserThread(rig.m_Thread));
            c.spoil(rig.m_Browsers);
            rig.Page().ConnectShellWindows();
            rig.Click("refresh");
            EXPECT_EQ(Rows(rig.OpenUrls()), c.rows);
            EXPECT_EQ(rig.m_Browsers.LiveReferences(), 0);
            EXPECT_THAT(rig.m_MessageBox.Boxes(), IsEmpty());
        });
    }
}

}  // namespace
