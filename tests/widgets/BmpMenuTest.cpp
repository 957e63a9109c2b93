#include "widgets/BmpMenu.h"

#include <functional>
#include <tuple>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>

#include "support/QtWait.h"
#include "support/ScriptedSteps.h"
#include "widgets/BmpMenuEvent.h"
#include "widgets/BmpMenuToolBar.h"

namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::IsEmpty;
using Step = CScriptedSteps::SStep;
using Menu = CBmpMenuEvent;
// A notification as the owner received it: message, item, flags.
using Note = std::tuple<unsigned, unsigned, unsigned>;

// A window that owns menus and records what they tell it; it answers WM_MENUCHAR with
// m_nMenuCharAnswer.
class CRecordingOwner : public QWidget {
public:
    std::vector<Note> Notes(unsigned nMessage) const {
        std::vector<Note> notes;
        std::copy_if(m_Notes.begin(), m_Notes.end(), std::back_inserter(notes),
                     [nMessage](const Note& note) { return std::get<0>(note) == nMessage; });
        return notes;
    }
    // The commands posted to the owner, once the events of the closed menu have run.
    std::vector<unsigned> Commands() const {
        ProcessEventsFor(100ms);
        std::vector<unsigned> ids;
        for (const Note& note : Notes(Menu::WM_COMMAND)) {
            ids.push_back(std::get<1>(note));
        }
        return ids;
    }

    std::vector<Note> m_Notes;
    unsigned m_nMenuCharAnswer = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() != CBmpMenuEvent::EventType()) {
            return QWidget::event(event);
        }
        auto* note = static_cast<CBmpMenuEvent*>(event);
        m_Notes.emplace_back(note->Message(), note->Item(), note->Flags());
        if (note->Message() == Menu::WM_MENUCHAR) {
            note->SetResult(m_nMenuCharAnswer);
        }
        return true;
    }
};

// The open bitmap menus, the top-level one first.
std::vector<CBmpMenu*> OpenChain() {
    std::vector<CBmpMenu*> chain;
    for (auto* pMenu = qobject_cast<CBmpMenu*>(QApplication::activePopupWidget()); pMenu != nullptr;
         pMenu = pMenu->ParentMenu()) {
        chain.insert(chain.begin(), pMenu);
    }
    return chain;
}
int OpenLevels() {
    return static_cast<int>(OpenChain().size());
}
// The open menu at `nLevel` (1: the top-level menu), or null.
CBmpMenu* OpenMenu(int nLevel) {
    return nLevel <= OpenLevels() ? OpenChain()[static_cast<size_t>(nLevel - 1)] : nullptr;
}
CBmpMenuToolBar* Bar(int nLevel) {
    return OpenMenu(nLevel)->ToolBar();
}
QPoint RowCentre(int nLevel, int nRow) {
    return Bar(nLevel)->GetItemRect(nRow).center();
}

// Steps that wait for `nLevels` open menus, then act (on the deepest).
Step At(int nLevels, std::function<void()> act) {
    return {[nLevels] { return OpenLevels() == nLevels; }, std::move(act)};
}
template <typename TKey>
Step Key(int nLevels, TKey key) {
    return At(nLevels, [nLevels, key] { QTest::keyClick(OpenMenu(nLevels), key); });
}
Step Click(int nLevels, int nLevel, int nRow) {
    return At(nLevels, [nLevel, nRow] {
        QTest::mouseClick(Bar(nLevel), Qt::LeftButton, {}, RowCentre(nLevel, nRow));
    });
}
// The bars ignore a move to where the mouse already was, so it comes from a pixel above.
Step Move(int nLevels, int nLevel, int nRow) {
    return At(nLevels, [nLevel, nRow] {
        QTest::mouseMove(Bar(nLevel), RowCentre(nLevel, nRow) - QPoint(0, 1));
        QTest::mouseMove(Bar(nLevel), RowCentre(nLevel, nRow));
    });
}

const QColor kSideColour(0x12, 0x34, 0x56);

