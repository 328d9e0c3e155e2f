#pragma once
// The headless host prints the conversation with LF line ends, while the views are fed CR LF
// and lone CR in chunks that may split a CR LF pair.

#include <string>
#include <string_view>

namespace kivra::control {

// Turns CR LF and lone CR into LF across chunk boundaries.
class LineEndFilter {
public:
    std::string Feed(std::string_view text);

private:
    bool m_bAfterCR = false;
};

} // namespace kivra::control
