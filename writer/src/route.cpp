#include "writer/route.h"

#include <limits>
#include <queue>

namespace labyrinth {
namespace {

constexpr std::size_t cellIndex(int x, int y) { return static_cast<std::size_t>(y * mazeSize + x); }

// The room behind the door on `side` of (x, y), when both rooms hold that
// door open.
std::optional<CellPosition> through(const DecodedStream& stream, int x, int y, const Direction& side) {
    const int nx = x + side.dx;
    const int ny = y + side.dy;
    if ((stream.at(x, y).doors & side.bit) == 0 || !insideMaze(nx, ny)) return std::nullopt;
    const DecodedCell& next = stream.at(nx, ny);
    if (!next.isRoom() || (next.doors & side.back) == 0) return std::nullopt;
    return CellPosition{nx, ny};
}

}  // namespace

std::optional<std::vector<CellPosition>> shortestRoute(const DecodedStream& stream, CellPosition goal) {
    if (!insideMaze(goal.x, goal.y) || !stream.at(goal.x, goal.y).isRoom() || !stream.at(startX, startY).isRoom())
        return std::nullopt;
    // Doors from the goal: every room's distance to it. Doors are crossed
    // only when both rooms agree, so the distances hold in either direction.
    constexpr int unreached = std::numeric_limits<int>::max();
    std::array<int, format::recordCount> toGoal;
    toGoal.fill(unreached);
    std::queue<CellPosition> queue;
    toGoal[cellIndex(goal.x, goal.y)] = 0;
    queue.push(goal);
    while (!queue.empty()) {
        const CellPosition here = queue.front();
        queue.pop();
        for (const Direction& side : doorSides) {
            const auto next = through(stream, here.x, here.y, side);
            if (!next || toGoal[cellIndex(next->x, next->y)] != unreached) continue;
            toGoal[cellIndex(next->x, next->y)] = toGoal[cellIndex(here.x, here.y)] + 1;
            queue.push(*next);
        }
    }
    if (toGoal[cellIndex(startX, startY)] == unreached) return std::nullopt;

    // From the start, each step to the first neighbour one door nearer;
    // there always is one, as the distances were counted through these same
    // doors, and the check below only keeps a fault from looping forever.
    std::vector<CellPosition> route{{startX, startY}};
    for (int remaining = toGoal[cellIndex(startX, startY)]; remaining > 0; --remaining) {
        const CellPosition here = route.back();
        for (const Direction& side : routeStepOrder) {
            const auto next = through(stream, here.x, here.y, side);
            if (next && toGoal[cellIndex(next->x, next->y)] == remaining - 1) {
                route.push_back(*next);
                break;
            }
        }
        if (route.back() == here) return std::nullopt;
    }
    return route;
}

std::array<std::optional<CellPosition>, areaCount> numberedRooms(const DecodedStream& stream) {
    std::array<std::optional<CellPosition>, areaCount> rooms{};
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x) {
            const DecodedCell& c = stream.at(x, y);
            if (c.kind == format::RecordKind::AreaMark && c.area < areaCount) rooms[c.area] = CellPosition{x, y};
        }
    return rooms;
}

}  // namespace labyrinth