class BmpMenuTest : public testing::Test {
protected:
    BmpMenuTest() { m_pMenu->Attach(m_pItems); }

    static QAction* Add(QMenu* pMenu, const char* szText, int nId, bool bEnabled = true) {
        QAction* pAction = pMenu->addAction(QString::fromLatin1(szText));
        pAction->setData(nId);
        pAction->setEnabled(bEnabled);
        return pAction;
    }

    // Shows the menu at (100, 100) while `steps` run; answers what TrackPopup answered. A
    // menu that a broken test leaves open is closed, so that the test fails, not hangs.
    bool Track(std::vector<Step> steps) {
        CScriptedSteps script(std::move(steps));
        QTimer guard;
        guard.setSingleShot(true);
        guard.callOnTimeout([this] {
            ADD_FAILURE() << "the menu stayed open";
            m_pMenu->CloseMenuChain();
        });
        guard.start(20s);
        const bool bShown = m_pMenu->TrackPopup({100, 100}, &m_Owner);
        EXPECT_TRUE(script.Finished()) << "steps done: " << script.StepsDone();
        // A menu is tracked once; the next run gets a new one over the same items.
        m_pMenu->Detach();
        m_pMenu = NewMenu();
        m_pMenu->Attach(m_pItems);
        return bShown;
    }
    static std::unique_ptr<CBmpMenu> NewMenu() {
        QPixmap side(16, 252);
        side.fill(kSideColour);
        return std::make_unique<CBmpMenu>(16, true, side, true);
    }

    CRecordingOwner m_Owner;
    QMenu* m_pItems = new QMenu;
    std::unique_ptr<CBmpMenu> m_pMenu = NewMenu();
};

TEST(BmpMenuPlaceTest, PutsTheMenuWhereItFits) {
    const QRect desktop(0, 0, 800, 600);
    const QSize menu(100, 200);
    const struct {
        QPoint pt;
        QRect exclude;  // empty: a top-level menu
        QSize size;
        QPoint expected;
    } cases[] = {
        {{10, 10}, {}, menu, {10, 10}},
        {{750, 10}, {}, menu, {650, 10}},
        {{10, 500}, {}, menu, {10, 300}},
        {{750, 500}, {}, menu, {650, 300}},
        {{700, 10}, {}, menu, {600, 10}},  // touching the edge is no room
        {{400, 300}, {}, {900, 700}, {400, 300}},
        {{400, 300}, {}, {100, 700}, {400, 300}},
        // A submenu: right of its row going down or up, else left of it.
        {{}, {300, 100, 150, 20}, menu, {450, 100}},
        {{}, {300, 500, 150, 20}, menu, {450, 320}},
        {{}, {650, 100, 150, 20}, menu, {550, 100}},
        {{}, {650, 500, 150, 20}, menu, {550, 320}},
        // Fits nowhere beside the row: still beside it, inside the work area.
        {{}, {300, 100, 150, 20}, {100, 700}, {450, 0}},
        {{}, {250, 450, 150, 20}, {500, 200}, {400, 400}},
        {{}, {100, 500, 650, 20}, menu, {0, 400}},  // touching the edge is no room
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            CBmpMenu::PlaceMenu(c.pt, c.size, desktop, c.exclude.isEmpty() ? nullptr : &c.exclude),
            c.expected)
            << "case " << &c - cases;
    }
    // The work area of a second screen.
    EXPECT_EQ(CBmpMenu::PlaceMenu({1550, 550}, menu, {800, 0, 800, 600}, nullptr),
              QPoint(1450, 350));
}

