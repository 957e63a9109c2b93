#pragma once

#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

// The child of `parent` of type T (a check box, a label, ...) showing `text`; a failure
// of the test, and null, when there is none.
template <typename T>
T* ChildWithText(const QWidget& parent, const QString& text) {
    for (T* child : parent.findChildren<T*>()) {
        if (child->text() == text) {
            return child;
        }
    }
    ADD_FAILURE() << "no " << T::staticMetaObject.className() << " \"" << text.toStdString()
                  << "\"";
    return nullptr;
}
