#pragma once
// Runs a server byte stream through a fresh harness, whole, byte by byte and cut at every
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

// Scroll requests and beeps follow the cuts of the stream by nature (a partial line is shown and
// scrolled at once); everything else must not. Adjacent texts of one view in one style merge.
inline std::vector<std::string> Normalised(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const auto& line : log) {
        if (line.size() >= 7 && line.compare(line.size() - 7, 7, " finish") == 0)
            continue;
        if (line == "panel beep")
            continue;
        const auto colon = line.find(':');
        const bool isText = line.find(" text(") != std::string::npos && colon != std::string::npos;
        if (isText && !out.empty()) {
            std::string& last = out.back();
            const auto lastColon = last.find(':');
            if (last.find(" text(") != std::string::npos &&
                last.compare(0, lastColon, line, 0, colon) == 0) {
                last += line.substr(colon + 1);
                continue;
            }
        }
        out.push_back(line);
    }
    return out;
}

inline std::string Join(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines)
        s += l + "\n";
    return s;
}

// Feeds `stream` whole, byte by byte, and in two pieces cut at every offset; returns the whole
// feed's outcome after checking the others against it.
inline Outcome ExpectSameHoweverCut(const std::string& stream, const StreamSetup& setup = {}) {
    const Outcome whole = RunStream(setup, {stream});
    const std::string expected = Join(Normalised(whole.log));
    auto check = [&](const std::vector<std::string>& chunks, const std::string& how) {
        const Outcome o = RunStream(setup, chunks);
        EXPECT_EQ(Join(Normalised(o.log)), expected) << how;
        EXPECT_EQ(o.wire, whole.wire) << how;
        EXPECT_EQ(o.carry, whole.carry) << how;
    };
    std::vector<std::string> bytes;
    for (char c : stream)
        bytes.emplace_back(1, c);
    check(bytes, "byte by byte");
    for (std::size_t k = 1; k < stream.size(); ++k) {
        check({stream.substr(0, k), stream.substr(k)}, "cut at " + std::to_string(k));
        if (::testing::Test::HasFailure())
            break;
    }
    return whole;
}

} // namespace kivra_test