// Arrows, mnemonics and clicks choose; the owner hears of the choice once, after the menu
// has closed. Separators and disabled items can be neither reached nor chosen.
TEST_F(BmpMenuTest, KeysMnemonicsAndClicksChooseOnceAfterTheMenuHasClosed) {
    Add(m_pItems, "&Alpha", 1);
    m_pItems->addSeparator();
    Add(m_pItems, "Two", 2, false);
    Add(m_pItems, "&Beta", 3);
    Add(m_pItems, "&Another", 4);
    Add(m_pItems, "Gamma", 5);
    EXPECT_FALSE(m_pMenu->TrackPopup({100, 100}, nullptr)) << "shown without an owner";

    EXPECT_TRUE(Track({At(1, [] {
        // The band and a three-pixel frame around the rows.
        const CBmpMenuToolBar& bar = *Bar(1);
        EXPECT_EQ(bar.geometry(), QRect(QPoint(3 + 16, 3), bar.RowsSize()));
        EXPECT_EQ(OpenMenu(1)->size(), bar.RowsSize() + QSize(16 + 6, 6));
        EXPECT_EQ(OpenMenu(1)->pos(), QPoint(100, 100));
        // All at once, before the bar has painted: Return takes the row highlighted last.
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}) {
            QTest::keyClick(OpenMenu(1), key);
        }
    })}));
    EXPECT_EQ(OpenLevels(), 0);
    // The arrows match no mnemonic, so the owner hears of them.
    EXPECT_THAT(m_Owner.m_Notes,
                ElementsAre(Note{Menu::WM_INITMENU, 0, 0}, Note{Menu::WM_ENTERMENULOOP, 0, 0},
                            Note{Menu::WM_MENUCHAR, Qt::Key_Down, Menu::MF_POPUP},
                            Note{Menu::WM_MENUSELECT, 1, 0},
                            Note{Menu::WM_MENUCHAR, Qt::Key_Down, Menu::MF_POPUP},
                            Note{Menu::WM_MENUSELECT, 3, 0}, Note{Menu::WM_EXITMENULOOP, 0, 0}));
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(3));

    m_Owner.m_Notes.clear();
    EXPECT_TRUE(Track({Move(1, 1, 0), Click(1, 1, 1), Click(1, 1, 2), Move(1, 1, 2), At(1, [] {
                           ProcessEventsFor(50ms);
                           EXPECT_EQ(OpenLevels(), 1);
                           // The highlight stays on the last item that could be chosen.
                           EXPECT_EQ(Bar(1)->GetHotItem(), 0);
                           QTest::mouseDClick(Bar(1), Qt::LeftButton, {}, RowCentre(1, 0));
                           QTest::mouseClick(Bar(1), Qt::LeftButton, {}, RowCentre(1, 0));
                       })}));
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(1));

    // Equal mnemonics cycle, a unique one chooses.
    m_Owner.m_Notes.clear();
    std::vector<int> hot;
    const auto type = [&hot](char ch) {
        return At(1, [&hot, ch] {
            QTest::keyClick(OpenMenu(1), ch);
            hot.push_back(Bar(1)->GetHotItem());
        });
    };
    EXPECT_TRUE(Track({type('a'), type('A'), type('a'), type('g'), Key(1, 'b')}));
    EXPECT_THAT(hot, ElementsAre(0, 4, 0, 0));
    EXPECT_THAT(m_Owner.Notes(Menu::WM_MENUCHAR),
                ElementsAre(Note{Menu::WM_MENUCHAR, 'G', Menu::MF_POPUP}));
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(3));
}

// File (New, Recent (Old)), Edit (Cut), Quit.
class BmpSubMenuTest : public BmpMenuTest {
protected:
    BmpSubMenuTest() {
        Add(m_pFile, "&New", 201);
        m_pFile->addMenu(m_pRecent)->setText(QStringLiteral("&Recent"));
        Add(m_pRecent, "Old", 301);
        Add(m_pEdit, "Cut", 211);
        m_pItems->addMenu(m_pFile)->setText(QStringLiteral("&File"));
        m_pItems->addMenu(m_pEdit)->setText(QStringLiteral("&Edit"));
        Add(m_pItems, "Quit", 102);
    }

    QMenu* m_pFile = new QMenu(m_pItems);
    QMenu* m_pRecent = new QMenu(m_pFile);
    QMenu* m_pEdit = new QMenu(m_pItems);
};

