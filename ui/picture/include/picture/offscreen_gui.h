#pragma once
// Text drawn with QPainter needs a QGuiApplication. Programs that only paint
// into images (the command line, tests) make one with this object, on the
// offscreen platform, so that no display is needed.

#include <memory>

#include <QtGlobal>

class QGuiApplication;

namespace labyrinth::map {

class OffscreenGui {
public:
    /// Creates a QGuiApplication on the offscreen platform unless the program
    /// already has a Qt application object, which is then used as it is.
    /// While it lives, Qt's debug and warning notes are not printed.
    OffscreenGui();
    ~OffscreenGui();
    OffscreenGui(const OffscreenGui&) = delete;
    OffscreenGui& operator=(const OffscreenGui&) = delete;

private:
    std::unique_ptr<QGuiApplication> app_;
    QtMessageHandler previousHandler_ = nullptr;
};

}  // namespace labyrinth::map
