#include "writer/readback.h"

#include "writer/image_check.h"
#include "writer/seed_code.h"

namespace labyrinth {

std::span<const std::uint8_t> writtenStream(std::span<const std::uint8_t> image, const DecodedStream& stream) {
    const auto first = static_cast<std::size_t>(format::roomDataPos);
    const auto count = static_cast<std::size_t>(stream.end - format::roomDataPos + 1);
    return image.subspan(first, count);
}

const char* recordKindName(format::RecordKind kind) {
    using format::RecordKind;
    switch (kind) {
        case RecordKind::Start: return "start";
        case RecordKind::Empty: return "empty";
        case RecordKind::Link: return "link";
        case RecordKind::AreaMark: return "area-mark";
        case RecordKind::Item: return "item";
        case RecordKind::DeadEnd: return "dead-end";
        case RecordKind::Sequence: return "sequence";
        case RecordKind::Tag: return "tag";
        case RecordKind::Plain: return "plain";
    }
    return "unknown";
}

std::string positionText(CellPosition cell) {
    return "(" + std::to_string(cell.x) + ", " + std::to_string(cell.y) + ")";
}

std::string cellKey(CellPosition cell) { return std::to_string(cell.x) + "," + std::to_string(cell.y); }

std::optional<CellPosition> cellOfKey(std::string_view key) {
    const auto comma = key.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    auto coordinate = [](std::string_view digits) -> std::optional<int> {
        if (digits.empty() || digits.size() > 2) return std::nullopt;
        int value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
        }
        return value;
    };
    const auto x = coordinate(key.substr(0, comma));
    const auto y = coordinate(key.substr(comma + 1));
    if (!x || !y || !insideMaze(*x, *y)) return std::nullopt;
    return CellPosition{*x, *y};
}

std::optional<CellPosition> linkTarget(const DecodedStream& stream, int x, int y) {
    if (!insideMaze(x, y)) return std::nullopt;
    const DecodedCell& from = stream.at(x, y);
    if (from.kind != format::RecordKind::Link) return std::nullopt;
    for (const Direction& side : doorSides) {
        const int nx = x + side.dx;
        const int ny = y + side.dy;
        if ((from.doors & side.bit) == 0 || !insideMaze(nx, ny)) continue;
        const DecodedCell& to = stream.at(nx, ny);
        if (to.isRoom() && to.area == from.link) return CellPosition{nx, ny};
    }
    return std::nullopt;
}

StreamSummary summarize(const DecodedStream& stream) {
    StreamSummary summary;
    for (const DecodedCell& cell : stream.cells) {
        summary.add(cell.kind);
        if (!cell.isRoom()) continue;
        ++summary.rooms;
        if (cell.area < areaCount) ++summary.roomsPerArea[cell.area];
    }
    summary.streamBytes = static_cast<int>(stream.end - format::roomDataPos + 1);
    return summary;
}

Result<std::vector<std::uint8_t>> readRegion(RandomAccessFile& image) {
    if (auto fit = checkImage(image); !fit) return fit.error();
    return readPrefix(image, format::readRegionEnd);
}

Result<ReadBack> decodeLabyrinth(const std::string& name, std::vector<std::uint8_t> region) {
    auto decoded = decodeStream(region);
    if (!decoded) return Error{name + ": holds no readable labyrinth: " + decoded.error().message};
    ReadBack back{std::move(region), decoded.value(), summarize(decoded.value()), {}};
    back.seedCode = seedCode(back.written());
    return back;
}

Result<ReadBack> readLabyrinth(RandomAccessFile& image) {
    auto region = readRegion(image);
    if (!region) return region.error();
    return decodeLabyrinth(image.name(), std::move(region.value()));
}

std::string verdictLine(std::string_view name, std::size_t problems) {
    if (problems == 0) return std::string(name) + ": the labyrinth is complete and consistent";
    return std::string(name) + ": " + std::to_string(problems) + (problems == 1 ? " problem" : " problems");
}

}  // namespace labyrinth