TEST_F(BmpSubMenuTest, KeysOpenAndCloseSubmenusAndEscapeClosesEveryLevel) {
    EXPECT_TRUE(Track({
        Key(1, Qt::Key_Down),
        Key(1, Qt::Key_Right),
        At(2,
           [] {
               // Beside the row, first item highlighted.
               const QRect rcRow = Bar(1)->GetItemRect(0);
               EXPECT_EQ(OpenMenu(2)->pos(), Bar(1)->mapToGlobal(rcRow.topRight() + QPoint(1, 0)));
               EXPECT_EQ(Bar(2)->GetHotItem(), 0);
               QTest::keyClick(OpenMenu(2), Qt::Key_Left);
           }),
        // Return opens the same submenu again.
        Key(1, Qt::Key_Return),
        Key(2, Qt::Key_Down),
        Key(2, Qt::Key_Right),
        Key(3, Qt::Key_Escape),
    }));
    EXPECT_EQ(OpenLevels(), 0);
    EXPECT_EQ(m_pFile->parent(), m_pItems) << "a submenu is the attached menu's, not the window's";
    EXPECT_EQ(m_Owner.Notes(Menu::WM_INITMENUPOPUP).size(), 3U);
    EXPECT_EQ(m_Owner.Notes(Menu::WM_EXITMENULOOP).size(), 4U);
    EXPECT_EQ(m_Owner.Notes(Menu::WM_MENUSELECT).front(),
              (Note{Menu::WM_MENUSELECT, 0, Menu::MF_POPUP}));
    EXPECT_THAT(m_Owner.Commands(), IsEmpty());
}

TEST_F(BmpSubMenuTest, MouseOpensSubmenusByClickOrRestAndChoosesInThem) {
    EXPECT_TRUE(Track({
        Click(1, 1, 0),
        At(2,
           [] {
               // A second click on the open submenu's row does not open it again.
               QTest::mouseClick(Bar(1), Qt::LeftButton, {}, RowCentre(1, 0) + QPoint(0, 1));
               ProcessEventsFor(50ms);
           }),
        // Resting on another submenu's row opens that one instead.
        Move(2, 1, 1),
        {[this] { return OpenLevels() == 2 && OpenMenu(2)->GetMenu() == m_pEdit; },
         [] {
             // The mouse leaving keeps the row of the open submenu highlighted.
             QEvent leave(QEvent::Leave);
             QApplication::sendEvent(Bar(1), &leave);
             EXPECT_EQ(Bar(1)->GetHotItem(), 1);
             QTest::mouseClick(Bar(2), Qt::LeftButton, {}, RowCentre(2, 0));
         }},
    }));
    EXPECT_EQ(m_Owner.Notes(Menu::WM_INITMENUPOPUP).size(), 2U);
    EXPECT_THAT(m_Owner.Notes(Menu::WM_COMMAND), IsEmpty())
        << "the command waits until TrackPopup returned";
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(211));
}

TEST_F(BmpSubMenuTest, EachWayOfClosingClosesTheWholeChainWithoutACommand) {
    const std::pair<const char*, std::function<void()>> closes[] = {
        {"Escape", [] { QTest::keyClick(OpenMenu(2), Qt::Key_Escape); }},
        {"Alt", [] { QTest::keyClick(OpenMenu(2), Qt::Key_Alt); }},
        {"F10", [] { QTest::keyClick(OpenMenu(2), Qt::Key_F10); }},
        {"click elsewhere",
         [] {
             QTest::mouseClick(OpenMenu(2), Qt::LeftButton, {},
                               OpenMenu(2)->rect().bottomRight() + QPoint(40, 40));
         }},
        // As the platform reports another application's window activated.
        {"application deactivated",
         [] { Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationInactive); }},
        {"window closed by the desktop", [] { OpenMenu(2)->close(); }},
        {"owner closes on an unknown key",
         [this] {
             m_Owner.m_nMenuCharAnswer = Menu::MNC_CLOSE << 16;
             QTest::keyClick(OpenMenu(2), 'z');
         }},
    };
    for (const auto& [szName, close] : closes) {
        SCOPED_TRACE(szName);
        m_Owner.m_Notes.clear();
        EXPECT_TRUE(Track({Key(1, Qt::Key_Down), Key(1, Qt::Key_Right), At(2, close)}));
        EXPECT_EQ(OpenLevels(), 0);
        EXPECT_EQ(m_Owner.Notes(Menu::WM_EXITMENULOOP).size(), 2U);
        EXPECT_THAT(m_Owner.Commands(), IsEmpty());
    }
}

