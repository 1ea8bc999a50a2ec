// The window's button: one click of "Write to TGL", from the press to
// "Done.", in the offscreen platform, with its synchronous repaints; and the
// cost of one full repaint of the window, which the click avoids repeating
// when nothing on screen would change. Each repetition is one click, so the
// median and the 99th percentile are over clicks.
//
//   labyrinth-window-bench --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "window/form2.h"
#include "writer/record_format.h"

namespace {

namespace fs = std::filesystem;
using namespace labyrinth;

// A synthetic image (the NES magic and a byte pattern, never a real
// cartridge) and a text file, in a folder of their own.
class Files {
public:
    Files() {
        std::string pattern = (fs::temp_directory_path() / "labyrinth-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
        folder_ = pattern;
        std::vector<char> image(static_cast<std::size_t>(format::minImageSize));
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>((i * 31 + 5) % 251);
        std::copy(format::imageMagic.begin(), format::imageMagic.end(), image.begin());
        write(image_ = (folder_ / "bench.nes").string(), image);
        write(text_ = (folder_ / format::textFileName).string(), std::vector<char>(format::textSize, 'T'));
    }
    ~Files() {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    Files(const Files&) = delete;
    Files& operator=(const Files&) = delete;

    const std::string& image() const { return image_; }
    const std::string& text() const { return text_; }

private:
    static void write(const std::string& path, const std::vector<char>& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + path);
    }
    fs::path folder_;
    std::string image_, text_;
};

// The window as a user has it: shown, drawn once, over the two files.
class ShownWindow {
public:
    explicit ShownWindow(const Files& files) {
        auto rom = DiskFile::open(files.image(), DiskFile::Mode::ReadWrite);
        auto text = DiskFile::open(files.text(), DiskFile::Mode::ReadOnly);
        if (!rom || !text) throw std::runtime_error("cannot open the benchmark's files");
        form_ = std::make_unique<window::Form2>(std::move(rom.value()), std::move(text.value()),
                                                std::make_unique<ClockSeedSource>(),
                                                [this](QWidget*, const QString& message) { error_ = message; });
        form_->show();
        QElapsedTimer waited;
        waited.start();
        while (!(form_->windowHandle() && form_->windowHandle()->isExposed()) && waited.elapsed() < 5000)
            QApplication::processEvents();
    }
    window::Form2& form() { return *form_; }
    const QString& error() const { return error_; }

private:
    std::unique_ptr<window::Form2> form_;
    QString error_;
};

double percentile(const std::vector<double>& values, double fraction) {
    if (values.empty()) return 0;
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(rank, sorted.size() - 1)];
}

double p99(const std::vector<double>& values) { return percentile(values, 0.99); }
double worst(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

Files* files = nullptr;
ShownWindow* shown = nullptr;

void BM_WindowClick(benchmark::State& state) {
    window::Form2& form = shown->form();
    QApplication::processEvents();  // the window settles between clicks, as it does for a user
    const int askedBefore = form.repaintsAsked();
    const int drawnBefore = form.repaintsDrawn();
    for (auto _ : state) form.savebut()->click();
    if (form.Label1()->text() != QStringLiteral("Done."))
        state.SkipWithError(("the click did not end in \"Done.\": " + shown->error().toStdString()).c_str());
    state.counters["attempts"] = form.lastClick().attempts;
    state.counters["repaints"] = form.repaintsAsked() - askedBefore;
    state.counters["drawn"] = form.repaintsDrawn() - drawnBefore;
}
BENCHMARK(BM_WindowClick)
    ->Iterations(1)
    ->Repetitions(200)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("p99", p99)
    ->ComputeStatistics("max", worst)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// What every repaint would cost if none were skipped.
void BM_FullRepaint(benchmark::State& state) {
    window::Form2& form = shown->form();
    for (auto _ : state) form.repaint();
}
BENCHMARK(BM_FullRepaint)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    try {
        Files scratch;
        ShownWindow window(scratch);
        files = &scratch;
        shown = &window;
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "labyrinth-window-bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
