#include "widgets/BmpMenu.h"

#include "support/QtWait.h"
#include "support/ScriptedSteps.h"
#include "widgets/BmpMenuEvent.h"
#include "widgets/BmpMenuToolBar.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>

#include <functional>
#include <optional>
#include <ostream>
#include <set>

namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::IsEmpty;
using Step = CScriptedSteps::SStep;
using Menu = CBmpMenuEvent;

// One notification as the owner received it.
struct SNote {
    unsigned nMessage;
    unsigned nItem = 0;
    unsigned nFlags = 0;
    bool operator==(const SNote&) const = default;
};
void PrintTo(const SNote& note, std::ostream* os) {
    *os << std::hex << "{0x" << note.nMessage << ", 0x" << note.nItem << ", 0x" << note.nFlags
        << "}";
}

// A window that owns menus and records what they tell it; it answers WM_MENUCHAR with
// m_nMenuCharAnswer.
class CRecordingOwner : public QWidget {
public:
    std::vector<SNote> Notes(unsigned nMessage) const {
        std::vector<SNote> notes;
        std::copy_if(m_Notes.begin(), m_Notes.end(), std::back_inserter(notes),
                     [nMessage](const SNote& note) { return note.nMessage == nMessage; });
        return notes;
    }
    std::vector<unsigned> Commands() const {
        std::vector<unsigned> ids;
        for (const SNote& note : Notes(Menu::WM_COMMAND)) {
            ids.push_back(note.nItem);
        }
        return ids;
    }

    std::vector<SNote> m_Notes;
    unsigned m_nMenuCharAnswer = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() != CBmpMenuEvent::EventType()) {
            return QWidget::event(event);
        }
        auto* note = static_cast<CBmpMenuEvent*>(event);
        m_Notes.push_back({note->Message(), note->Item(), note->Flags()});
        if (note->Message() == Menu::WM_MENUCHAR) {
            note->SetResult(m_nMenuCharAnswer);
        }
        return true;
    }
};

// The open bitmap menu at `nLevel` (1: the top-level menu), or null.
CBmpMenu* OpenMenu(int nLevel) {
    auto* pMenu = qobject_cast<CBmpMenu*>(QApplication::activePopupWidget());
    std::vector<CBmpMenu*> chain;
    for (; pMenu != nullptr; pMenu = pMenu->ParentMenu()) {
        chain.insert(chain.begin(), pMenu);
    }
    return nLevel <= static_cast<int>(chain.size()) ? chain[static_cast<size_t>(nLevel - 1)]
                                                    : nullptr;
}
int OpenLevels() {
    int nLevels = 0;
    while (OpenMenu(nLevels + 1) != nullptr) {
        ++nLevels;
    }
    return nLevels;
}
CBmpMenuToolBar* Bar(int nLevel) {
    return OpenMenu(nLevel)->ToolBar();
}
QPoint RowCentre(int nLevel, int nRow) {
    return Bar(nLevel)->GetItemRect(nRow).center();
}

// Steps that wait for `nLevels` open menus, then act on the deepest.
Step Key(int nLevels, int nKey, Qt::KeyboardModifiers modifiers = {}) {
    return {[nLevels] { return OpenLevels() == nLevels; },
            [nLevels, nKey, modifiers] {
                QTest::keyClick(OpenMenu(nLevels), static_cast<Qt::Key>(nKey), modifiers);
            }};
}
Step Text(int nLevels, char ch) {
    return {[nLevels] { return OpenLevels() == nLevels; },
            [nLevels, ch] { QTest::keyClick(OpenMenu(nLevels), ch); }};
}
Step Click(int nLevels, int nLevel, int nRow) {
    return {[nLevels] { return OpenLevels() == nLevels; },
            [nLevel, nRow] {
                QTest::mouseClick(Bar(nLevel), Qt::LeftButton, {}, RowCentre(nLevel, nRow));
            }};
}
// A move to the row; the bars ignore a move to where the mouse already was, so it comes
// from a pixel above.
Step Move(int nLevels, int nLevel, int nRow) {
    return {[nLevels] { return OpenLevels() == nLevels; },
            [nLevel, nRow] {
                const QPoint pt = RowCentre(nLevel, nRow);
                QTest::mouseMove(Bar(nLevel), pt - QPoint(0, 1));
                QTest::mouseMove(Bar(nLevel), pt);
            }};
}
Step Check(std::function<bool()> ready, std::function<void()> check) {
    return {std::move(ready), std::move(check)};
}

