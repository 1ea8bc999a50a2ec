#pragma once
// The labyrinth model: the grids and lists that the generator fills and that
// the writer and the window read. Names and element widths are the ones that
// players and maintainers of the tool know them by.

#include <array>
#include <bit>
#include <bitset>
#include <cassert>
#include <cstddef>
#include <cstdint>

namespace labyrinth {

/// Every grid is 25 x 25 (indices 0..24); the labyrinth itself uses 0..23.
inline constexpr int gridSize = 25;
inline constexpr int mazeSize = 24;
inline constexpr int cellCount = mazeSize * mazeSize;

/// Entry lists hold 581 entries; a generation claims entries 0..370.
inline constexpr int entryListSize = 581;
inline constexpr int entryCount = 371;
/// Entries 0..10 are the anchors of areas 0..10.
inline constexpr int areaCount = 11;
/// A set of areas 0..10, a bit each: which areas a partial map shows.
using AreaSelection = std::bitset<areaCount>;
inline constexpr int lastEntry = entryCount - 1;

/// Area 0 always starts at this cell; the writer gives it the start record.
inline constexpr int startX = 11;
inline constexpr int startY = 12;

/// `mapArea` of a cell that is not a room.
inline constexpr std::uint8_t noArea = 12;
/// `mapMark` values.
inline constexpr std::uint8_t noMark = 99;
inline constexpr std::uint8_t itemMark = 66;
inline constexpr std::uint8_t secondMark = 44;
/// The numbered room of area n carries 10 + n; area 0's carries 21 instead.
inline constexpr std::uint8_t numberedMarkBase = 10;
inline constexpr std::uint8_t areaZeroMark = 21;
/// `mapLink` of a room that no link leaves from.
inline constexpr std::int16_t noLink = 99;

/// Slots of the model's lists, as players and maintainers of the tool know
/// them; code that walks a list takes its size from here.
/// The per-area lists `areaX`, `areaY` and `areaMarked`: area numbers 0..12.
inline constexpr std::size_t areaListSize = 13;
/// The area tables `areaLinks` (each way), `areaOrder` and the writer's
/// per-area flags: 0..13. The link pass clears `corridorUsed` over as many.
inline constexpr std::size_t areaTableSize = 14;
/// The flag lists by link or area number, `corridorUsed` and the writer's
/// `areaMarkWritten`: 0..20.
inline constexpr std::size_t flagListSize = 21;
/// `visitList`: 0..50.
inline constexpr std::size_t visitListSize = 51;
/// `itemList`: 0..31, of which the item table fills the first 29.
inline constexpr std::size_t itemListSize = 32;
static_assert(areaListSize > noArea && areaTableSize > noArea, "every area number, `noArea` too, has its slot");
static_assert(flagListSize > areaCount && visitListSize > areaCount, "every link and area number has its flag");

/// Growth marks at most this many item rooms.
inline constexpr std::int16_t maxItemRooms = 28;
/// `markCount` starts here; growth marks 44 rooms while it is below the limit
/// and the writer numbers dead ends from it, wrapping after the limit.
inline constexpr std::uint8_t markCountStart = 11;
inline constexpr std::uint8_t markCountLimit = 32;

/// Item codes that the writer gives to item rooms, taken from the end down.
inline constexpr std::array<std::uint8_t, 29> itemTable{
    8, 55, 42, 52, 6, 44, 51, 41, 43, 1, 38, 33, 2, 36, 46,
    5, 35, 53, 45, 2, 37, 57, 54, 49, 56, 47, 40, 3, 48};
static_assert(itemTable.size() <= itemListSize && itemTable.size() > maxItemRooms,
              "the writer takes item codes from index `maxItemRooms` down");

/// Door bits of `mapDoors`, by the neighbour the door leads to.
inline constexpr std::uint8_t doorSouth = 1;  // toward (x, y + 1)
inline constexpr std::uint8_t doorEast = 2;   // toward (x + 1, y)
inline constexpr std::uint8_t doorWest = 4;   // toward (x - 1, y)
inline constexpr std::uint8_t doorNorth = 8;  // toward (x, y - 1)

/// One of the four steps between neighbouring cells, with the door bits on
/// either side of the wall it crosses.
struct Direction {
    int dx;
    int dy;
    std::uint8_t bit;   ///< door bit of the cell the step leaves, toward the neighbour
    std::uint8_t back;  ///< door bit of the neighbour, facing back
    int opposite;       ///< direction code of the step back
    const char* name;   ///< "east", "west", "south", "north" (y grows southward)
};

/// The steps by direction code, as growth, the probe pass and door carving
/// know them: 1 +x, 2 -x, 3 +y, 4 -y (index 0 is no step). A draw r below 4
/// gives code r + 1.
inline constexpr std::array<Direction, 5> directions{{
    {0, 0, 0, 0, 0, ""},
    {+1, 0, doorEast, doorWest, 2, "east"},
    {-1, 0, doorWest, doorEast, 1, "west"},
    {0, +1, doorSouth, doorNorth, 4, "south"},
    {0, -1, doorNorth, doorSouth, 3, "north"},
}};

/// The four sides of a cell in the order of their door bits 1, 2, 4, 8.
inline constexpr std::array<Direction, 4> doorSides{directions[3], directions[1], directions[2], directions[4]};

/// Number of doors in a mask (0..4).
constexpr int doorCount(std::uint8_t doors) {
    // A table, not std::popcount: without the popcnt instruction (baseline
    // x86-64) that is a call into the compiler's runtime for every cell
    // the encoder writes.
    constexpr std::array<std::uint8_t, 16> counts{0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    return counts[doors & 0x0FU];
}

constexpr bool insideMaze(int x, int y) { return x >= 0 && y >= 0 && x < mazeSize && y < mazeSize; }

/// A 25 x 25 array addressed by (x, y): x the column, y the row.
template <typename T>
class Grid {
public:
    T& operator()(int x, int y) {
        assert(x >= 0 && x < gridSize && y >= 0 && y < gridSize);
        return cells_[static_cast<std::size_t>(x * gridSize + y)];
    }
    const T& operator()(int x, int y) const {
        assert(x >= 0 && x < gridSize && y >= 0 && y < gridSize);
        return cells_[static_cast<std::size_t>(x * gridSize + y)];
    }
    void fill(T value) { cells_.fill(value); }
    bool operator==(const Grid&) const = default;

private:
    std::array<T, gridSize * gridSize> cells_{};
};

/// The whole labyrinth state. Value-initialised it holds zeros everywhere, as
/// before the first generation; `maPupdate` resets what it needs.
struct Labyrinth {
    // Cell grids.
    Grid<std::int16_t> mapEntry;  // entry owning the cell, -1 when empty
    Grid<std::uint8_t> mapDoors;  // door mask 0..15
    Grid<std::uint8_t> mapArea;   // area 0..10, `noArea` when empty
    Grid<std::uint8_t> mapMark;   // `noMark`, `itemMark`, `secondMark` or numbered
    Grid<std::int16_t> mapLink;   // link number 1..10, `noLink` otherwise

    // Entries in claiming order.
    std::array<std::int16_t, entryListSize> entryUsed{};
    std::array<std::int16_t, entryListSize> entryArea{};
    std::array<std::uint8_t, entryListSize> entryX{};
    std::array<std::uint8_t, entryListSize> entryY{};

    // Per area: growth head and whether its numbered room exists (99 until then).
    std::array<std::uint8_t, areaListSize> areaX{};
    std::array<std::uint8_t, areaListSize> areaY{};
    std::array<std::uint8_t, areaListSize> areaMarked{};

    // Linking and ordering.
    std::array<std::array<std::uint8_t, areaTableSize>, areaTableSize> areaLinks{};  // (from, to)
    std::array<std::int16_t, flagListSize> corridorUsed{};                            // per link number
    std::array<std::uint8_t, areaTableSize> areaOrder{};
    std::array<std::uint8_t, visitListSize> visitList{};
    std::int16_t reachedCount = 0;
    std::uint8_t orderCount = 0;
    std::uint8_t visitIndex = 0;
    std::uint8_t linkPass = 0;

    // Counters shared by generator and writer.
    std::int16_t itemCount = 0;
    std::uint8_t markCount = 0;
    std::array<std::uint8_t, itemListSize> itemList{};

    bool isRoom(int x, int y) const { return mapEntry(x, y) >= 0; }
};

}  // namespace labyrinth
