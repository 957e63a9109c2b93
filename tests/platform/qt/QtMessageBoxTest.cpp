#include "platform/qt/QtMessageBox.h"

#include <functional>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QWidget* s_pOwner = nullptr;
CQtMessageBox s_Boxes;
const QString kText = QStringLiteral("Really clear <b>all</b> Logs?");

// Opens a box through `open` and answers it with `answer` once it shows; checks what it
// shows: the caption, `icon`, the text as plain text, the owner and `buttons`.
void ExpectBox(const std::function<void()>& open, QMessageBox::StandardButtons buttons,
               const std::function<void(QMessageBox&)>& answer,
               QMessageBox::Icon icon = QMessageBox::NoIcon) {
    QWidget owner;
    bool bSeen = false;
    QTimer::singleShot(0, &owner, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        bSeen = true;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Quellio"));
        EXPECT_EQ(box->text(), kText);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->icon(), icon);
        EXPECT_EQ(box->standardButtons(), buttons);
        EXPECT_EQ(box->parentWidget(), &owner);
        answer(*box);
    });
    s_pOwner = &owner;
    open();
    EXPECT_TRUE(bSeen);
}

// Each kind of box with the buttons and icon it shows and what it answers for each way out.
TEST(QtMessageBox, EachKindShowsItsButtonsAndAnswersYesOnlyForYes) {
    const auto ask = [](bool bExpected) {
        return [bExpected] { EXPECT_EQ(s_Boxes.AskYesNo(s_pOwner, kText), bExpected); };
    };
    const auto click = [](QMessageBox::StandardButton button) {
        return [button](QMessageBox& box) { box.button(button)->click(); };
    };
    const auto yesNo = QMessageBox::Yes | QMessageBox::No;
    ExpectBox(ask(true), yesNo, click(QMessageBox::Yes));
    ExpectBox(ask(false), yesNo, click(QMessageBox::No));
    ExpectBox(ask(false), yesNo, [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    ExpectBox([] { s_Boxes.ShowMessage(s_pOwner, kText); }, QMessageBox::Ok,
              click(QMessageBox::Ok));
    ExpectBox([] { s_Boxes.ShowWarning(s_pOwner, kText); }, QMessageBox::Ok, click(QMessageBox::Ok),
              QMessageBox::Warning);
}

}  // namespace
