#pragma once
// Text on the wire, in saved transcripts and in the registry is single-byte Windows-1252, the
// code page chat servers and their users write. These two functions are the only crossing
// between those bytes and Qt strings: every layer that shows wire text or sends typed text
// goes through them.

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace kivra::platform {

// Every byte maps to one character. The five bytes Windows-1252 leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, so bytes survive a round trip.
QString FromWire(std::string_view bytes);
inline QString FromWire(const QByteArray& bytes) {
    return FromWire(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}
inline QString FromWire(const char* bytes) {
    return FromWire(std::string_view(bytes));
}

// Each character becomes its Windows-1252 byte; a character the code page lacks becomes "?".
QByteArray ToWire(const QString& text);
std::string ToWireString(const QString& text);

} // namespace kivra::platform