// Colours that tell every role apart.
QPalette DistinctPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0xD0, 0xD4, 0xD8));
    palette.setColor(QPalette::WindowText, QColor(0x10, 0x20, 0x30));
    palette.setColor(QPalette::Highlight, QColor(0x20, 0x40, 0xA0));
    palette.setColor(QPalette::HighlightedText, QColor(0xF0, 0xF8, 0x00));
    palette.setColor(QPalette::Dark, QColor(0x70, 0x60, 0x50));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x90, 0x90, 0x88));
    palette.setColor(QPalette::ButtonText, QColor(0x30, 0x00, 0x30));
    palette.setColor(QPalette::Light, QColor(0xFE, 0xFD, 0xF0));
    return palette;
}

// A picture of one row: black, dark grey, light grey, white, clear, dark red, and black at
// half and at a quarter cover.
const QRgb kStrip[] = {qRgb(0, 0, 0),       qRgb(128, 128, 128), qRgb(192, 192, 192),
                       qRgb(255, 255, 255), qRgba(0, 0, 0, 0),   qRgb(200, 0, 0),
                       qRgba(0, 0, 0, 128), qRgba(0, 0, 0, 64)};
const QImage kStripImage(reinterpret_cast<const uchar*>(kStrip), 8, 1, QImage::Format_ARGB32);

// A row's copy of a picture has its four greys in the menu colours and everything else as
// it was; a disabled row's is a silhouette (0) of what looks dark over light grey.
TEST(BmpMenuPictureTest, CopiesTakeTheMenuColours) {
    const auto c = CBmpMenuToolBar::SMenuColours::FromPalette(DistinctPalette());
    const QRgb normal[] = {c.btnText.rgb(), c.btnShadow.rgb(), c.menu.rgb(), c.btnHighlight.rgb(),
                           kStrip[4],       kStrip[5],         kStrip[6],    kStrip[7]};
    const int disabled[] = {0, 1, 1, 1, 1, 0, 0, 1};
    const QImage copy = CBmpMenuToolBar::CopyBitmapForMenu(kStripImage, false, false, c);
    const QImage hot = CBmpMenuToolBar::CopyBitmapForMenu(kStripImage, false, true, c);
    const QImage grey = CBmpMenuToolBar::CopyBitmapForMenu(kStripImage, true, false, c);
    ASSERT_EQ(grey.format(), QImage::Format_Mono);
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(copy.pixel(x, 0), normal[x]) << x;
        EXPECT_EQ(hot.pixel(x, 0), x == 2 ? c.highlight.rgb() : normal[x]) << x;
        EXPECT_EQ(grey.pixelIndex(x, 0), disabled[x]) << x;
    }
}

