#include "test_support.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <queue>
#include <set>
#include <sstream>
#include <stdexcept>

#include "writer/record_format.h"

namespace labyrinth::testing {

std::vector<std::uint8_t> syntheticImage(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 31 + 5) % 251);
    std::copy(format::imageMagic.begin(), format::imageMagic.end(), bytes.begin());
    // Header flags without a trainer, which would make the image unfit.
    if (size > static_cast<std::size_t>(format::headerFlagsOffset))
        bytes[static_cast<std::size_t>(format::headerFlagsOffset)] &= static_cast<std::uint8_t>(~format::trainerFlag);
    return bytes;
}

std::vector<std::uint8_t> syntheticText(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + 1) % 256);
    return bytes;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "labyrinth-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests take permissions away; give them back so that everything goes.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

GameFolder::GameFolder() {
    writeFile(dir / "game.nes", syntheticImage());
    writeFile(dir / "tgltext.tgl", syntheticText());
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Status FaultyFile::readAt(std::int64_t offset, std::span<std::uint8_t> out) {
    if (++reads_ == faults_.failingRead)
        return systemError(name(), "cannot read at offset " + std::to_string(offset), EIO);
    return inner_.readAt(offset, out);
}

Status FaultyFile::writeAt(std::int64_t offset, std::span<const std::uint8_t> data) {
    if (++writes_ == faults_.failingWrite)
        return systemError(name(), "cannot write at offset " + std::to_string(offset), ENOSPC);
    return inner_.writeAt(offset, data);
}

Status FaultyFile::flush() {
    if (faults_.duringFlush) faults_.duringFlush();
    if (++flushes_ == faults_.failingFlush) return systemError(name(), "cannot save the changes", EIO);
    return inner_.flush();
}

Result<bool> FaultyFile::lock(FileLock kind) {
    auto taken = inner_.lock(kind);
    if (taken && taken.value()) held_ = kind;
    return taken;
}

void RecordingHost::setLinkLine(int index, const LinkLine& line) {
    const auto i = static_cast<std::size_t>(index);
    if (i > linkLines.size()) throw std::logic_error("link-list line set beyond the end of the list");
    if (i == linkLines.size())
        linkLines.push_back(line.text());
    else
        linkLines[i] = line.text();
}

std::string firstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i)
        if (a[i] != b[i]) {
            char text[64];
            std::snprintf(text, sizeof text, "0x%zx (%u against %u)", i, a[i], b[i]);
            return text;
        }
    if (a.size() != b.size()) return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    return "identical";
}

