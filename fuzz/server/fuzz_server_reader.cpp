// Feeds arbitrary client bytes to the command reader, whole and cut at a position taken from
// the input, and checks that both give the same events and that held bytes stay bounded.
#include "chatformat.h"
#include "commandreader.h"
#include "tunnelcodec.h"
#include "worldfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace kivra::server;

namespace {

std::vector<ReaderEvent> Run(const std::string& bytes, std::size_t cut) {
    CCommandReader reader;
    std::vector<ReaderEvent> events;
    reader.Feed(bytes.data(), cut, events);
    if (reader.Pending() > CCommandReader::kMaxLine + CCommandReader::kMaxBlockBytes + 8)
        std::abort();
    reader.Feed(bytes.data() + cut, bytes.size() - cut, events);
    if (reader.Pending() > CCommandReader::kMaxLine + CCommandReader::kMaxBlockBytes + 8)
        std::abort();
    return events;
}

bool Same(const std::vector<ReaderEvent>& a, const std::vector<ReaderEvent>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].text != b[i].text ||
            a[i].entries.size() != b[i].entries.size())
            return false;
        for (std::size_t j = 0; j < a[i].entries.size(); ++j) {
            if (a[i].entries[j].keyword != b[i].entries[j].keyword ||
                a[i].entries[j].value != b[i].entries[j].value)
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = size ? data[0] % (size + 1) : 0;
    const auto whole = Run(bytes, size);
    const auto split = Run(bytes, cut);
    if (!Same(whole, split))
        std::abort();

    CUserStyles styles;
    for (const auto& ev : whole) {
        if (ev.kind == ReaderEvent::Kind::Line) {
            styles.ApplyDisplay(ev.text);
            const auto form = FormDecode(ev.text);
            if (auto d = FormValue(form, "Data")) {
                // Non-canonical padding bits may decode; the bytes must survive a round trip.
                if (auto raw = Base64Decode(*d); raw && Base64Decode(Base64Encode(*raw)) != raw)
                    std::abort();
            }
            ParseNumber(ev.text);
        }
        for (const auto& e : ev.entries) {
            // Whatever a client sends comes back inside blocks; it must never end a block early.
            const std::string block = Lower(Block(e.keyword, e.value));
            if (block.find("<end>") != block.size() - 7)
                std::abort();
        }
    }
    for (int k = 0; k < kKindCount; ++k) {
        const std::string esc = Escape(styles.style[k]);
        if (esc.size() < 4 || esc[0] != '\x1b' || esc.back() != 'm')
            std::abort();
    }
    ParseWorld(bytes);
    ParseAccounts(bytes);
    return 0;
}