// Whether `colour` is right of the picture square of row `nRow` of `image`, where its text is.
bool TextHas(const QImage& image, int nRow, const QColor& colour) {
    const QRect rcRow = Bar(1)->GetItemRect(nRow);
    for (int y = rcRow.top(); y <= rcRow.bottom(); ++y) {
        for (int x = rcRow.left() + rcRow.height() + 3; x <= rcRow.right(); ++x) {
            if (image.pixelColor(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

// Rows with a picture, a disabled one with a picture, a checked one and a submenu, drawn in
// a palette whose roles all differ.
TEST_F(BmpMenuTest, RowsShowTheirPicturesChecksAndArrows) {
    const QPalette oldPalette = QApplication::palette();
    QApplication::setPalette(DistinctPalette());
    Add(m_pItems, "Picture", 1);
    Add(m_pItems, "Disabled", 2, false);
    QAction* pChecked = Add(m_pItems, "Checked", 3);
    pChecked->setCheckable(true);
    pChecked->setChecked(true);
    m_pItems->addMenu(QStringLiteral("Submenu"));
    const QPixmap picture = QPixmap::fromImage(kStripImage);
    m_pMenu->SetMenuItemBitmaps(0, picture, picture);
    m_pMenu->SetMenuItemBitmaps(1, picture, picture);

    EXPECT_TRUE(Track({At(1, [] {
        const auto rendered = [](int nHot) {
            Bar(1)->SetHotItem(nHot);
            return Bar(1)->grab().toImage().convertToFormat(QImage::Format_RGB32);
        };
        const QImage image = rendered(-1);
        const QImage hot0 = rendered(0);
        const QImage hot2 = rendered(2);
        // Where the strip starts in the square of a row.
        const auto pictureAt = [](int nRow) {
            const QRect rc = Bar(1)->GetItemRect(nRow);
            return QPoint(rc.left() + 1 + (rc.height() - 8) / 2, rc.top() + (rc.height() - 1) / 2);
        };
        const QPoint p = pictureAt(0);
        const QRect rc2 = Bar(1)->GetItemRect(2);
        const QRect s(rc2.left() + 1, rc2.top(), rc2.height(), rc2.height());
        const QPoint in = s.topLeft() + QPoint(1, 1);
        const bool bEven = (in.x() + in.y()) % 2 == 0;
        const auto c = CBmpMenuToolBar::SMenuColours::FromPalette(DistinctPalette());
        const struct {
            const QImage& image;
            QPoint pt;
            QColor colour;
        } pixels[] = {
            {image, p, c.btnText},  // the picture's copy, in the middle of its square
            {image, p - QPoint(1, 0), c.menu},
            {hot0, p + QPoint(2, 0), c.highlight},  // light grey and clear pixels highlighted
            {hot0, p + QPoint(4, 0), c.highlight},
            {image, pictureAt(1), c.grayText},                 // a disabled one's silhouette
            {image, {s.left(), s.center().y()}, c.btnShadow},  // a checked square is sunken
            {image, {s.center().x(), s.bottom()}, c.btnHighlight},
            {image, in, bEven ? c.btnHighlight : c.menu},  // with a checkerboard inside
            {image, in + QPoint(1, 0), bEven ? c.menu : c.btnHighlight},
            {hot2, in, c.menu},  // solid when highlighted
            {hot2, in + QPoint(1, 0), c.menu},
        };
        for (const auto& pixel : pixels) {
            EXPECT_EQ(pixel.image.pixelColor(pixel.pt), pixel.colour) << &pixel - pixels;
        }
        // Highlighted text; disabled text embossed, grey over a light copy.
        EXPECT_TRUE(TextHas(hot0, 0, c.highlightText));
        EXPECT_FALSE(TextHas(image, 0, c.btnHighlight));
        EXPECT_TRUE(TextHas(image, 1, c.grayText));
        EXPECT_TRUE(TextHas(image, 1, c.btnHighlight));
        // Past the submenu row's text: an arrow in the text colour, its widest line inside.
        const QRect rc3 = Bar(1)->GetItemRect(3);
        std::string line;
        for (int x = rc3.right() - Bar(1)->CheckMarkSize().width(); x <= rc3.right(); ++x) {
            line += image.pixelColor(x, rc3.center().y()) == c.menuText ? '#' : '.';
        }
        EXPECT_THAT(line, testing::MatchesRegex("\\.*###+\\.+"));
        // The side picture inside the frame.
        const QImage menu = OpenMenu(1)->grab().toImage();
        EXPECT_EQ(menu.pixelColor(1, 9), DistinctPalette().color(QPalette::Light));
        EXPECT_EQ(menu.pixelColor(3 + 15, menu.height() - 4), kSideColour);
        OpenMenu(1)->CloseMenuChain();
    })}));
    QApplication::setPalette(oldPalette);
}

}  // namespace
