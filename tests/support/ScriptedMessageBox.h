#pragma once

#include <deque>
#include <vector>

#include <QString>
#include <gtest/gtest.h>

#include "platform/qt/MessageBox.h"

// Message boxes for tests: questions are answered from a script, and every box is recorded
// with its owner and text. A question that the script does not answer fails the test and
// answers No.
class CScriptedMessageBox : public IMessageBox {
public:
    enum class Kind { Question, Message, Warning };
    struct CBox {
        Kind kind;
        QWidget* pOwner;
        QString strText;
    };

    // Queues the answer to the next question (true for Yes).
    void Answer(bool bYes) { m_Answers.push_back(bYes); }

    bool AskYesNo(QWidget* owner, const QString& text) override {
        m_Boxes.push_back({Kind::Question, owner, text});
        if (m_Answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        const bool bYes = m_Answers.front();
        m_Answers.pop_front();
        return bYes;
    }
    void ShowMessage(QWidget* owner, const QString& text) override {
        m_Boxes.push_back({Kind::Message, owner, text});
    }
    void ShowWarning(QWidget* owner, const QString& text) override {
        m_Boxes.push_back({Kind::Warning, owner, text});
    }

    const std::vector<CBox>& Boxes() const { return m_Boxes; }
    // The texts of all boxes shown so far, in order.
    std::vector<QString> Texts() const {
        std::vector<QString> texts;
        for (const CBox& box : m_Boxes) {
            texts.push_back(box.strText);
        }
        return texts;
    }

private:
    std::deque<bool> m_Answers;
    std::vector<CBox> m_Boxes;
};
