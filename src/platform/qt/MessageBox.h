#pragma once

class QString;
class QWidget;

// The program's modal message boxes: the caption "Quellio", no icon unless one is named, the
// text shown as plain text exactly as given. Pages get this service at construction so that tests
// can answer from a script.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;

    // Asks `text` with Yes and No over `owner` and waits for the answer: true for Yes.
    // Closing the box answers No.
    [[nodiscard]] virtual bool AskYesNo(QWidget* owner, const QString& text) = 0;

    // Shows `text` with an OK button over `owner` and waits until it is closed.
    virtual void ShowMessage(QWidget* owner, const QString& text) = 0;

    // Shows `text` with the exclamation icon and an OK button over `owner` and waits until
    // it is closed: a failure the user should notice.
    virtual void ShowWarning(QWidget* owner, const QString& text) = 0;
};