QAction* AddItem(QMenu& menu, const QString& strText, int nId, bool bEnabled = true) {
    QAction* pAction = menu.addAction(strText);
    pAction->setData(nId);
    pAction->setEnabled(bEnabled);
    return pAction;
}

const QColor kSideColour(0x12, 0x34, 0x56);

QPixmap SidePicture() {
    QPixmap side(16, 252);
    side.fill(kSideColour);
    return side;
}

class BmpMenuTest : public testing::Test {
protected:
    BmpMenuTest() {
        m_Menu.Attach(m_pItems);
        m_Owner.resize(50, 50);
    }

    // Shows the menu at `pt` while `steps` run; answers what TrackPopup answered. A menu
    // that a broken test leaves open is closed, so that the test fails instead of hanging.
    bool Track(std::vector<Step> steps, QPoint pt = {100, 100}) {
        CScriptedSteps script(std::move(steps));
        QTimer guard;
        guard.setSingleShot(true);
        guard.callOnTimeout([this] {
            ADD_FAILURE() << "the menu stayed open";
            m_Menu.CloseMenuChain();
        });
        guard.start(20s);
        const bool bShown = m_Menu.TrackPopup(pt, &m_Owner);
        EXPECT_TRUE(script.Finished()) << "steps done: " << script.StepsDone();
        return bShown;
    }

    CRecordingOwner m_Owner;
    QMenu* m_pItems = new QMenu;
    CBmpMenu m_Menu{16, true, SidePicture(), true};
};

// --- Placement --------------------------------------------------------------------------

struct SPlaceCase {
    const char* szName;
    QPoint pt;
    std::optional<QRect> exclude;
    QSize size;
    QRect desktop;
    QPoint expected;
};

const QRect kDesktop(0, 0, 800, 600);
const QSize kMenu(100, 200);

class PlaceMenuTest : public testing::TestWithParam<SPlaceCase> {};

