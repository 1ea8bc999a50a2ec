#include "window/room_cell.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace labyrinth::window {

RoomCell::RoomCell(int index, QWidget* parent) : QFrame(parent), index_(index) {
    setObjectName(QStringLiteral("Room"));
    setProperty("index", index);
    setAccessibleName(QStringLiteral("Room %1").arg(index));
    setAccessibleDescription(QStringLiteral("Shows the column, row and door mask of room %1 in the status line").arg(index));
}

void RoomCell::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QFrame::mousePressEvent(event);
}

// Like a button, the click counts only when the release is still inside.
void RoomCell::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QFrame::mouseReleaseEvent(event);
    if (click) emit clicked(index_);
}

// Space and Return (or Enter) press the focused cell, once however long the
// key is held; with a modifier they do nothing.
void RoomCell::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool press = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!press || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QFrame::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!event->isAutoRepeat()) click();
}

}  // namespace labyrinth::window
