#include "widgets/BmpMenu.h"

#include "support/ChildProcess.h"
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
#include <set>
#include <tuple>

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

// The open bitmap menu at `nLevel` (1: the top-level menu), or null.
CBmpMenu* OpenMenu(int nLevel) {
    std::vector<CBmpMenu*> chain;
    for (auto* pMenu = qobject_cast<CBmpMenu*>(QApplication::activePopupWidget()); pMenu != nullptr;
         pMenu = pMenu->ParentMenu()) {
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

QPixmap SidePicture() {
    QPixmap side(16, 252);
    side.fill(kSideColour);
    return side;
}

class BmpMenuTest : public testing::Test {
protected:
    BmpMenuTest() { m_Menu.Attach(m_pItems); }

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
            m_Menu.CloseMenuChain();
        });
        guard.start(20s);
        const bool bShown = m_Menu.TrackPopup({100, 100}, &m_Owner);
        EXPECT_TRUE(script.Finished()) << "steps done: " << script.StepsDone();
        return bShown;
    }

    CRecordingOwner m_Owner;
    QMenu* m_pItems = new QMenu;
    CBmpMenu m_Menu{16, true, SidePicture(), true};
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

TEST_F(BmpMenuTest, KeyboardChoiceReachesTheOwnerOnceAfterTheMenuHasClosed) {
    Add(m_pItems, "One", 101);
    m_pItems->addSeparator();
    Add(m_pItems, "Two", 102, false);
    Add(m_pItems, "Three", 103);

    EXPECT_TRUE(Track({At(1, [this] {
        // The band and a three-pixel frame around the rows.
        const CBmpMenuToolBar& bar = *m_Menu.ToolBar();
        EXPECT_EQ(bar.geometry(), QRect(QPoint(3 + 16, 3), bar.RowsSize()));
        EXPECT_EQ(m_Menu.size(), bar.RowsSize() + QSize(16 + 6, 6));
        EXPECT_EQ(m_Menu.pos(), QPoint(100, 100));
        // All at once, before the bar has painted: Return takes the row highlighted last.
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}) {
            QTest::keyClick(&m_Menu, key);
        }
    })}));
    EXPECT_FALSE(m_Menu.isVisible());
    // The arrows match no mnemonic, so the owner hears of them; the disabled item is skipped.
    EXPECT_THAT(m_Owner.m_Notes,
                ElementsAre(Note{Menu::WM_INITMENU, 0, 0}, Note{Menu::WM_ENTERMENULOOP, 0, 0},
                            Note{Menu::WM_MENUCHAR, Qt::Key_Down, Menu::MF_POPUP},
                            Note{Menu::WM_MENUSELECT, 101, 0},
                            Note{Menu::WM_MENUCHAR, Qt::Key_Down, Menu::MF_POPUP},
                            Note{Menu::WM_MENUSELECT, 103, 0}, Note{Menu::WM_EXITMENULOOP, 0, 0}));
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(103));
}

TEST_F(BmpMenuTest, ClicksOnSeparatorsAndDisabledItemsDoNothingAndADoubleClickChoosesOnce) {
    Add(m_pItems, "One", 101);
    m_pItems->addSeparator();
    Add(m_pItems, "Two", 102, false);

    EXPECT_TRUE(Track({Move(1, 1, 0), Click(1, 1, 1), Click(1, 1, 2), Move(1, 1, 2), At(1, [] {
                           ProcessEventsFor(50ms);
                           EXPECT_EQ(OpenLevels(), 1);
                           // The highlight stays on the last item that could be chosen.
                           EXPECT_EQ(Bar(1)->GetHotItem(), 0);
                           QTest::mouseDClick(Bar(1), Qt::LeftButton, {}, RowCentre(1, 0));
                           QTest::mouseClick(Bar(1), Qt::LeftButton, {}, RowCentre(1, 0));
                       })}));
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(101));
}

TEST_F(BmpMenuTest, MnemonicsCycleAmongEqualKeysAndChooseAUniqueOne) {
    Add(m_pItems, "&Alpha", 1);
    Add(m_pItems, "&Beta", 2);
    Add(m_pItems, "&Another", 3);
    Add(m_pItems, "Gamma", 4);

    std::vector<int> hot;
    const auto type = [&hot](char ch) {
        return At(1, [&hot, ch] {
            QTest::keyClick(OpenMenu(1), ch);
            hot.push_back(Bar(1)->GetHotItem());
        });
    };
    EXPECT_TRUE(Track({type('a'), type('A'), type('a'), type('g'), Key(1, 'b')}));
    EXPECT_THAT(hot, ElementsAre(0, 2, 0, 0));
    EXPECT_THAT(m_Owner.Notes(Menu::WM_MENUCHAR),
                ElementsAre(Note{Menu::WM_MENUCHAR, 'G', Menu::MF_POPUP}));
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(2));
}

