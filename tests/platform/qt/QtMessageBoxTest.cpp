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

TEST(QtMessageBox, AQuestionAnswersYesOnlyForYes) {
    const auto ask = [](bool bExpected) {
        return [bExpected] { EXPECT_EQ(s_Boxes.AskYesNo(s_pOwner, kText), bExpected); };
    };
    const auto yesNo = QMessageBox::Yes | QMessageBox::No;
    ExpectBox(ask(true), yesNo, [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    ExpectBox(ask(false), yesNo, [](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
    ExpectBox(ask(false), yesNo, [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
}

TEST(QtMessageBox, AMessageHasOnlyOkAWarningTheExclamationIconToo) {
    ExpectBox([] { s_Boxes.ShowMessage(s_pOwner, kText); }, QMessageBox::Ok,
              [](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); });
    ExpectBox([] { s_Boxes.ShowWarning(s_pOwner, kText); }, QMessageBox::Ok,
              [](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); }, QMessageBox::Warning);
}

}  // namespace
