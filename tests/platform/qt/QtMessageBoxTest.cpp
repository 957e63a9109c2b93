#include "platform/qt/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// What the test saw of the box that was open.
struct CSeenBox {
    QString strTitle;
    QString strText;
    QMessageBox::Icon icon = QMessageBox::Information;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::StandardButtons buttons;
    QWidget* pParent = nullptr;
};

class QtMessageBoxTest : public testing::Test {
protected:
    // Records the box once it is open, then lets `answer` close it.
    void WhenShown(const std::function<void(QMessageBox&)>& answer) {
        m_pTimer = std::make_unique<QTimer>();
        m_pTimer->setSingleShot(true);
        QObject::connect(m_pTimer.get(), &QTimer::timeout, m_pTimer.get(), [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            m_Seen = {box->windowTitle(),     box->text(),        box->icon(), box->textFormat(),
                      box->standardButtons(), box->parentWidget()};
            answer(*box);
        });
        m_pTimer->start(0);
    }

    CQtMessageBox m_Boxes;
    QWidget m_Owner;
    CSeenBox m_Seen;
    std::unique_ptr<QTimer> m_pTimer;
};

TEST_F(QtMessageBoxTest, QuestionHasCaptionNoIconAndPlainText) {
    const QString text = QStringLiteral("Really clear <b>all</b> Logs?");
    WhenShown([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(m_Boxes.AskYesNo(&m_Owner, text));

    EXPECT_EQ(m_Seen.strTitle, QStringLiteral("Quellio"));
    EXPECT_EQ(m_Seen.strText, text);
    EXPECT_EQ(m_Seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(m_Seen.format, Qt::PlainText);
    EXPECT_EQ(m_Seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(m_Seen.pParent, &m_Owner);
}

TEST_F(QtMessageBoxTest, QuestionAnswersNoForNoAndForEscape) {
    WhenShown([](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
    EXPECT_FALSE(m_Boxes.AskYesNo(&m_Owner, QStringLiteral("?")));

    WhenShown([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_FALSE(m_Boxes.AskYesNo(&m_Owner, QStringLiteral("?")));
}

TEST_F(QtMessageBoxTest, MessageAndWarningHaveOnlyOkAndDifferInTheirIcon) {
    const QString text = QStringLiteral("Please choose a existent URL in Logs. ");
    WhenShown([](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); });
    m_Boxes.ShowMessage(&m_Owner, text);

    EXPECT_EQ(m_Seen.strTitle, QStringLiteral("Quellio"));
    EXPECT_EQ(m_Seen.strText, text);
    EXPECT_EQ(m_Seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(m_Seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    const QString warning = QStringLiteral("Unable to open hyperlink:\n\n<i>x</i>");
    WhenShown([](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); });
    m_Boxes.ShowWarning(&m_Owner, warning);

    EXPECT_EQ(m_Seen.strTitle, QStringLiteral("Quellio"));
    EXPECT_EQ(m_Seen.strText, warning);
    EXPECT_EQ(m_Seen.icon, QMessageBox::Warning);
    EXPECT_EQ(m_Seen.format, Qt::PlainText);
    EXPECT_EQ(m_Seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

}  // namespace
