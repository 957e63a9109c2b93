#include "support/ScriptedMessageBox.h"

#include <gtest/gtest.h>

bool CScriptedMessageBox::AskYesNo(QWidget* owner, const QString& text) {
    m_Boxes.push_back({Kind::Question, owner, text});
    if (m_Answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    const bool bYes = m_Answers.front();
    m_Answers.pop_front();
    return bYes;
}

void CScriptedMessageBox::ShowMessage(QWidget* owner, const QString& text) {
    m_Boxes.push_back({Kind::Message, owner, text});
}

void CScriptedMessageBox::ShowWarning(QWidget* owner, const QString& text) {
    m_Boxes.push_back({Kind::Warning, owner, text});
}

std::vector<QString> CScriptedMessageBox::Texts() const {
    std::vector<QString> texts;
    for (const CBox& box : m_Boxes) {
        texts.push_back(box.strText);
    }
    return texts;
}
