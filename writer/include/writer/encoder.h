#pragma once
// The encoding pass: the labyrinth model as a stream of room records.

#include <array>
#include <cstdint>
#include <vector>

#include "labyrinth/model.h"
#include "labyrinth/random.h"
#include "writer/decoder.h"
#include "writer/record_format.h"
#include "writer/result.h"

namespace labyrinth {

/// The writer's own state beside the model. (The offset of the next record
/// is the stream's length so far: the pass composes the stream in memory.) `startPass` gives it the start
/// values of a pass; the pass leaves in it which link numbers (in the model's
/// `corridorUsed`) and which area marks it wrote.
struct WriterState {
    std::uint8_t cellDoors = 0;       ///< door mask of the cell being encoded
    std::uint8_t seqNo = 0;           ///< number of the next sequence record
    std::int16_t lotteryBudget = 0;   ///< lottery wins still allowed
    std::int16_t lotteryDraw = 0;     ///< the last draw below 3
    Grid<std::uint8_t> mapRandom;     ///< R drawn for each plain and item room
    std::array<std::int16_t, flagListSize> areaMarkWritten{};  ///< per area number
    std::array<std::uint8_t, areaTableSize> seqGiven{};        ///< per area, this pass
    std::array<std::uint8_t, areaTableSize> tagGiven{};        ///< per area, this pass

    /// Start values of a pass, including the model's reused counters
    /// (`corridorUsed`, `markCount`, `itemCount`). `areaMarkWritten` is cleared
    /// too, so the acceptance test judges only the stream just written.
    void startPass(Labyrinth& model);
};

/// Encodes every cell of the model, in rows, into `stream` (records and the
/// trailing 0, to be written at `roomDataPos`), drawing R and the lottery from
/// `rng`, and counts the records it wrote. `writer` must hold the start values of a pass. What `stream` held is
/// replaced; its buffer is reused, so passes after the first allocate nothing.
RecordCounts encodeRooms(Labyrinth& model, WriterState& writer, Random& rng,
                        std::vector<std::uint8_t>& stream);

/// The records of cells already decided (a labyrinth made elsewhere, such as
/// a layout read from a description): the bytes that the decoder reads back
/// as exactly these cells, and the trailing 0. The start record and the
/// item records get their fixed bytes. Fails, naming the cell, when a value
/// does not fit its record (an area beyond a nibble, a link number beyond
/// the record's range).
Result<std::vector<std::uint8_t>> encodeCells(const DecodedStream& cells);

/// The acceptance test: every link number 1..10 and every area mark 0..10
/// present in the stream just written.
bool streamComplete(const Labyrinth& model, const WriterState& writer);

}  // namespace labyrinth