TEST_F(BmpMenuTest, WithoutAnOwnerNothingIsShown) {
    Add(m_pItems, "One", 1);
    EXPECT_FALSE(m_Menu.TrackPopup({100, 100}, nullptr));
    EXPECT_FALSE(m_Menu.isVisible());
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
         [] { QTest::mouseClick(Bar(2), Qt::LeftButton, {}, RowCentre(2, 0)); }},
    }));
    EXPECT_EQ(m_Owner.Notes(Menu::WM_INITMENUPOPUP).size(), 2U);
    EXPECT_THAT(m_Owner.Notes(Menu::WM_COMMAND), IsEmpty())
        << "the command waits until TrackPopup returned";
    EXPECT_THAT(m_Owner.Commands(), ElementsAre(211));
}

using CloseCase = std::pair<const char*, void (*)()>;

class BmpMenuCloseTest : public BmpSubMenuTest, public testing::WithParamInterface<CloseCase> {};

TEST_P(BmpMenuCloseTest, ClosesTheWholeChainWithoutACommand) {
    EXPECT_TRUE(Track({Key(1, Qt::Key_Down), Key(1, Qt::Key_Right), At(2, GetParam().second)}));
    EXPECT_EQ(OpenLevels(), 0);
    EXPECT_EQ(m_Owner.Notes(Menu::WM_EXITMENULOOP).size(), 2U);
    EXPECT_THAT(m_Owner.Commands(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, BmpMenuCloseTest,
    testing::Values(
        CloseCase{"Escape", [] { QTest::keyClick(OpenMenu(2), Qt::Key_Escape); }},
        CloseCase{"Alt", [] { QTest::keyClick(OpenMenu(2), Qt::Key_Alt); }},
        CloseCase{"F10", [] { QTest::keyClick(OpenMenu(2), Qt::Key_F10); }},
        CloseCase{"ClickElsewhere",
                  [] {
                      QTest::mouseClick(OpenMenu(2), Qt::LeftButton, {},
                                        OpenMenu(2)->rect().bottomRight() + QPoint(40, 40));
                  }},
        CloseCase{"OwnerClosesOnAnUnknownKey",
                  [] {
                      static_cast<CRecordingOwner*>(OpenMenu(2)->OwnerWindow())->m_nMenuCharAnswer =
                          Menu::MNC_CLOSE << 16;
                      QTest::keyClick(OpenMenu(2), 'z');
                  }},
        // As the platform reports another application's window activated.
        CloseCase{"ApplicationDeactivated",
                  [] { Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationInactive); }},
        CloseCase{"WindowClosedByTheDesktop", [] { OpenMenu(2)->close(); }}),
    [](const auto& info) { return std::string(info.param.first); });

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
            if (y < 8 || x >= 8) {
                picture.setPixel(x, y, y < 8 ? columns[x / 4] : qRgb(200, 0, 0));
            }
        }
    }
    return QPixmap::fromImage(picture);
}

