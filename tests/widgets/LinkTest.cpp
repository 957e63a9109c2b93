#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QTest>
#include <QWindow>

#include <string>
#include <vector>

#include "support/RecordingBeeper.h"
#include "support/RecordingShell.h"
#include "support/ScriptedMessageBox.h"
#include "widgets/MailLink.h"
#include "widgets/UrlLink.h"

namespace {

class LinkTest : public testing::Test {
protected:
    LinkTest() {
        m_Dialog.resize(400, 200);
        m_Dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_Dialog));
    }

    // A web link as a dialog's template places it, taken over by the link.
    CUrlLink& UrlLink(const QString& text, const QRect& rect = {20, 20, 300, 40},
                      Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop) {
        auto* link = new CUrlLink(m_Shell, m_Beeper, m_MessageBox, &m_Dialog);
        link->setText(text);
        link->setGeometry(rect);
        link->setAlignment(alignment);
        link->PreSubclassWindow();
        link->show();
        return *link;
    }

    // The mouse moved to `point` of `widget`, as the window system reports it (so that a
    // widget holding the mouse gets it).
    void MoveMouse(QWidget& widget, const QPoint& point) {
        QTest::mouseMove(m_Dialog.windowHandle(), widget.mapTo(&m_Dialog, point));
        QCoreApplication::processEvents();
    }

    QWidget m_Dialog;
    CRecordingShell m_Shell;
    CRecordingBeeper m_Beeper;
    CScriptedMessageBox m_MessageBox;
};

TEST_F(LinkTest, WebLinkTakesItsAddressFromItsTextAndShrinksToIt) {
    const QString strAddress = QStringLiteral("https://quellio.example/<b>news</b>");
    struct SCase {
        Qt::Alignment alignment;
        QRect (*expected)(const QRect& rect, const QSize& text);
    };
    const QRect rect(20, 20, 300, 40);
    const SCase cases[] = {
        {Qt::AlignLeft | Qt::AlignTop,
         [](const QRect& r, const QSize& t) { return QRect(r.topLeft(), t); }},
        {Qt::AlignRight | Qt::AlignTop,
         [](const QRect& r, const QSize& t) {
             return QRect(r.right() + 1 - t.width(), r.top(), t.width(), t.height());
         }},
        {Qt::AlignHCenter | Qt::AlignVCenter,
         [](const QRect& r, const QSize& t) {
             const int dx = (r.width() - t.width()) / 2;
             const int dy = (r.height() - t.height()) / 2;
             return r.adjusted(dx, dy, -dx, -dy);
         }},
    };
    for (const SCase& c : cases) {
        CUrlLink& link = UrlLink(strAddress, rect, c.alignment);
        EXPECT_EQ(link.Url(), strAddress.toStdString());
        EXPECT_TRUE(link.font().underline());
        const QSize textSize = QFontMetrics(link.font()).size(Qt::TextSingleLine, strAddress);
        EXPECT_EQ(link.geometry(), c.expected(rect, textSize)) << c.alignment;
        EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
        // Markup in an address is shown as the characters it is made of.
        EXPECT_TRUE(link.toolTip().contains(QStringLiteral("&lt;b&gt;news&lt;/b&gt;")));
        EXPECT_EQ(link.TextColour(), CUrlLink::kLinkColour);
    }
    EXPECT_EQ(UrlLink(QStringLiteral("https://quellio.example/")).toolTip(),
              QStringLiteral("https://quellio.example/"));
}

