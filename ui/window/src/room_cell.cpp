#include "window/room_cell.h"

#include <QMouseEvent>

namespace labyrinth::window {

RoomCell::RoomCell(int index, QWidget* parent) : QFrame(parent), index_(index) {
    setObjectName(QStringLiteral("Room"));
    setProperty("index", index);
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

}  // namespace labyrinth::window
