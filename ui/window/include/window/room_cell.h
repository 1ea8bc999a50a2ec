#pragma once
// One element of the `Room` control array: a small olive square that reports
// a click, or Space or Return while it has the focus, with its own index.

#include <QFrame>

namespace labyrinth::window {

class RoomCell final : public QFrame {
    Q_OBJECT
public:
    /// `index` is the element's index in the control array (572 to 575).
    RoomCell(int index, QWidget* parent);
    int index() const { return index_; }
    /// Reports a click, as the mouse, the keyboard and screen readers do.
    void click() { emit clicked(index_); }

signals:
    /// A left-button press and release inside the cell.
    void clicked(int index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int index_;
    bool pressed_ = false;
};

}  // namespace labyrinth::window