TEST_F(LinkTest, WebLinkClickOpensOrBeepsAndSaysWhy) {
    CUrlLink& link = UrlLink(QStringLiteral("https://quellio.example/a b"));
    QTest::mouseClick(&link, Qt::LeftButton);
    ASSERT_EQ(m_Shell.m_Opened.size(), 1U);
    EXPECT_EQ(m_Shell.m_Opened[0].toEncoded().toStdString(), "https://quellio.example/a%20b");
    EXPECT_TRUE(m_Shell.m_HandlerAddresses.empty());
    EXPECT_TRUE(link.IsVisited());

    // The desktop refuses: the web page program gets the address as it is.
    m_Shell.m_bAccepts = false;
    m_Shell.m_nHandlerAnswer = 42;
    link.OnClicked();
    EXPECT_EQ(m_Shell.m_HandlerAddresses, std::vector<std::string>{"https://quellio.example/a b"});
    EXPECT_TRUE(link.IsVisited());
    EXPECT_EQ(link.TextColour(), CUrlLink::kVisitedColour);
    EXPECT_EQ(m_Beeper.m_nBeeps, 0);

    // Neither can open it, for a reason or for none given.
    const std::pair<std::optional<int>, QString> failures[] = {
        {2, QStringLiteral("The specified file was not found.")},
        {std::nullopt,
         QStringLiteral("There is no application associated\nwith the given filename extension.")},
    };
    for (const auto& [nAnswer, strReason] : failures) {
        m_Shell.m_nHandlerAnswer = nAnswer;
        link.OnClicked();
        EXPECT_FALSE(link.IsVisited());
        EXPECT_EQ(link.TextColour(), CUrlLink::kLinkColour);
        ASSERT_FALSE(m_MessageBox.Boxes().empty());
        EXPECT_EQ(m_MessageBox.Boxes().back().kind, CScriptedMessageBox::Kind::Warning);
        EXPECT_EQ(m_MessageBox.Boxes().back().strText,
                  QStringLiteral("Unable to open hyperlink:\n\n") + strReason);
    }
    EXPECT_EQ(m_Beeper.m_nBeeps, 2);
}

TEST(UrlLinkErrorTest, EveryCodeHasItsText) {
    const std::pair<int, const char*> texts[] = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred. "},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30,
         "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
         "being processed."},
        {31, "There is no application associated\nwith the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
        {1, "Unknown Error (1) occurred."},
        {33, "Unknown Error (33) occurred."},
        {-7, "Unknown Error (-7) occurred."},
    };
    for (const auto& [nCode, szText] : texts) {
        EXPECT_EQ(CUrlLink::OpenErrorText(nCode), QString::fromUtf8(szText)) << nCode;
    }
}

TEST_F(LinkTest, WebLinkLooksHoveredExactlyWhileTheMouseIsOverIt) {
    CUrlLink& link = UrlLink(QStringLiteral("https://quellio.example/"));
    link.OnClicked();
    const QColor crHover = QGuiApplication::palette().color(QPalette::Highlight);

    MoveMouse(link, QPoint(2, 2));
    EXPECT_TRUE(link.IsOver());
    EXPECT_EQ(QWidget::mouseGrabber(), &link);
    EXPECT_EQ(link.TextColour(), crHover) << "hovering wins over visited";
    MoveMouse(link, QPoint(3, 3));
    EXPECT_TRUE(link.IsOver());

    MoveMouse(link, QPoint(link.width() + 5, 2));
    EXPECT_FALSE(link.IsOver());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(link.TextColour(), CUrlLink::kVisitedColour);

    // Hidden under the mouse, it lets the mouse go.
    MoveMouse(link, QPoint(2, 2));
    link.hide();
    EXPECT_FALSE(link.IsOver());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(LinkTest, MailLinkUnderlinesWhileHoveredAndWritesToItsText) {
    auto* link = new CMailLink(m_Shell, &m_Dialog);
    link->setText(QStringLiteral("support@quellio.example"));
    link->setGeometry(20, 100, 200, 20);
    link->show();
    EXPECT_FALSE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), CMailLink::kTextColour);

    MoveMouse(*link, QPoint(5, 5));
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(QWidget::mouseGrabber(), link);
    // The mouse taken away by someone else while over the link: the next move takes it back.
    link->releaseMouse();
    MoveMouse(*link, QPoint(6, 5));
    EXPECT_TRUE(link->IsOver());
    EXPECT_EQ(QWidget::mouseGrabber(), link);

    MoveMouse(*link, QPoint(5, 40));
    EXPECT_FALSE(link->IsOver());
    EXPECT_FALSE(link->font().underline());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);

    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(m_Shell.m_Opened.size(), 1U);
    EXPECT_EQ(m_Shell.m_Opened[0].toEncoded().toStdString(), "mailto:support@quellio.example");
    // Nothing is said when no mail program takes it.
    m_Shell.m_bAccepts = false;
    link->OnClicked();
    EXPECT_TRUE(m_MessageBox.Boxes().empty());
    EXPECT_EQ(m_Beeper.m_nBeeps, 0);
}

}  // namespace
