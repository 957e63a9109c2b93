#pragma once

#include "platform/qt/MessageBox.h"

// The message boxes on QMessageBox.
class CQtMessageBox : public IMessageBox {
public:
    bool AskYesNo(QWidget* owner, const QString& text) override;
    void ShowMessage(QWidget* owner, const QString& text) override;
    void ShowWarning(QWidget* owner, const QString& text) override;
};
