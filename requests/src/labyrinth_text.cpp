#include "requests/labyrinth_text.h"

#include <algorithm>
#include <array>
#include <optional>

namespace labyrinth::requests {
namespace {

using format::RecordKind;

constexpr std::string_view digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
// The form of the text, its first digit: another form is refused, never misread.
constexpr char form = '1';

// A room's record kind, in three bits (which the map marks on it and the
// legend counts); a link and a numbered room say their number in four more.
constexpr std::array<RecordKind, 8> kinds{RecordKind::Plain, RecordKind::Start,    RecordKind::Item,
                                          RecordKind::DeadEnd, RecordKind::Sequence, RecordKind::Tag,
                                          RecordKind::Link,  RecordKind::AreaMark};
bool numbered(RecordKind kind) { return kind == RecordKind::Link || kind == RecordKind::AreaMark; }

class Bits {
public:
    void put(unsigned value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            group_ = (group_ << 1U) | ((value >> static_cast<unsigned>(i)) & 1U);
            if (++filled_ == 6) flush();
        }
    }
    std::string finish() {
        while (filled_ != 0) put(0, 1);
        return std::move(out_);
    }

private:
    void flush() {
        out_ += digits[group_];
        group_ = 0;
        filled_ = 0;
    }
    std::string out_ = std::string(1, form);
    unsigned group_ = 0;
    int filled_ = 0;
};

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}
    std::optional<unsigned> get(int count) {
        unsigned value = 0;
        for (int i = 0; i < count; ++i) {
            if (left_ == 0) {
                if (at_ == text_.size()) return std::nullopt;
                const auto digit = digits.find(text_[at_++]);
                if (digit == std::string_view::npos) return std::nullopt;
                group_ = static_cast<unsigned>(digit);
                left_ = 6;
            }
            --left_;
            value = (value << 1U) | ((group_ >> static_cast<unsigned>(left_)) & 1U);
        }
        return value;
    }
    // Only the padding of the last digit may follow the rooms.
    bool atEnd() const { return at_ == text_.size() && (group_ & ((1U << static_cast<unsigned>(left_)) - 1U)) == 0; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
    unsigned group_ = 0;
    int left_ = 0;
};

constexpr std::uint8_t south = doorSides[0].bit;
constexpr std::uint8_t east = doorSides[1].bit;
constexpr std::uint8_t west = doorSides[2].bit;
constexpr std::uint8_t north = doorSides[3].bit;

}  // namespace

std::string labyrinthText(const DecodedStream& stream) {
    Bits out;
    for (const DecodedCell& cell : stream.cells) {
        out.put(cell.isRoom() ? 1 : 0, 1);
        if (!cell.isRoom()) continue;
        out.put(cell.area, 4);
        out.put((cell.doors & south) != 0 ? 1 : 0, 1);
        out.put((cell.doors & east) != 0 ? 1 : 0, 1);
        const auto kind = std::find(kinds.begin(), kinds.end(), cell.kind);
        out.put(kind == kinds.end() ? 0U : static_cast<unsigned>(kind - kinds.begin()), 3);
        if (numbered(cell.kind))
            out.put(static_cast<unsigned>(cell.kind == RecordKind::Link ? cell.link : cell.areaMark), 4);
    }
    return out.finish();
}

Result<DecodedStream> labyrinthOfText(std::string_view text) {
    const Error damaged{"the labyrinth this link carries is damaged"};
    if (text.empty() || text.front() != form) return damaged;
    Reader in(text.substr(1));
    DecodedStream stream;
    for (DecodedCell& cell : stream.cells) {
        const auto room = in.get(1);
        if (!room) return damaged;
        if (*room == 0) continue;
        const auto area = in.get(4);
        const auto doorSouth = in.get(1);
        const auto doorEast = in.get(1);
        const auto kind = in.get(3);
        if (!area || !doorSouth || !doorEast || !kind || *area >= static_cast<unsigned>(areaCount)) return damaged;
        cell.area = static_cast<std::uint8_t>(*area);
        cell.doors = static_cast<std::uint8_t>((*doorSouth != 0 ? south : 0) | (*doorEast != 0 ? east : 0));
        cell.kind = kinds[*kind];
        if (!numbered(cell.kind)) continue;
        const auto number = in.get(4);
        if (!number || *number > static_cast<unsigned>(areaCount)) return damaged;
        (cell.kind == RecordKind::Link ? cell.link : cell.areaMark) = static_cast<int>(*number);
    }
    if (!in.atEnd()) return damaged;
    // A room's doors to the north and west are its neighbours' to the south and east.
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x) {
            DecodedCell& cell = stream.cells[static_cast<std::size_t>(y * mazeSize + x)];
            if (!cell.isRoom()) {
                cell.doors = 0;
                continue;
            }
            if (x > 0 && (stream.at(x - 1, y).doors & east) != 0) cell.doors |= west;
            if (y > 0 && (stream.at(x, y - 1).doors & south) != 0) cell.doors |= north;
        }
    return stream;
}

}  // namespace labyrinth::requests
