#include "map/terminal_map.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "writer/readback.h"
#include "writer/seed_code.h"

namespace labyrinth::map {
namespace {

using format::RecordKind;

// xterm-256 backgrounds close to the picture's area colours.
constexpr std::array<int, areaCount> areaBackground{221, 153, 216, 150, 210, 183, 181, 218, 186, 152, 250};
constexpr const char* reset = "\x1b[0m";

// One character for an area or link number 0..10: a digit, and A for 10.
char numberSymbol(int n) {
    if (n >= 0 && n <= 9) return static_cast<char>('0' + n);
    if (n == 10) return 'A';
    return '?';
}

class TerminalMap {
public:
    TerminalMap(const DecodedStream& stream, bool colour, const ShownCells& shown)
        : s_(stream), colour_(colour), shown_(shown) {
        for (int y = 0; y < mazeSize; ++y)
            for (int x = 0; x < mazeSize; ++x)
                if (const auto target = linkTarget(s_, x, y); target && room(x, y)) linkDoors_.push_back({{x, y}, *target});
    }

    std::string grid() {
        out_ << "   ";
        for (int x = 0; x < mazeSize; ++x) {
            char label[16];  // room for any int, so the compiler can see nothing is cut
            std::snprintf(label, sizeof label, "%3d", x);
            out_ << label;
        }
        out_ << '\n';
        for (int y = 0; y <= mazeSize; ++y) {
            wallLine(y);
            if (y < mazeSize) roomLine(y);
        }
        return out_.str();
    }

private:
    // A room in fog is drawn as no room at all.
    bool room(int x, int y) const { return shownRoom(s_, shown_, x, y); }

    // A door shows as an opening when either room has its bit, so that a
    // one-sided door is seen at all (verify names it).
    bool door(int x, int y, const Direction& side) const {
        const int nx = x + side.dx;
        const int ny = y + side.dy;
        return (room(x, y) && (s_.at(x, y).doors & side.bit) != 0) ||
               (room(nx, ny) && (s_.at(nx, ny).doors & side.back) != 0);
    }

    // The arrow of a link door between two neighbours, pointing into the
    // area the link leads to; 0 when the door is no link door.
    char linkArrow(CellPosition a, CellPosition b) const {
        for (const auto& [from, to] : linkDoors_) {
            if (!((from == a && to == b) || (from == b && to == a))) continue;
            if (to.x > from.x) return '>';
            if (to.x < from.x) return '<';
            return to.y > from.y ? 'v' : '^';
        }
        return 0;
    }

    // The boundary between a cell and its neighbour `a` (above or to the
    // left), `width` characters wide: blank between two cells without a
    // room and across a plain door, the link's arrow across a link door, and
    // `wall` otherwise.
    void boundary(CellPosition a, CellPosition b, const Direction& side, char wall, int width) {
        const auto blank = static_cast<std::size_t>(width);
        if (!room(a.x, a.y) && !room(b.x, b.y)) {
            out_ << std::string(blank, ' ');
        } else if (!door(b.x, b.y, side)) {
            out_ << std::string(blank, wall);
        } else if (const char arrow = linkArrow(a, b); arrow != 0) {
            highlight(std::string(blank, arrow));
        } else {
            out_ << std::string(blank, ' ');
        }
    }

    void wallLine(int y) {
        out_ << "   ";
        for (int x = 0; x <= mazeSize; ++x) {
            const bool corner = room(x - 1, y - 1) || room(x, y - 1) || room(x - 1, y) || room(x, y);
            out_ << (corner ? '+' : ' ');
            if (x < mazeSize) boundary({x, y - 1}, {x, y}, doorSides[3], '-', 2);
        }
        out_ << '\n';
    }

    void roomLine(int y) {
        char label[16];
        std::snprintf(label, sizeof label, "%2d ", y);
        out_ << label;
        for (int x = 0; x <= mazeSize; ++x) {
            boundary({x - 1, y}, {x, y}, doorSides[2], '|', 1);
            if (x < mazeSize) content(x, y);
        }
        out_ << '\n';
    }

    void content(int x, int y) {
        const DecodedCell& c = s_.at(x, y);
        if (!room(x, y)) {
            out_ << "  ";
            return;
        }
        char marker = ' ';
        switch (c.kind) {
            case RecordKind::Start: marker = '@'; break;
            case RecordKind::Item: marker = '$'; break;
            case RecordKind::AreaMark: marker = '#'; break;
            case RecordKind::Link: marker = numberSymbol(c.link); break;
            default: break;
        }
        if (!colour_) {
            out_ << numberSymbol(c.area) << marker;
            return;
        }
        if (c.area < areaCount) out_ << "\x1b[48;5;" << areaBackground[c.area] << "m";
        out_ << "\x1b[30m" << numberSymbol(c.area);
        // Markers in bold, link numbers in red, so they stand out of the area.
        if (c.kind == RecordKind::Link) out_ << "\x1b[1;31m";
        else if (marker != ' ') out_ << "\x1b[1m";
        out_ << marker << reset;
    }

    void highlight(const std::string& text) {
        if (colour_)
            out_ << "\x1b[1;31m" << text << reset;
        else
            out_ << text;
    }

    const DecodedStream& s_;
    bool colour_;
    const ShownCells& shown_;
    std::vector<std::pair<CellPosition, CellPosition>> linkDoors_;
    std::ostringstream out_;
};

}  // namespace

std::string terminalMap(const DecodedStream& stream, const std::string& seedCode, bool colour,
                        const ShownCells& shown) {
    std::ostringstream out;
    out << TerminalMap(stream, colour, shown).grid();
    out << "\nEach room: its area (0-9, A = 10), then @ start, $ item, # the area's\n"
           "numbered room, or 1-9/A the number of the link leaving it. Walls | and --;\n"
           "a gap is a door; > < v ^ mark a link door, pointing into the area it opens.\n\n";
    out << seedCodeLine(seedCode) << '\n';
    const StreamSummary summary = summarizeShown(stream, shown);
    if (summary.rooms < summarize(stream).rooms) out << "Fog: only the rooms shown are drawn and counted.\n";
    out << summary.rooms << " rooms: " << summary.links << " links, " << summary.areaMarks << " area marks, "
        << summary.items << " items, " << summary.deadEnds << " dead ends,\n"
        << "  " << summary.sequences << " sequences, " << summary.tags << " tags, " << summary.plain << " plain\n";

    // Links in number order, "1: (10, 12)>(10, 13)", as many to a line as
    // fit the width of a terminal.
    std::vector<std::pair<int, std::string>> links;
    for (int y = 0; y < mazeSize; ++y)
        for (int x = 0; x < mazeSize; ++x) {
            const DecodedCell& c = stream.at(x, y);
            if (c.kind != RecordKind::Link || !shownRoom(stream, shown, x, y)) continue;
            const auto target = linkTarget(stream, x, y);
            links.emplace_back(c.link, std::to_string(c.link) + ": " + positionText({x, y}) + ">" +
                                           (target ? positionText(*target) : std::string("?")));
        }
    std::stable_sort(links.begin(), links.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::string head = "Links:";
    std::string line = head;
    for (const auto& link : links) {
        const std::string entry = "  " + link.second;
        if (line.size() > head.size() && line.size() + entry.size() > terminalWidth) {
            out << line << '\n';
            line = std::string(head.size(), ' ');
        }
        line += entry;
    }
    out << line << '\n';
    return out.str();
}

}  // namespace labyrinth::map
