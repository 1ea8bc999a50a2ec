#pragma once
// The names of a room's values in the JSON description, and the record
// kinds that carry each: what the description is written with and read by.

#include <array>

#include "writer/decoder.h"
#include "writer/record_format.h"

namespace labyrinth::room_keys {

inline constexpr const char* x = "x";
inline constexpr const char* y = "y";
inline constexpr const char* area = "area";
inline constexpr const char* doors = "doors";
inline constexpr const char* record = "record";

/// A value that a record of `kind` carries beyond its cell, area and doors,
/// under `key`, from 0 to `highest`.
struct RecordValue {
    format::RecordKind kind;
    const char* key;
    int DecodedCell::*member;
    int highest;
};

/// In the order they appear in a room.
inline constexpr std::array<RecordValue, 8> recordValues{{
    {format::RecordKind::Link, "link", &DecodedCell::link, format::linkLimit - 1},
    {format::RecordKind::AreaMark, "areaMark", &DecodedCell::areaMark, areaCount - 1},
    {format::RecordKind::Item, "itemCode", &DecodedCell::itemCode, 255},
    {format::RecordKind::Item, "random", &DecodedCell::random, 255},
    {format::RecordKind::DeadEnd, "deadEnd", &DecodedCell::deadEnd, 255},
    {format::RecordKind::Sequence, "sequence", &DecodedCell::sequence, 255},
    {format::RecordKind::Sequence, "sequenceS", &DecodedCell::sequenceS, 255},
    {format::RecordKind::Plain, "random", &DecodedCell::random, 255},
}};

}  // namespace labyrinth::room_keys
