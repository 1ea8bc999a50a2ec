#include "picture/offscreen_gui.h"

#include <QGuiApplication>

namespace labyrinth::map {
namespace {
// QGuiApplication keeps references to these for its whole life.
int fakeArgc = 1;
char fakeName[] = "labyrinth-map";
char* fakeArgv[] = {fakeName, nullptr};

// Painting into an image needs none of the platform's services, so Qt's
// notes about them (such as a missing XDG_RUNTIME_DIR) are not the user's
// business; real errors still get through.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) qt_message_output(type, context, message);
}
}  // namespace

OffscreenGui::OffscreenGui() {
    if (QCoreApplication::instance() != nullptr) return;
    // The picture is painted into memory only; the offscreen platform works
    // with or without a display and never opens a window.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler_ = qInstallMessageHandler(quietHandler);
    app_ = std::make_unique<QGuiApplication>(fakeArgc, fakeArgv);
}

OffscreenGui::~OffscreenGui() {
    if (!app_) return;
    app_.reset();
    qInstallMessageHandler(previousHandler_);
}

}  // namespace labyrinth::map