TEST_P(PlaceMenuTest, PutsTheMenuWhereItFits) {
    const SPlaceCase& c = GetParam();
    EXPECT_EQ(CBmpMenu::PlaceMenu(c.pt, c.size, c.desktop, c.exclude ? &*c.exclude : nullptr),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlaceMenuTest,
    testing::Values(
        SPlaceCase{"RoomEverywhere", {10, 10}, {}, kMenu, kDesktop, {10, 10}},
        SPlaceCase{"NearTheRightEdge", {750, 10}, {}, kMenu, kDesktop, {650, 10}},
        SPlaceCase{"NearTheLowerEdge", {10, 500}, {}, kMenu, kDesktop, {10, 300}},
        SPlaceCase{"LowerRightCorner", {750, 500}, {}, kMenu, kDesktop, {650, 300}},
        // Touching the edge is no room: the comparisons are strict.
        SPlaceCase{"EndingOnTheRightEdge", {700, 10}, {}, kMenu, kDesktop, {600, 10}},
        SPlaceCase{"LargerThanTheDesktop", {400, 300}, {}, {900, 700}, kDesktop, {400, 300}},
        SPlaceCase{"TallerThanTheDesktop", {400, 300}, {}, {100, 700}, kDesktop, {400, 300}},
        SPlaceCase{"SecondScreen", {1550, 550}, {}, kMenu, {800, 0, 800, 600}, {1450, 350}},
        SPlaceCase{
            "SubmenuRightGoingDown", {}, QRect(300, 100, 150, 20), kMenu, kDesktop, {450, 100}},
        SPlaceCase{"SubmenuNearTheLowerEdgeGoesUp",
                   {},
                   QRect(300, 500, 150, 20),
                   kMenu,
                   kDesktop,
                   {450, 320}},
        SPlaceCase{"SubmenuAtTheRightEdgeFlipsLeft",
                   {},
                   QRect(650, 100, 150, 20),
                   kMenu,
                   kDesktop,
                   {550, 100}},
        SPlaceCase{"SubmenuInTheLowerRightCorner",
                   {},
                   QRect(650, 500, 150, 20),
                   kMenu,
                   kDesktop,
                   {550, 320}},
        // Fits nowhere beside the row: still beside it, inside the work area.
        SPlaceCase{"SubmenuTallerThanTheWorkArea",
                   {},
                   QRect(300, 100, 150, 20),
                   {100, 700},
                   kDesktop,
                   {450, 0}},
        SPlaceCase{"SubmenuTooWideForEitherSide",
                   {},
                   QRect(250, 450, 150, 20),
                   {500, 200},
                   kDesktop,
                   {400, 400}}),
    [](const testing::TestParamInfo<SPlaceCase>& info) { return info.param.szName; });

// --- Choosing -----------------------------------------------------------------------------

TEST_F(BmpMenuTest, KeyboardChoiceReachesTheOwnerOnceAfterTheMenuHasClosed) {
    AddItem(*m_pItems, QStringLiteral("One"), 101);
    m_pItems->addSeparator();
    AddItem(*m_pItems, QStringLiteral("Two"), 102, false);
    AddItem(*m_pItems, QStringLiteral("Three"), 103);

    EXPECT_TRUE(Track({
        Check([] { return OpenLevels() == 1; },
              [this] {
                  // The band and a three-pixel frame around the rows.
                  const CBmpMenuToolBar& bar = *m_Menu.ToolBar();
                  EXPECT_EQ(bar.geometry(), QRect(QPoint(3 + 16, 3), bar.RowsSize()));
                  EXPECT_EQ(m_Menu.size(), bar.RowsSize() + QSize(16 + 6, 6));
                  EXPECT_EQ(m_Menu.pos(), QPoint(100, 100));
              }),
        // All at once, before the bar has painted: Return takes the row highlighted last.
        {{},
         [] {
             QTest::keyClick(OpenMenu(1), Qt::Key_Down);
             QTest::keyClick(OpenMenu(1), Qt::Key_Down);
             QTest::keyClick(OpenMenu(1), Qt::Key_Return);
         }},
    }));
    EXPECT_FALSE(m_Menu.isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    // The arrows match no mnemonic, so the owner hears of them; the disabled item is skipped.
    EXPECT_THAT(m_Owner.m_Notes,
                ElementsAre(SNote{Menu::WM_INITMENU}, SNote{Menu::WM_ENTERMENULOOP},
                            SNote{Menu::WM_MENUCHAR, Qt::Key_Down, Menu::MF_POPUP},
                            SNote{Menu::WM_MENUSELECT, 101, 0},
                            SNote{Menu::WM_MENUCHAR, Qt::Key_Down, Menu::MF_POPUP},
                            SNote{Menu::WM_MENUSELECT, 103, 0}, SNote{Menu::WM_EXITMENULOOP}));
    ProcessEventsFor(100ms);
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(103));
}

TEST_F(BmpMenuTest, ClicksOnSeparatorsAndDisabledItemsDoNothingAndADoubleClickChoosesOnce) {
    AddItem(*m_pItems, QStringLiteral("One"), 101);
    m_pItems->addSeparator();
    AddItem(*m_pItems, QStringLiteral("Two"), 102, false);

    EXPECT_TRUE(Track({
        Move(1, 1, 0),
        Click(1, 1, 1),
        Click(1, 1, 2),
        Move(1, 1, 2),
        Check({},
              [] {
                  ProcessEventsFor(50ms);
                  EXPECT_EQ(OpenLevels(), 1);
                  // The highlight stays on the last item that could be chosen.
                  EXPECT_EQ(Bar(1)->GetHotItem(), 0);
                  QTest::mouseDClick(Bar(1), Qt::LeftButton, {}, RowCentre(1, 0));
                  QTest::mouseClick(Bar(1), Qt::LeftButton, {}, RowCentre(1, 0));
              }),
    }));
    ProcessEventsFor(100ms);
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(101));
}

// --- Submenus and closing -----------------------------------------------------------------