// The bar as drawn with `nHot` highlighted.
QImage Rendered(int nHot) {
    Bar(1)->SetHotItem(nHot);
    return Bar(1)->grab().toImage().convertToFormat(QImage::Format_RGB32);
}
// The picture square of row `nRow`.
QRect Square(int nRow) {
    const QRect rc = Bar(1)->GetItemRect(nRow);
    return {rc.left() + 1, rc.top(), rc.height(), rc.height()};
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

// The arrow of the submenu row (the fourth) of `image`, drawn at `nScale` times the bar's
// size: a filled triangle pointing right in `colour`, in the middle of the row, at its end.
void ExpectArrow(const QImage& image, int nScale, const QColor& colour) {
    const QRect rcRow(Bar(1)->GetItemRect(3).topLeft() * nScale,
                      Bar(1)->GetItemRect(3).size() * nScale);
    // The arrow's pixels within the last check-mark width of the row.
    QRect box;
    for (int y = rcRow.top(); y <= rcRow.bottom(); ++y) {
        for (int x = rcRow.right() - Bar(1)->CheckMarkSize().width() * nScale; x <= rcRow.right();
             ++x) {
            box |= image.pixelColor(x, y) == colour ? QRect(x, y, 1, 1) : QRect();
        }
    }
    // Column i from the left spans rows i to 2h - i.
    const int h = box.width() - 1;
    ASSERT_GE(h, 2 * nScale);
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

// Rows with a picture, disabled with a picture, checked, and a submenu, in a palette whose
// roles all differ.
class BmpMenuDrawingTest : public BmpMenuTest {
protected:
    BmpMenuDrawingTest() {
        QApplication::setPalette(DistinctPalette());
        Add(m_pItems, "Picture", 1);
        Add(m_pItems, "Disabled", 2, false);
        QAction* pChecked = Add(m_pItems, "Checked", 3);
        pChecked->setCheckable(true);
        pChecked->setChecked(true);
        m_pItems->addMenu(QStringLiteral("Submenu"));
        m_Menu.SetMenuItemBitmaps(0, TablePicture(), TablePicture());
        m_Menu.SetMenuItemBitmaps(1, TablePicture(), TablePicture());
    }
    ~BmpMenuDrawingTest() override { QApplication::setPalette(m_OldPalette); }

    QPalette m_OldPalette = QApplication::palette();
    const CBmpMenuToolBar::SMenuColours m_Colours =
        CBmpMenuToolBar::SMenuColours::FromPalette(DistinctPalette());
};

// Pictures take the menu colours, disabled ones are a grey silhouette with embossed text;
// checked items are sunken with a checkerboard; submenu rows end in a filled arrow.
TEST_F(BmpMenuDrawingTest, PicturesChecksAndArrowsTakeTheMenuColours) {
    EXPECT_TRUE(Track({At(1, [this] {
        // Where the 16-pixel pictures of the first two rows start.
        const auto pictureAt = [](int nRow) {
            const QRect s = Square(nRow);
            return s.topLeft() + QPoint((s.width() - 16) / 2, (s.height() - 16) / 2);
        };
        const QPoint p = pictureAt(0);
        const QPoint d = pictureAt(1);
        const struct {
            QPoint pt;
            QColor normal;
            QColor highlighted;
            QColor disabled;
        } cases[] = {
            {{1, 1}, m_Colours.btnText, m_Colours.btnText, m_Colours.grayText},
            {{5, 1}, m_Colours.btnShadow, m_Colours.btnShadow, m_Colours.menu},
            {{9, 1}, m_Colours.menu, m_Colours.highlight, m_Colours.menu},
            {{13, 1}, m_Colours.btnHighlight, m_Colours.btnHighlight, m_Colours.menu},
            {{2, 10}, m_Colours.menu, m_Colours.highlight, m_Colours.menu},  // transparent
            {{10, 10}, QColor(200, 0, 0), QColor(200, 0, 0), m_Colours.grayText},
            {{-1, 0}, m_Colours.menu, m_Colours.highlight, m_Colours.menu},  // in the middle
        };
        const QImage normal = Rendered(-1);
        const QImage highlighted = Rendered(0);
        for (const auto& c : cases) {
            EXPECT_EQ(normal.pixelColor(p + c.pt), c.normal) << c.pt.x() << "," << c.pt.y();
            EXPECT_EQ(highlighted.pixelColor(p + c.pt), c.highlighted)
                << c.pt.x() << "," << c.pt.y();
            EXPECT_EQ(normal.pixelColor(d + c.pt), c.disabled) << c.pt.x() << "," << c.pt.y();
        }
        // Disabled text: grey over a light copy, nothing in the normal text colour; an item
        // that can be chosen has its text plain.
        const std::set<QRgb> disabled = TextColours(normal, 1);
        EXPECT_TRUE(disabled.count(m_Colours.grayText.rgb()));
        EXPECT_TRUE(disabled.count(m_Colours.btnHighlight.rgb()));
        EXPECT_FALSE(disabled.count(m_Colours.menuText.rgb()));
        const std::set<QRgb> enabled = TextColours(normal, 0);
        EXPECT_TRUE(enabled.count(m_Colours.menuText.rgb()));
        EXPECT_FALSE(enabled.count(m_Colours.btnHighlight.rgb()));
        // The side band shows its picture inside the frame, a raised edge in a border.
        const QImage menu = m_Menu.grab().toImage();
        EXPECT_EQ(menu.pixelColor(1, 9), DistinctPalette().color(QPalette::Light));
        EXPECT_EQ(menu.pixelColor(menu.width() - 3, 9), DistinctPalette().color(QPalette::Dark));
        EXPECT_EQ(menu.pixelColor(3, 3), kSideColour);
        EXPECT_EQ(menu.pixelColor(3 + 15, menu.height() - 4), kSideColour);

        const QRect s = Square(2);
        const int nMid = s.height() / 2;
        const QPoint in = s.topLeft() + QPoint(1, 1);
        const bool bEven = (in.x() + in.y()) % 2 == 0;
        for (const bool bHot : {false, true}) {
            const QImage image = Rendered(bHot ? 2 : -1);
            // A sunken edge.
            EXPECT_EQ(image.pixelColor(s.left(), s.top() + nMid), m_Colours.btnShadow);
            EXPECT_EQ(image.pixelColor(s.left() + nMid, s.top()), m_Colours.btnShadow);
            EXPECT_EQ(image.pixelColor(s.right(), s.top() + nMid), m_Colours.btnHighlight);
            EXPECT_EQ(image.pixelColor(s.left() + nMid, s.bottom()), m_Colours.btnHighlight);
            // The check mark, in the menu text colour, in the middle of the square.
            const QPoint mark = s.center() - QPoint(6, 6);
            EXPECT_EQ(image.pixelColor(mark + QPoint(3, 6)), m_Colours.menuText);
            EXPECT_EQ(image.pixelColor(mark + QPoint(9, 4)), m_Colours.menuText);
            // Inside the edge: a one-pixel checkerboard, or solid in a highlighted row.
            EXPECT_EQ(image.pixelColor(in),
                      bHot || !bEven ? m_Colours.menu : m_Colours.btnHighlight);
            EXPECT_EQ(image.pixelColor(in + QPoint(1, 0)),
                      bHot || bEven ? m_Colours.menu : m_Colours.btnHighlight);
        }
        for (const bool bHot : {false, true}) {
            ExpectArrow(Rendered(bHot ? 3 : -1), 1,
                        bHot ? m_Colours.highlightText : m_Colours.menuText);
        }
        OpenMenu(1)->CloseMenuChain();
    })}));
}

// At twice the pixels of the screen (QT_SCALE_FACTOR=2, Xft.dpi: 192) the rows are drawn in
// the screen's pixels: the text has detail finer than two pixels, the arrow is sharp.
TEST_F(BmpMenuDrawingTest, RowsAreDrawnInTheScreensPixelsAtTwiceTheScale) {
    if (qgetenv("QT_SCALE_FACTOR") != "2") {
        // The scale is taken when the application starts: the test again, in a process of its
        // own.
        const testing::TestInfo& test = *testing::UnitTest::GetInstance()->current_test_info();
        const std::string strFilter =
            std::string("--gtest_filter=") + test.test_suite_name() + "." + test.name();
        EXPECT_EQ(CChildProcess::Run({"/proc/self/exe", strFilter}, {{"QT_SCALE_FACTOR", "2"}}), 0)
            << "run with QT_SCALE_FACTOR=2 and " << strFilter << " to see why";
        return;
    }
    ASSERT_EQ(qApp->devicePixelRatio(), 2);
    EXPECT_TRUE(Track({At(1, [this] {
        const QImage image = Rendered(-1);
        ASSERT_EQ(image.size(), Bar(1)->size() * 2);
        // The text of the first row: some of its 2 x 2 blocks are not of one colour.
        const QRect rcRow = Bar(1)->GetItemRect(0);
        int nMixed = 0;
        for (int y = 2 * rcRow.top(); y <= 2 * rcRow.bottom(); y += 2) {
            for (int x = 2 * (rcRow.left() + rcRow.height() + 3); x <= 2 * rcRow.right(); x += 2) {
                const QRgb pixel = image.pixel(x, y);
                nMixed += image.pixel(x + 1, y) != pixel || image.pixel(x, y + 1) != pixel ||
                          image.pixel(x + 1, y + 1) != pixel;
            }
        }
        EXPECT_GT(nMixed, 0);
        ExpectArrow(image, 2, m_Colours.menuText);
        OpenMenu(1)->CloseMenuChain();
    })}));
}

}  // namespace
