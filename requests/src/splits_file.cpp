#include "requests/splits_file.h"

#include <cstdio>

namespace labyrinth::requests {
namespace {

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace

std::string liveSplitTime(std::int64_t ms) {
    if (ms < 0) ms = 0;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld0000", static_cast<long long>(ms / 3'600'000),
                  static_cast<long long>(ms / 60'000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}

std::string liveSplitsFile(const RunState& state, std::string_view category) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Run version=\"1.7.0\">\n  <GameIcon />\n";
    out += "  <GameName>" + escaped(splitsGameName) + "</GameName>\n";
    out += "  <CategoryName>" + escaped(category) + "</CategoryName>\n";
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
