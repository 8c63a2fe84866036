// SPDX-License-Identifier: MIT
#include "platform/DialogKeys.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

bool HandleDialogKey(QWidget* dialog, QKeyEvent* event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!plain)
        return false;
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    auto* button = qobject_cast<QPushButton*>(dialog->focusWidget());
    if (!button || !button->isEnabled())
        return false;
    event->accept();
    button->click();
    return true;
}
