#include "window/accessibility.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>

#include "window/room_cell.h"

namespace labyrinth::window {
namespace {

// A room cell is pressed like a button, by Space, Return or a screen
// reader's action, and then does what a click does.
class AccessibleRoomCell final : public QAccessibleWidget {
public:
    explicit AccessibleRoomCell(RoomCell* cell) : QAccessibleWidget(cell, QAccessible::Button) {}

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& action) override {
        if (action == pressAction())
            static_cast<RoomCell*>(widget())->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

// The announcer: a notification of the window whose name is the message.
// It has no place on screen; it is only ever announced.
class AccessibleAnnouncer final : public QAccessibleObject {
public:
    explicit AccessibleAnnouncer(Announcer* announcer) : QAccessibleObject(announcer) {}

    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(object()->parent()); }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name ? static_cast<const Announcer*>(object())->message() : QString();
    }
};

// The main window's class, as it named itself at installation.
const char* mainWindowClass = nullptr;

QAccessibleInterface* interfaceFor(const QString& className, QObject* object) {
    // A plain top-level QWidget is exposed as a filler, which screen readers
    // do not present as a window; the main window is a frame with its title.
    if (mainWindowClass != nullptr && className == QLatin1String(mainWindowClass))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    if (className == QLatin1String(RoomCell::staticMetaObject.className()))
        return new AccessibleRoomCell(static_cast<RoomCell*>(object));
    if (className == QLatin1String(Announcer::staticMetaObject.className()))
        return new AccessibleAnnouncer(static_cast<Announcer*>(object));
    return nullptr;
}

}  // namespace

// Qt keeps a factory once, however often it is installed.
void installAccessibleInterfaces(const QMetaObject& mainWindow) {
    mainWindowClass = mainWindow.className();
    QAccessible::installFactory(interfaceFor);
}

Announcer::Announcer(QObject* parent) : QObject(parent) { setObjectName(QStringLiteral("Announcer")); }

void Announcer::announce(const QString& message) {
    message_ = message;
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

}  // namespace labyrinth::window
