#include <string>
#include <vector>

#include <QFontMetrics>
#include <QTest>
#include <QWindow>
#include <gmock/gmock.h>

#include "support/RecordingBeeper.h"
#include "support/RecordingShell.h"
#include "support/ScriptedMessageBox.h"
#include "widgets/MailLink.h"
#include "widgets/UrlLink.h"

namespace {

using testing::ElementsAre;

class LinkTest : public testing::Test {
protected:
    LinkTest() {
        m_Dialog.resize(400, 200);
        m_Dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_Dialog));
    }

    // A web link as a dialog's template places it, taken over by the link.
    CUrlLink& UrlLink(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop) {
        auto* link = new CUrlLink(m_Shell, m_Beeper, m_MessageBox, &m_Dialog);
        link->setText(text);
        link->setGeometry(kRect);
        link->setAlignment(alignment);
        link->PreSubclassWindow();
        link->show();
        return *link;
    }

    CMailLink& MailLink() {
        auto* link = new CMailLink(m_Shell, &m_Dialog);
        link->setText(QStringLiteral("support@quellio.example"));
        link->setGeometry(20, 100, 200, 20);
        link->show();
        return *link;
    }

    // The mouse moved to `point` of `widget`, as the window system reports it (so that a
    // widget holding the mouse gets it).
    void MoveMouse(QWidget& widget, const QPoint& point) {
        QTest::mouseMove(m_Dialog.windowHandle(), widget.mapTo(&m_Dialog, point));
        QCoreApplication::processEvents();
    }

    // A double click on `widget` as the window system reports it (press, release, and a
    // second press and release that make it a double click); then the mouse leaves it.
    void DoubleClick(QWidget& widget) {
        QTest::mouseDClick(m_Dialog.windowHandle(), Qt::LeftButton, {},
                           widget.mapTo(&m_Dialog, widget.rect().center()));
        MoveMouse(widget, QPoint(widget.width() + 5, 2));
    }

    static constexpr QRect kRect{20, 20, 300, 40};
    QWidget m_Dialog;
    CRecordingShell m_Shell;
    CRecordingBeeper m_Beeper;
    CScriptedMessageBox m_MessageBox;
};

// The link shrinks to its text, keeping the edges its alignment keeps, and shows its address
// as a tooltip, markup as the characters it is made of.
TEST_F(LinkTest, WebLinkTakesItsAddressFromItsTextAndShrinksToIt) {
    const QString strAddress = QStringLiteral("https://quellio.example/<b>news</b>");
    const std::pair<Qt::Alignment, QRect (*)(QSize)> cases[] = {
        {Qt::AlignLeft | Qt::AlignTop, [](QSize t) { return QRect(kRect.topLeft(), t); }},
        {Qt::AlignRight | Qt::AlignTop,
         [](QSize t) { return QRect(QPoint(kRect.right() + 1 - t.width(), kRect.top()), t); }},
        {Qt::AlignCenter, [](QSize t) {
             const int dx = (kRect.width() - t.width()) / 2;
             const int dy = (kRect.height() - t.height()) / 2;
             return kRect.adjusted(dx, dy, -dx, -dy);
         }}};
    for (const auto& [alignment, expected] : cases) {
        CUrlLink& link = UrlLink(strAddress, alignment);
        EXPECT_EQ(link.Url(), strAddress.toStdString());
        EXPECT_TRUE(link.font().underline());
        EXPECT_EQ(link.geometry(),
                  expected(QFontMetrics(link.font()).size(Qt::TextSingleLine, strAddress)))
            << alignment;
        EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
        EXPECT_TRUE(link.toolTip().contains(QStringLiteral("&lt;b&gt;news&lt;/b&gt;")));
        EXPECT_EQ(link.TextColour(), CUrlLink::kLinkColour);
    }
    EXPECT_EQ(UrlLink(QStringLiteral("https://quellio.example/")).toolTip(),
              QStringLiteral("https://quellio.example/"));
}

