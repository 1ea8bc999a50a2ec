// The steps of a run as text, for a link or for keeping: each step a code
// of two digits (what it is, and its cell or area), the time since the last
// step, and what a note or a kept clock carries.

#include <array>
#include <optional>

#include "requests/run.h"

namespace labyrinth::requests {

namespace {

constexpr std::size_t cellIndex(CellPosition cell) { return static_cast<std::size_t>(cell.y * mazeSize + cell.x); }
constexpr CellPosition cellAt(std::size_t index) {
    return {static_cast<int>(index % mazeSize), static_cast<int>(index / mazeSize)};
}

constexpr std::string_view digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// A step's code: what it is and which cell or area, in two digits (64 x 64).
constexpr int revealBase = 0;
constexpr int walkBase = revealBase + static_cast<int>(cellCount);
constexpr int tickBase = walkBase + static_cast<int>(cellCount);
constexpr int untickBase = tickBase + static_cast<int>(cellCount);
constexpr int areaBase = untickBase + static_cast<int>(cellCount);
constexpr int revealAllCode = areaBase + areaCount;
constexpr int clockStartCode = revealAllCode + 1;
constexpr int clockPauseCode = clockStartCode + 1;
constexpr int clockResetCode = clockPauseCode + 1;
constexpr int resetRoomsCode = clockResetCode + 1;
constexpr int keptCode = resetRoomsCode + 1;
constexpr int noteBase = keptCode + 1;
constexpr int pinBase = noteBase + static_cast<int>(cellCount);
constexpr int unpinBase = pinBase + static_cast<int>(cellCount);
constexpr int doneBase = unpinBase + static_cast<int>(cellCount);
constexpr int undoneBase = doneBase + areaCount;
static_assert(undoneBase + areaCount <= 64 * 64, "every step's code fits two digits");

int codeOf(const Step& step) {
    const int cell = static_cast<int>(cellIndex(step.room));
    switch (step.kind) {
        case StepKind::Reveal: return revealBase + cell;
        case StepKind::Walk: return walkBase + cell;
        case StepKind::Tick: return tickBase + cell;
        case StepKind::Untick: return untickBase + cell;
        case StepKind::RevealArea: return areaBase + step.area;
        case StepKind::RevealAll: return revealAllCode;
        case StepKind::ClockStart: return clockStartCode;
        case StepKind::ClockPause: return clockPauseCode;
        case StepKind::ClockReset: return clockResetCode;
        case StepKind::ResetRooms: return resetRoomsCode;
        case StepKind::Kept: return keptCode;
        case StepKind::Note: return noteBase + cell;
        case StepKind::Pin: return pinBase + cell;
        case StepKind::Unpin: return unpinBase + cell;
        case StepKind::AreaDone: return doneBase + step.area;
        case StepKind::AreaUndone: return undoneBase + step.area;
    }
    return keptCode;
}

std::optional<Step> stepOfCode(int code) {
    Step step;
    const auto inCells = [&](int base, StepKind kind) {
        if (code < base || code >= base + static_cast<int>(cellCount)) return false;
        step.kind = kind;
        step.room = cellAt(static_cast<std::size_t>(code - base));
        return true;
    };
    if (inCells(revealBase, StepKind::Reveal) || inCells(walkBase, StepKind::Walk) || inCells(tickBase, StepKind::Tick) ||
        inCells(untickBase, StepKind::Untick) || inCells(noteBase, StepKind::Note) || inCells(pinBase, StepKind::Pin) ||
        inCells(unpinBase, StepKind::Unpin))
        return step;
    for (const auto& [base, kind] : {std::pair{areaBase, StepKind::RevealArea}, std::pair{doneBase, StepKind::AreaDone},
                                     std::pair{undoneBase, StepKind::AreaUndone}})
        if (code >= base && code < base + areaCount) {
            step.kind = kind;
            step.area = code - base;
            return step;
        }
    static constexpr std::array<std::pair<int, StepKind>, 6> plain{{{revealAllCode, StepKind::RevealAll},
                                                                    {clockStartCode, StepKind::ClockStart},
                                                                    {clockPauseCode, StepKind::ClockPause},
                                                                    {clockResetCode, StepKind::ClockReset},
                                                                    {resetRoomsCode, StepKind::ResetRooms},
                                                                    {keptCode, StepKind::Kept}}};
    for (const auto& [known, kind] : plain)
        if (code == known) {
            step.kind = kind;
            return step;
        }
    return std::nullopt;
}

// Whole numbers of any sign as groups of five bits, lowest first, each a
// digit with its sixth bit set while more follow.
void putNumber(std::string& out, std::int64_t value) {
    auto bits = (static_cast<std::uint64_t>(value) << 1U) ^ static_cast<std::uint64_t>(value >> 63);  // zigzag
    do {
        const auto group = static_cast<std::size_t>(bits & 31U);
        bits >>= 5U;
        out += digits[group | (bits != 0 ? 32U : 0U)];
    } while (bits != 0);
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}
    bool done() const { return at_ == text_.size(); }
    std::optional<int> digit() {
        if (done()) return std::nullopt;
        const auto found = digits.find(text_[at_++]);
        if (found == std::string_view::npos) return std::nullopt;
        return static_cast<int>(found);
    }
    std::optional<std::int64_t> number() {
        std::uint64_t bits = 0;
        for (unsigned shift = 0; shift < 64; shift += 5) {
            const auto d = digit();
            if (!d) return std::nullopt;
            bits |= static_cast<std::uint64_t>(*d & 31) << shift;
            if ((*d & 32) == 0)
                return static_cast<std::int64_t>((bits >> 1U) ^ (~(bits & 1U) + 1U));  // zigzag back
        }
        return std::nullopt;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::string encodeSteps(std::span<const Step> steps) {
    std::string out;
    std::int64_t last = 0;
    for (const Step& step : steps) {
        const int code = codeOf(step);
        out += digits[static_cast<std::size_t>(code / 64)];
        out += digits[static_cast<std::size_t>(code % 64)];
        putNumber(out, step.at - last);
        last = step.at;
        if (step.kind == StepKind::Note) {
            // The note's bytes, two digits each.
            putNumber(out, static_cast<std::int64_t>(step.note.size()));
            for (const char c : step.note) {
                const auto byte = static_cast<unsigned char>(c);
                out += digits[byte >> 4U];
                out += digits[byte & 15U];
            }
        }
        if (step.kind != StepKind::Kept) continue;
        putNumber(out, step.elapsed);
        putNumber(out, step.runningSince ? *step.runningSince - step.at + 1 : 0);
        putNumber(out, static_cast<std::int64_t>(step.splits.size()));
        for (const Split& split : step.splits) {
            putNumber(out, split.area);
            putNumber(out, split.at);
        }
    }
    return out;
}

Result<std::vector<Step>> decodeSteps(std::string_view text) {
    std::vector<Step> steps;
    Reader in(text);
    std::int64_t last = 0;
    const Error damaged{"the run's steps are damaged"};
    while (!in.done()) {
        const auto high = in.digit();
        const auto low = in.digit();
        if (!high || !low) return damaged;
        auto step = stepOfCode(*high * 64 + *low);
        const auto delta = in.number();
        if (!step || !delta) return damaged;
        step->at = last + *delta;
        last = step->at;
        if (step->kind == StepKind::Note) {
            const auto size = in.number();
            if (!size || *size < 0 || *size > static_cast<std::int64_t>(4 * longestNote)) return damaged;
            for (std::int64_t i = 0; i < *size; ++i) {
                const auto upper = in.digit();
                const auto lower = in.digit();
                if (!upper || !lower || *upper > 15 || *lower > 15) return damaged;
                step->note += static_cast<char>(*upper * 16 + *lower);
            }
        }
        if (step->kind == StepKind::Kept) {
            const auto elapsed = in.number();
            const auto since = in.number();
            const auto count = in.number();
            if (!elapsed || !since || !count || *count < 0 || *count > areaCount) return damaged;
            step->elapsed = *elapsed;
            if (*since != 0) step->runningSince = step->at + *since - 1;
            for (std::int64_t i = 0; i < *count; ++i) {
                const auto area = in.number();
                const auto at = in.number();
                if (!area || !at) return damaged;
                step->splits.push_back({static_cast<int>(*area), *at});
            }
        }
        steps.push_back(std::move(*step));
    }
    return steps;
}

}  // namespace labyrinth::requests
