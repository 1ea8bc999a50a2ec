#include "layout/shown_cells.h"

namespace labyrinth {

ShownCells cellsOfAreas(const DecodedStream& stream, const AreaSelection& areas) {
    ShownCells cells;
    for (std::size_t i = 0; i < stream.cells.size(); ++i) {
        const DecodedCell& c = stream.cells[i];
        if (c.isRoom() && c.area < areaCount && areas.test(c.area)) cells.set(i);
    }
    return cells;
}

bool shownRoom(const DecodedStream& stream, const ShownCells& shown, int x, int y) {
    return insideMaze(x, y) && stream.at(x, y).isRoom() && shown.test(static_cast<std::size_t>(y * mazeSize + x));
}

StreamSummary summarizeShown(const DecodedStream& stream, const ShownCells& shown) {
    DecodedStream fogged = stream;
    for (std::size_t i = 0; i < fogged.cells.size(); ++i)
        if (!shown.test(i)) fogged.cells[i].kind = format::RecordKind::Empty;
    return summarize(fogged);
}

}  // namespace labyrinth