// A click opens the address through the desktop, else gives it as it is to the web page
// program; when neither opens it, the web link beeps, says why and is no longer visited.
// A double click opens it once.
TEST_F(LinkTest, WebLinkClickOpensOrBeepsAndSaysWhy) {
    CUrlLink& link = UrlLink(QStringLiteral("https://quellio.example/a b"));
    DoubleClick(link);
    ASSERT_EQ(m_Shell.m_Opened.size(), 1U);
    EXPECT_EQ(m_Shell.m_Opened[0].toEncoded().toStdString(), "https://quellio.example/a%20b");
    EXPECT_TRUE(m_Shell.m_HandlerAddresses.empty());
    EXPECT_TRUE(link.IsVisited());

    m_Shell.m_bAccepts = false;
    for (const std::optional<int> nAnswer : {std::optional<int>(33), {2}, {}, {1}}) {
        m_Shell.m_nHandlerAnswer = nAnswer;
        link.OnClicked();
        EXPECT_EQ(m_Shell.m_HandlerAddresses.back(), "https://quellio.example/a b");
        EXPECT_EQ(link.IsVisited(), nAnswer == 33);
        EXPECT_EQ(link.TextColour(),
                  nAnswer == 33 ? CUrlLink::kVisitedColour : CUrlLink::kLinkColour);
    }
    EXPECT_THAT(
        m_MessageBox.Texts(),
        ElementsAre(
            QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."),
            QStringLiteral("Unable to open hyperlink:\n\nThere is no application "
                           "associated\nwith the given filename extension."),
            QStringLiteral("Unable to open hyperlink:\n\nUnknown Error (1) occurred.")));
    EXPECT_EQ(m_MessageBox.Boxes()[0].kind, CScriptedMessageBox::Kind::Warning);
    EXPECT_EQ(m_Beeper.m_nBeeps, 3);

    // The mail link writes to its text, once for a double click too, and says nothing when no
    // mail program takes it.
    const size_t nOpened = m_Shell.m_Opened.size();
    DoubleClick(MailLink());
    ASSERT_EQ(m_Shell.m_Opened.size(), nOpened + 1);
    EXPECT_EQ(m_Shell.m_Opened.back().toEncoded().toStdString(), "mailto:support@quellio.example");
    EXPECT_EQ(m_MessageBox.Boxes().size(), 3U);
    EXPECT_EQ(m_Beeper.m_nBeeps, 3);
}

// Each link looks hovered exactly while the mouse is over it (for the web link, whether
// visited or not) and holds the mouse meanwhile, so that it sees it leave; the mail link takes
// the mouse back when another took it. Hidden under the mouse, a link lets the mouse go.
TEST_F(LinkTest, LinksLookHoveredExactlyWhileTheMouseIsOverThem) {
    CUrlLink& web = UrlLink(QStringLiteral("https://quellio.example/"));
    web.OnClicked();
    CMailLink& mail = MailLink();
    const QColor crHover = QGuiApplication::palette().color(QPalette::Highlight);
    const std::pair<QLabel*, std::function<bool()>> links[] = {
        {&web, [&] { return web.IsOver() && web.TextColour() == crHover; }},
        {&mail, [&] { return mail.IsOver() && mail.font().underline(); }}};
    for (const auto& [pLink, looksHovered] : links) {
        EXPECT_FALSE(looksHovered());
        MoveMouse(*pLink, QPoint(2, 2));
        if (pLink == &mail) {
            pLink->releaseMouse();
        }
        MoveMouse(*pLink, QPoint(3, 3));
        EXPECT_TRUE(looksHovered());
        EXPECT_EQ(QWidget::mouseGrabber(), pLink);
        MoveMouse(*pLink, QPoint(pLink->width() + 5, 2));
        EXPECT_FALSE(looksHovered());
        EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
        MoveMouse(*pLink, QPoint(2, 2));
        pLink->hide();
        EXPECT_FALSE(looksHovered());
        EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    }
    EXPECT_EQ(web.TextColour(), CUrlLink::kVisitedColour);
}

}  // namespace
