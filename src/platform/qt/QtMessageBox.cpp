#include "platform/qt/QtMessageBox.h"

#include <QMessageBox>

namespace {

int ExecBox(QWidget* owner, const QString& text, QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton,
            QMessageBox::Icon icon = QMessageBox::NoIcon) {
    QMessageBox box(icon, QStringLiteral("Quellio"), text, buttons, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    return box.exec();
}

}  // namespace

bool CQtMessageBox::AskYesNo(QWidget* owner, const QString& text) {
    return ExecBox(owner, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

void CQtMessageBox::ShowMessage(QWidget* owner, const QString& text) {
    ExecBox(owner, text, QMessageBox::Ok, QMessageBox::Ok);
}

void CQtMessageBox::ShowWarning(QWidget* owner, const QString& text) {
    ExecBox(owner, text, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
}
