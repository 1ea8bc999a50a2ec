#pragma once
// One QApplication for a whole test program, on the offscreen platform so
// that window tests need no display. Include in exactly one file per program.

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace labyrinth::testing {

class QtApplicationEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "labyrinth-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

inline ::testing::Environment* const qtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace labyrinth::testing
