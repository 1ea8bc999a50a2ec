#include "requests/splits_file.h"

#include "map/map_svg.h"

namespace labyrinth::requests {

std::string liveSplitTime(std::int64_t ms) {
    if (ms < 0) ms = 0;
    const auto digits = [](std::int64_t value, std::size_t width) {
        std::string text = std::to_string(value);
        return std::string(width > text.size() ? width - text.size() : 0, '0') + text;
    };
    return digits(ms / 3'600'000, 2) + ":" + digits(ms / 60'000 % 60, 2) + ":" + digits(ms / 1000 % 60, 2) + "." +
           digits(ms % 1000, 3) + "0000";
}

std::string liveSplitsFile(const RunState& state, std::string_view category) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Run version=\"1.7.0\">\n  <GameIcon />\n";
    out += "  <GameName>" + map::xmlEscaped(splitsGameName) + "</GameName>\n";
    out += "  <CategoryName>" + map::xmlEscaped(category) + "</CategoryName>\n";
    out += "  <LayoutPath></LayoutPath>\n  <Metadata>\n    <Run id=\"\" />\n"
           "    <Platform usesEmulator=\"False\"></Platform>\n    <Region></Region>\n    <Variables />\n"
           "  </Metadata>\n  <Offset>00:00:00</Offset>\n  <AttemptCount>1</AttemptCount>\n"
           "  <AttemptHistory />\n  <Segments>\n";
    std::int64_t last = 0;
    for (const Split& split : state.splits) {
        out += "    <Segment>\n      <Name>Area " + std::to_string(split.area) + "</Name>\n      <Icon />\n";
        out += "      <SplitTimes>\n        <SplitTime name=\"Personal Best\">\n          <RealTime>" +
               liveSplitTime(split.at) + "</RealTime>\n        </SplitTime>\n      </SplitTimes>\n";
        out += "      <BestSegmentTime>\n        <RealTime>" + liveSplitTime(split.at - last) +
               "</RealTime>\n      </BestSegmentTime>\n      <SegmentHistory />\n    </Segment>\n";
        last = split.at;
    }
    out += "  </Segments>\n  <AutoSplitterSettings />\n</Run>\n";
    return out;
}

}  // namespace labyrinth::requests