namespace {

std::string quoted(const std::string& arg) {
    std::string q = "'";
    for (const char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const std::filesystem::path& path) {
    const auto bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

CommandRun runCommand(const std::string& program, const std::filesystem::path& folder,
                      const std::vector<std::string>& args, const std::vector<std::string>& prefix) {
    TempDir capture;
    openToEveryone(capture.path());
    const auto out = capture / "out", err = capture / "err";
    std::string command = "cd " + quoted(folder.string()) + " &&";
    for (const auto& word : prefix) command += " " + quoted(word);
    command += " " + quoted(program);
    for (const auto& arg : args) command += " " + quoted(arg);
    command += " >" + quoted(out.string()) + " 2>" + quoted(err.string()) + " </dev/null";
    CommandRun run;
    const int status = std::system(command.c_str());
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = slurp(out);
    run.err = slurp(err);
    return run;
}

Unprivileged unprivilegedPrefix() {
    if (::geteuid() != 0) return {true, {}, {}};
    if (std::system("setpriv --reuid=nobody --regid=nogroup --clear-groups true >/dev/null 2>&1") == 0)
        return {true, {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"}, {}};
    return {false, {}, "the tests run as root and cannot become nobody with setpriv"};
}

std::optional<std::string> inUnprivilegedChild(const std::function<std::string()>& body) {
    int channel[2];
    if (::pipe(channel) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        ::close(channel[0]);
        constexpr uid_t nobody = 65534;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            ::_exit(3);
        const std::string result = body();
        const bool sent = ::write(channel[1], result.data(), result.size()) == static_cast<ssize_t>(result.size());
        ::_exit(sent ? 0 : 4);
    }
    ::close(channel[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) result.append(buffer, static_cast<std::size_t>(n));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return result;
}

void openToEveryone(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::permissions(folder, fs::perms::all, ec);
    for (const auto& entry : fs::directory_iterator(folder, ec))
        fs::permissions(entry.path(),
                        entry.is_directory() ? fs::perms::all
                                             : fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                                   fs::perms::group_write | fs::perms::others_read |
                                                   fs::perms::others_write,
                        ec);
}

namespace {

std::string cell(int x, int y) { return "(" + std::to_string(x) + ", " + std::to_string(y) + ")"; }

}  // namespace

std::vector<std::string> invariantProblems(const Labyrinth& m, ModelStage stage) {
    const bool generated = stage == ModelStage::Generated;
    std::vector<std::string> problems;
    auto fail = [&](const std::string& text) { problems.push_back(text); };

    // Entries: all claimed, inside the labyrinth, each owning its cell unless
    // a later anchor took it; the rest of the list untouched.
    std::set<std::pair<int, int>> entryCells;
    for (int e = 0; e < entryCount; ++e) {
        const int x = m.entryX[static_cast<std::size_t>(e)];
        const int y = m.entryY[static_cast<std::size_t>(e)];
        if (m.entryUsed[static_cast<std::size_t>(e)] != 1) fail("entry " + std::to_string(e) + " not claimed");
        if (x >= mazeSize || y >= mazeSize) fail("entry " + std::to_string(e) + " outside at " + cell(x, y));
        entryCells.insert({x, y});
        const int owner = m.mapEntry(x, y);
        if (owner != e && !(e < areaCount && owner > e && owner < areaCount))
            fail("entry " + std::to_string(e) + " lost its cell " + cell(x, y) + " to " + std::to_string(owner));
    }
    for (int e = entryCount; e < entryListSize; ++e)
        if (m.entryUsed[static_cast<std::size_t>(e)] != 0 || m.entryX[static_cast<std::size_t>(e)] != 0 ||
            m.entryY[static_cast<std::size_t>(e)] != 0 || m.entryArea[static_cast<std::size_t>(e)] != 0)
            fail("entry " + std::to_string(e) + " was touched");

    int rooms = 0, items = 0, seconds = 0;
    std::set<int> numbered;
    std::set<int> linkNumbers;
    for (int x = 0; x < gridSize; ++x)
        for (int y = 0; y < gridSize; ++y) {
            const bool edge = x == mazeSize || y == mazeSize;
            const bool room = m.mapEntry(x, y) >= 0;
            if (edge && (room || m.mapDoors(x, y) != 0 || m.mapArea(x, y) != noArea || m.mapMark(x, y) != noMark ||
                         m.mapLink(x, y) != noLink)) {
                fail("row or column 24 changed at " + cell(x, y));
                continue;
            }
            if (!room) {
                if (m.mapDoors(x, y) != 0 || m.mapArea(x, y) != noArea || m.mapMark(x, y) != noMark ||
                    m.mapLink(x, y) != noLink)
                    fail("empty cell " + cell(x, y) + " is not blank");
                continue;
            }
            ++rooms;
            if (m.mapArea(x, y) > 10) fail("room " + cell(x, y) + " has area " + std::to_string(m.mapArea(x, y)));
            if (m.entryArea[static_cast<std::size_t>(m.mapEntry(x, y))] != m.mapArea(x, y))
                fail("entry of " + cell(x, y) + " does not carry its final area");
            // Doors: symmetric, and only between rooms.
            const int doors = m.mapDoors(x, y);
            for (const Direction& side : doorSides) {
                if ((doors & side.bit) == 0) continue;
                const int nx = x + side.dx, ny = y + side.dy;
                if (nx < 0 || ny < 0 || nx >= mazeSize || ny >= mazeSize)
                    fail("door out of the labyrinth at " + cell(x, y));
                else if (m.mapEntry(nx, ny) < 0)
                    fail("door into an empty cell at " + cell(x, y));
                else if ((m.mapDoors(nx, ny) & side.back) == 0)
                    fail("one-sided door between " + cell(x, y) + " and " + cell(nx, ny));
            }
            const int mark = m.mapMark(x, y);
            if (mark == itemMark) ++items;
            else if (mark == secondMark) ++seconds;
            else if (mark != noMark) {
                if (mark < 11 || mark > 21) fail("unknown mark " + std::to_string(mark) + " at " + cell(x, y));
                if (!numbered.insert(mark).second) fail("two rooms numbered " + std::to_string(mark));
                if ((mark == areaZeroMark) != (m.mapArea(x, y) == 0))
                    fail("numbered room " + cell(x, y) + " in the wrong area");
            }
            const int link = m.mapLink(x, y);
            if (link != noLink) {
                if (link < 1 || link > 10) fail("link number " + std::to_string(link) + " at " + cell(x, y));
                if (!linkNumbers.insert(link).second) fail("link number " + std::to_string(link) + " twice");
                if (mark != noMark) fail("link from a marked room at " + cell(x, y));
                if (m.mapArea(x, y) >= link) fail("link " + std::to_string(link) + " from a larger area");
                if (generated && m.corridorUsed[static_cast<std::size_t>(link)] != 1)
                    fail("link " + std::to_string(link) + " not flagged");
                bool doorIn = false;
                for (const Direction& side : doorSides) {
                    const int nx = x + side.dx, ny = y + side.dy;
                    if ((doors & side.bit) != 0 && nx >= 0 && ny >= 0 && nx < mazeSize && ny < mazeSize &&
                        m.mapArea(nx, ny) == link)
                        doorIn = true;
                }
                if (!doorIn) fail("link " + std::to_string(link) + " at " + cell(x, y) + " has no door into its area");
            }
        }
    if (rooms != static_cast<int>(entryCells.size()))
        fail(std::to_string(rooms) + " rooms for " + std::to_string(entryCells.size()) + " distinct entry cells");
    if (items > maxItemRooms || (generated && items != m.itemCount)) fail(std::to_string(items) + " item rooms");
    if (seconds > 21 || (generated && seconds != m.markCount - markCountStart))
        fail(std::to_string(seconds) + " 44 rooms");
    if (m.orderCount != 10 || m.visitIndex != 11 || m.reachedCount != 10 || m.linkPass != 1)
        fail("ordering counters " + std::to_string(m.orderCount) + "/" + std::to_string(m.visitIndex) + "/" +
             std::to_string(m.reachedCount));
    for (std::size_t i = 0; i < m.itemList.size(); ++i)
        if (m.itemList[i] != (i < itemTable.size() ? itemTable[i] : 0)) fail("item list changed at " + std::to_string(i));
    return problems;
}

}  // namespace labyrinth::testing
