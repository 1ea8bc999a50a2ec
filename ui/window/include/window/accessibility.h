#pragma once
// What the window tells assistive tools (screen readers, braille displays)
// beyond Qt's own accessible interfaces: the window is a frame with its
// caption, a room cell is a button that can be pressed, and every outcome is
// announced as it happens.

#include <QMetaObject>
#include <QObject>
#include <QString>

namespace labyrinth::window {

/// Makes Qt describe the main window (the class of `mainWindow`, handed in
/// by the window itself, which this file never needs to know), its room
/// cells and its `Announcer` as above. Installed once per process; calling
/// it again does nothing.
void installAccessibleInterfaces(const QMetaObject& mainWindow);

/// Speaks a message through the screen reader without showing anything: it
/// is exposed as a notification that appears anew with every message, so a
/// second "Done." is heard as the first was.
class Announcer final : public QObject {
    Q_OBJECT
public:
    explicit Announcer(QObject* parent);
    void announce(const QString& message);
    /// The last message announced; empty before the first.
    const QString& message() const { return message_; }

private:
    QString message_;
};

}  // namespace labyrinth::window
