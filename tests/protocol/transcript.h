#pragma once
// Runs a server byte stream through a fresh harness, whole, byte by byte and cut in two at every
// offset, and compares what reached the views, lists, dialogs and the wire.

#include "fakes.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kivra_test {

using StreamSetup = std::function<void(Harness&)>;

struct Outcome {
    std::vector<std::string> log;
    std::string wire;
    std::string carry;
};

inline Outcome RunStream(const StreamSetup& setup, const std::vector<std::string>& chunks) {
    Harness h;
    if (setup)
        setup(h);
    for (const auto& c : chunks)
        h.Receive(c);
    return {h.rec.log, h.rec.wire, h.carry};
}

inline std::string Join(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines)
        s += l + "\n";
    return s;
}

// Scroll requests and beeps follow the cuts of the stream by nature (a partial line is shown and
// scrolled at once); everything else must not. Adjacent texts of one view in one style merge.
inline std::string Normalised(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const auto& line : log) {
        if (line == "panel beep" || line.ends_with(" finish"))
            continue;
        const auto colon = line.find(':');
        if (line.find(" text(") < colon && !out.empty() && out.back().find(" text(") < colon &&
            out.back().compare(0, colon + 1, line, 0, colon + 1) == 0) {
            out.back() += line.substr(colon + 1);
            continue;
        }
        out.push_back(line);
    }
    return Join(out);
}

// Feeds `stream` whole, byte by byte, and in two pieces cut at every offset; returns the whole
// feed's outcome after checking the others against it.
inline Outcome ExpectSameHoweverCut(const std::string& stream, const StreamSetup& setup = {}) {
    const Outcome whole = RunStream(setup, {stream});
    auto check = [&](const std::vector<std::string>& chunks, const std::string& how) {
        const Outcome o = RunStream(setup, chunks);
        EXPECT_EQ(Normalised(o.log), Normalised(whole.log)) << how;
        EXPECT_EQ(o.wire, whole.wire) << how;
        EXPECT_EQ(o.carry, whole.carry) << how;
        return !::testing::Test::HasFailure();
    };
    std::vector<std::string> bytes;
    for (char c : stream)
        bytes.emplace_back(1, c);
    check(bytes, "byte by byte");
    for (std::size_t k = 1; k < stream.size(); ++k) {
        if (!check({stream.substr(0, k), stream.substr(k)}, "cut at " + std::to_string(k)))
            break;
    }
    return whole;
}

} // namespace kivra_test