class BmpSubMenuTest : public BmpMenuTest {
protected:
    BmpSubMenuTest() {
        m_pFile->setTitle(QStringLiteral("&File"));
        AddItem(*m_pFile, QStringLiteral("&New"), 201);
        m_pFile->addMenu(m_pRecent)->setText(QStringLiteral("&Recent"));
        AddItem(*m_pRecent, QStringLiteral("Old"), 301);
        m_pEdit->setTitle(QStringLiteral("&Edit"));
        AddItem(*m_pEdit, QStringLiteral("Cut"), 211);
        m_pItems->addMenu(m_pFile);
        m_pItems->addMenu(m_pEdit);
        AddItem(*m_pItems, QStringLiteral("Quit"), 102);
    }

    QMenu* m_pFile = new QMenu(m_pItems);
    QMenu* m_pRecent = new QMenu(m_pFile);
    QMenu* m_pEdit = new QMenu(m_pItems);
};

TEST_F(BmpSubMenuTest, KeysOpenAndCloseSubmenusAndEscapeClosesEveryLevel) {
    EXPECT_TRUE(Track({
        Key(1, Qt::Key_Down),
        Key(1, Qt::Key_Right),
        Check([] { return OpenLevels() == 2; },
              [] {
                  // Beside the row, first item highlighted.
                  const QRect rcRow = Bar(1)->GetItemRect(0);
                  EXPECT_EQ(OpenMenu(2)->pos(),
                            Bar(1)->mapToGlobal(QPoint(rcRow.left() + rcRow.width(), rcRow.top())));
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
    EXPECT_THAT(m_Owner.Notes(Menu::WM_MENUSELECT).front(),
                (SNote{Menu::WM_MENUSELECT, 0, Menu::MF_POPUP}));
    ProcessEventsFor(50ms);
    EXPECT_THAT(m_Owner.Commands(), IsEmpty());
}

TEST_F(BmpSubMenuTest, MouseOpensSubmenusByClickOrRestAndChoosesInThem) {
    EXPECT_TRUE(Track({
        Click(1, 1, 0),
        Check([] { return OpenLevels() == 2; },
              [] {
                  // A second click on the open submenu's row does not open it again.
                  QTest::mouseClick(Bar(1), Qt::LeftButton, {}, RowCentre(1, 0) + QPoint(0, 1));
                  ProcessEventsFor(50ms);
              }),
        // Resting on another submenu's row opens that one instead.
        Move(2, 1, 1),
        Check([this] { return OpenLevels() == 2 && OpenMenu(2)->GetMenu() == m_pEdit; },
              [] { QTest::mouseClick(Bar(2), Qt::LeftButton, {}, RowCentre(2, 0)); }),
    }));
    EXPECT_EQ(m_Owner.Notes(Menu::WM_INITMENUPOPUP).size(), 2U);
    EXPECT_THAT(m_Owner.Commands(), IsEmpty()) << "the command waits until TrackPopup returned";
    ProcessEventsFor(100ms);
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(211));
}

struct SCloseCase {
    const char* szName;
    std::function<void(CRecordingOwner&)> close;
};

class BmpMenuCloseTest : public BmpSubMenuTest, public testing::WithParamInterface<SCloseCase> {};

TEST_P(BmpMenuCloseTest, ClosesTheWholeChainWithoutACommand) {
    EXPECT_TRUE(Track({
        Key(1, Qt::Key_Down),
        Key(1, Qt::Key_Right),
        Check([] { return OpenLevels() == 2; }, [this] { GetParam().close(m_Owner); }),
    }));
    EXPECT_EQ(OpenLevels(), 0);
    EXPECT_EQ(m_Owner.Notes(Menu::WM_EXITMENULOOP).size(), 2U);
    ProcessEventsFor(50ms);
    EXPECT_THAT(m_Owner.Commands(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, BmpMenuCloseTest,
    testing::Values(
        SCloseCase{"Escape",
                   [](CRecordingOwner&) { QTest::keyClick(OpenMenu(2), Qt::Key_Escape); }},
        SCloseCase{"Alt", [](CRecordingOwner&) { QTest::keyClick(OpenMenu(2), Qt::Key_Alt); }},
        SCloseCase{"F10", [](CRecordingOwner&) { QTest::keyClick(OpenMenu(2), Qt::Key_F10); }},
        SCloseCase{"ClickElsewhere",
                   [](CRecordingOwner&) {
                       QTest::mouseClick(OpenMenu(2), Qt::LeftButton, {},
                                         OpenMenu(2)->rect().bottomRight() + QPoint(40, 40));
                   }},
        SCloseCase{"OwnerClosesOnAnUnknownKey",
                   [](CRecordingOwner& owner) {
                       owner.m_nMenuCharAnswer = Menu::MNC_CLOSE << 16;
                       QTest::keyClick(OpenMenu(2), 'z');
                   }},
        SCloseCase{"ApplicationDeactivated",
                   [](CRecordingOwner&) {
                       // As the platform reports another application's window activated.
                       Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
                   }},
        SCloseCase{"WindowClosedByTheDesktop", [](CRecordingOwner&) { OpenMenu(2)->close(); }}),
    [](const testing::TestParamInfo<SCloseCase>& info) { return info.param.szName; });

TEST_F(BmpMenuTest, MnemonicsCycleAmongEqualKeysAndChooseAUniqueOne) {
    AddItem(*m_pItems, QStringLiteral("&Alpha"), 1);
    AddItem(*m_pItems, QStringLiteral("&Beta"), 2);
    AddItem(*m_pItems, QStringLiteral("&Another"), 3);
    AddItem(*m_pItems, QStringLiteral("Gamma"), 4);

    std::vector<int> hot;
    const auto note = [&hot] { hot.push_back(Bar(1)->GetHotItem()); };
    EXPECT_TRUE(Track({
        Text(1, 'a'),
        Check({}, note),
        Text(1, 'A'),
        Check({}, note),
        Text(1, 'a'),
        Check({}, note),
        Text(1, 'g'),
        Check({}, note),
        Text(1, 'b'),
    }));
    EXPECT_THAT(hot, ElementsAre(0, 2, 0, 0));
    EXPECT_THAT(m_Owner.Notes(Menu::WM_MENUCHAR),
                ElementsAre(SNote{Menu::WM_MENUCHAR, 'G', Menu::MF_POPUP}));
    ProcessEventsFor(50ms);
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(2));
}

TEST_F(BmpMenuTest, WithoutAnOwnerNothingIsShown) {
    AddItem(*m_pItems, QStringLiteral("One"), 1);
    EXPECT_FALSE(m_Menu.TrackPopup({100, 100}, nullptr));
    EXPECT_FALSE(m_Menu.isVisible());
}

// --- Drawing ----------------------------------------------------------------------------

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

// 16 x 16: the upper half in columns of black, dark grey, light grey and white; the lower
// half transparent on the left, dark red on the right.
QPixmap TablePicture() {
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    const QRgb columns[] = {qRgb(0, 0, 0), qRgb(128, 128, 128), qRgb(192, 192, 192),
                            qRgb(255, 255, 255)};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            if (y < 8) {
                picture.setPixel(x, y, columns[x / 4]);
            } else if (x >= 8) {
                picture.setPixel(x, y, qRgb(200, 0, 0));
            }
        }
    }
    return QPixmap::fromImage(picture);
}

class BmpMenuDrawingTest : public BmpMenuTest {
protected:
    BmpMenuDrawingTest() : m_OldPalette(QApplication::palette()) {
        QApplication::setPalette(DistinctPalette());
        m_Colours = CBmpMenuToolBar::SMenuColours::FromPalette(DistinctPalette());
        AddItem(*m_pItems, QStringLiteral("Picture"), 1);
        AddItem(*m_pItems, QStringLiteral("Disabled"), 2, false);
        QAction* pChecked = AddItem(*m_pItems, QStringLiteral("Checked"), 3);
        pChecked->setCheckable(true);
        pChecked->setChecked(true);
        m_pItems->addMenu(QStringLiteral("Submenu"));
        m_Menu.SetMenuItemBitmaps(0, TablePicture(), TablePicture());
        m_Menu.SetMenuItemBitmaps(1, TablePicture(), TablePicture());
    }
    ~BmpMenuDrawingTest() override { QApplication::setPalette(m_OldPalette); }

    // The bar as drawn with `nHot` highlighted.
    static QImage Rendered(int nHot) {
        Bar(1)->SetHotItem(nHot);
        return Bar(1)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    static QRect Square(int nRow) {
        const QRect rc = Bar(1)->GetItemRect(nRow);
        return {rc.left() + 1, rc.top(), rc.height(), rc.height()};
    }
    // Where the 16-pixel picture of row `nRow` starts.
    static QPoint PictureAt(int nRow) {
        const QRect rc = Square(nRow);
        return rc.topLeft() + QPoint((rc.width() - 16) / 2, (rc.height() - 16) / 2);
    }
    // Runs `check` on the open menu.
    void Draw(const std::function<void()>& check) {
        EXPECT_TRUE(Track({Check([] { return OpenLevels() == 1; },
                                 [&check] {
                                     check();
                                     OpenMenu(1)->CloseMenuChain();
                                 })}));
    }

    QPalette m_OldPalette;
    CBmpMenuToolBar::SMenuColours m_Colours;
};

QColor At(const QImage& image, QPoint pt) {
    return image.pixelColor(pt);
}

// The colours right of the picture square of row `nRow`, where its text is.
std::set<QRgb> TextColours(const QImage& image, int nRow) {
    const QRect rcRow = Bar(1)->GetItemRect(nRow);
    std::set<QRgb> colours;
    for (int y = rcRow.top(); y <= rcRow.bottom(); ++y) {
        for (int x = rcRow.left() + rcRow.height() + 3; x <= rcRow.right(); ++x) {
            colours.insert(image.pixel(x, y));
        }
    }
    return colours;
}

TEST_F(BmpMenuDrawingTest, PicturesTakeTheMenuColours) {
    Draw([this] {
        const QPoint p = PictureAt(0);
        struct SCase {
            QPoint pt;
            QColor normal;
            QColor highlighted;
        };
        const SCase cases[] = {
            {{1, 1}, m_Colours.btnText, m_Colours.btnText},
            {{5, 1}, m_Colours.btnShadow, m_Colours.btnShadow},
            {{9, 1}, m_Colours.menu, m_Colours.highlight},
            {{13, 1}, m_Colours.btnHighlight, m_Colours.btnHighlight},
            {{2, 10}, m_Colours.menu, m_Colours.highlight},  // transparent
            {{10, 10}, QColor(200, 0, 0), QColor(200, 0, 0)},
        };
        const QImage normal = Rendered(-1);
        const QImage highlighted = Rendered(0);
        for (const SCase& c : cases) {
            EXPECT_EQ(At(normal, p + c.pt), c.normal) << c.pt.x() << "," << c.pt.y();
            EXPECT_EQ(At(highlighted, p + c.pt), c.highlighted) << c.pt.x() << "," << c.pt.y();
        }
        // The picture sits in the middle of its square.
        EXPECT_EQ(At(normal, p - QPoint(1, 0)), m_Colours.menu);
        EXPECT_GT(Square(0).width(), 16);
    });
}

TEST_F(BmpMenuDrawingTest, DisabledItemsAreAGreySilhouetteWithEmbossedText) {
    Draw([this] {
        const QImage image = Rendered(-1);
        const QPoint p = PictureAt(1);
        EXPECT_EQ(At(image, p + QPoint(1, 1)), m_Colours.grayText);    // black
        EXPECT_EQ(At(image, p + QPoint(10, 10)), m_Colours.grayText);  // dark red
        EXPECT_EQ(At(image, p + QPoint(5, 1)), m_Colours.menu);        // dark grey
        EXPECT_EQ(At(image, p + QPoint(13, 1)), m_Colours.menu);       // white
        EXPECT_EQ(At(image, p + QPoint(2, 10)), m_Colours.menu);       // transparent
        // The text: grey over a light copy, nothing in the normal text colour; an item that
        // can be chosen has its text plain.
        const std::set<QRgb> disabled = TextColours(image, 1);
        EXPECT_TRUE(disabled.count(m_Colours.grayText.rgb()));
        EXPECT_TRUE(disabled.count(m_Colours.btnHighlight.rgb()));
        EXPECT_FALSE(disabled.count(m_Colours.menuText.rgb()));
        const std::set<QRgb> enabled = TextColours(image, 0);
        EXPECT_TRUE(enabled.count(m_Colours.menuText.rgb()));
        EXPECT_FALSE(enabled.count(m_Colours.btnHighlight.rgb()));
    });
}

TEST_F(BmpMenuDrawingTest, CheckedItemsHaveASunkenEdgeAndTheCheckerboard) {
    Draw([this] {
        const QRect s = Square(2);
        const int nMid = s.height() / 2;
        for (const bool bHot : {false, true}) {
            const QImage image = Rendered(bHot ? 2 : -1);
            EXPECT_EQ(At(image, {s.left(), s.top() + nMid}), m_Colours.btnShadow);
            EXPECT_EQ(At(image, {s.left() + nMid, s.top()}), m_Colours.btnShadow);
            EXPECT_EQ(At(image, {s.right(), s.top() + nMid}), m_Colours.btnHighlight);
            EXPECT_EQ(At(image, {s.left() + nMid, s.bottom()}), m_Colours.btnHighlight);
            // The check mark, in the menu text colour, in the middle of the square.
            const QPoint mark = s.topLeft() + QPoint((s.width() - 13) / 2, (s.height() - 13) / 2);
            EXPECT_EQ(At(image, mark + QPoint(3, 6)), m_Colours.menuText);
            EXPECT_EQ(At(image, mark + QPoint(9, 4)), m_Colours.menuText);
            // Inside the edge: a one-pixel checkerboard, or solid in a highlighted row.
            const QPoint in = s.topLeft() + QPoint(1, 1);
            const bool bEven = (in.x() + in.y()) % 2 == 0;
            EXPECT_EQ(At(image, in), bHot || !bEven ? m_Colours.menu : m_Colours.btnHighlight);
            EXPECT_EQ(At(image, in + QPoint(1, 0)),
                      bHot || bEven ? m_Colours.menu : m_Colours.btnHighlight);
        }
    });
}

TEST_F(BmpMenuDrawingTest, SubmenuRowsEndInAFilledRightArrow) {
    Draw([this] {
        for (const bool bHot : {false, true}) {
            const QImage image = Rendered(bHot ? 3 : -1);
            const QColor colour = bHot ? m_Colours.highlightText : m_Colours.menuText;
            const QRect rcRow = Bar(1)->GetItemRect(3);
            // The arrow's pixels within the last check-mark width of the row.
            const int c = Bar(1)->CheckMarkSize().width();
            QRect box;
            for (int y = rcRow.top(); y <= rcRow.bottom(); ++y) {
                for (int x = rcRow.right() - c; x <= rcRow.right(); ++x) {
                    if (image.pixelColor(x, y) == colour) {
                        box |= QRect(x, y, 1, 1);
                    }
                }
            }
            ASSERT_FALSE(box.isEmpty());
            // A filled triangle pointing right: column i from the left spans rows i to
            // 2h - i, so its height is twice its width less one.
            const int h = box.width() - 1;
            EXPECT_GE(h, 2);
            EXPECT_EQ(box.height(), 2 * h + 1);
            for (int i = 0; i <= h; ++i) {
                for (int y = 0; y <= 2 * h; ++y) {
                    EXPECT_EQ(image.pixelColor(box.left() + i, box.top() + y) == colour,
                              y >= i && y <= 2 * h - i)
                        << "column " << i << " row " << y;
                }
            }
            EXPECT_LE(std::abs(box.center().y() - rcRow.center().y()), 1);
            EXPECT_LT(box.right(), rcRow.right());
        }
    });
}

TEST_F(BmpMenuDrawingTest, TheSideBandShowsThePicture) {
    Draw([this] {
        const QImage image = m_Menu.grab().toImage();
        const int nFrame = CBmpMenu::kFrameWidth;
        EXPECT_EQ(image.pixelColor(nFrame, nFrame), kSideColour);
        EXPECT_EQ(image.pixelColor(nFrame + 15, image.height() - nFrame - 1), kSideColour);
    });
}

}  // namespace
