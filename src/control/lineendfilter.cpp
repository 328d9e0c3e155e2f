#include "lineendfilter.h"

namespace kivra::control {

std::string LineEndFilter::Feed(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n' && m_bAfterCR) {
            m_bAfterCR = false; // the LF of a CR LF already written
            continue;
        }
        m_bAfterCR = c == '\r';
        out.push_back(c == '\r' ? '\n' : c);
    }
    return out;
}

} // namespace kivra::control
