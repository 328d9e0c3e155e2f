#include "richtextview.h"

#include "codepage.h"

#include <QAbstractTextDocumentLayout>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextImageFormat>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <set>
#include <unistd.h>

namespace {

int g_registrations = 0;
QString g_defaultFace = QStringLiteral("Times New Roman");

// The char-format property that marks a run as an embedded item, with the item's id.
constexpr int kItemIdProperty = QTextFormat::UserProperty + 1;
// The block-format property that marks a paragraph as the continuation of the one before: a
// line is split into paragraphs of at most kMaxParagraph characters, because the layout breaks
// a line without blanks in time that grows with the square of its paragraph's length, and an
// insertion lays out its whole paragraph again. Plain text joins continuations back up.
constexpr int kContinuationProperty = QTextFormat::UserProperty + 2;
constexpr int kMaxParagraph = 2048;
const QString kAnchorPrefix = QStringLiteral("rtv:");
const QString kClipboardFormat = QStringLiteral("application/x-richtextview");

QColor ToQColor(std::uint32_t c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

std::uint32_t FromQColor(const QColor& c) {
    return RtvRgb(unsigned(c.red()), unsigned(c.green()), unsigned(c.blue()));
}

// Wire text (Windows-1252) as the document holds it: CR LF and lone CR become one line break,
// and control characters that have no glyph (C0, DEL, and the C1 codes the code page leaves
// unassigned) are dropped rather than painted as boxes.
bool Printable(char16_t u) {
    return u == '\n' || u == '\t' || (u >= 0x20 && u != 0x7F && !(u >= 0x80 && u < 0xA0));
}

QString DecodeText(const char* text, std::size_t length) {
    const QString wide = kivra::platform::FromWire(std::string_view(text, length));
    QString out;
    out.reserve(wide.size());
    for (qsizetype i = 0; i < wide.size(); ++i) {
        const char16_t u = wide.at(i).unicode();
        if (u == '\r') {
            if (i + 1 < wide.size() && wide.at(i + 1) == QLatin1Char('\n'))
                continue;
            out.append(QLatin1Char('\n'));
        } else if (Printable(u)) {
            out.append(QChar(u));
        }
    }
    return out;
}

} // namespace

// --- direct document operations ---

int RichTextDocument::TextSize() const {
    return std::max(0, m_view.document()->characterCount() - 1);
}

void RichTextDocument::DeleteRange(int start, int end, bool redraw) {
    const int size = TextSize();
    start = std::clamp(start, 0, size);
    end = std::clamp(end, 0, size);
    if (end <= start)
        return;
    m_view.DiscardItemsIn(start, end);
    if (redraw)
        m_view.Repaint();
    m_view.NotifyChanged();
}

void RichTextDocument::ScrollTo(int position, bool redraw) {
    QScrollBar* bar = m_view.verticalScrollBar();
    if (position == 0) {
        bar->setValue(0);
    } else if (position < 0 || position >= TextSize()) {
        // The layout reports its new size to the scroll bar a little later; scroll to where
        // the end is now, not where the bar last heard it was.
        const int max = std::max(0, m_view.DocumentHeight() - m_view.viewport()->height());
        if (bar->maximum() < max)
            bar->setRange(0, max);
        bar->setValue(max);
    } else {
        QTextCursor c(m_view.document());
        c.setPosition(position);
        const QRect r = m_view.cursorRect(c);
        if (r.top() < 0 || r.bottom() > m_view.viewport()->height())
            bar->setValue(bar->value() + r.top());
    }
    if (redraw)
        m_view.Repaint();
}

void RichTextDocument::CaretUpdate(bool redraw) {
    if (redraw)
        m_view.Repaint();
}

// --- registration ---

void RichTextView::RegisterClass(const QString& defaultFace) {
    ++g_registrations;
    if (!defaultFace.isEmpty())
        g_defaultFace = defaultFace;
}

void RichTextView::UnregisterClass() {
    if (g_registrations > 0)
        --g_registrations;
}

int RichTextView::RegistrationCount() {
    return g_registrations;
}
QString RichTextView::DefaultFace() {
    return g_defaultFace;
}

// --- the view ---

RichTextView::RichTextView(QWidget* parent, int controlId)
    : QTextEdit(parent), m_doc(*this), m_controlId(controlId) {
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    document()->setUndoRedoEnabled(false);
    document()->setDocumentMargin(0);
    QFont base(g_defaultFace);
    base.setPointSize(10);
    document()->setDefaultFont(base);
    m_format.setForeground(QColor(Qt::black));
    m_insert = QTextCursor(document());
    m_flags = RTVF_READONLY | RTVF_WORDWRAP | RTVF_VSCROLL | RTVF_SELECTABLE;
    ApplyFlags();
    viewport()->setCursor(Qt::IBeamCursor);
}

RichTextView::~RichTextView() = default;

int RichTextView::DocumentHeight() const {
    if (document()->isEmpty())
        return 0;
    return int(std::ceil(document()->documentLayout()->documentSize().height()));
}

void RichTextView::BeginDeferredLayout() {
    if (m_deferDepth++ == 0) {
        m_deferCursor = QTextCursor(document());
        m_deferCursor.beginEditBlock();
        m_deferOpen = true;
    }
}

void RichTextView::EndDeferredLayout() {
    if (m_deferDepth == 0)
        return;
    if (--m_deferDepth == 0)
        FlushDeferredLayout();
}

void RichTextView::FlushDeferredLayout() {
    if (!m_deferOpen)
        return;
    m_deferOpen = false;
    m_deferCursor.endEditBlock();
    m_deferCursor = QTextCursor();
}

bool RichTextView::viewportEvent(QEvent* event) {
    FlushDeferredLayout();
    return QTextEdit::viewportEvent(event);
}

void RichTextView::scrollContentsBy(int, int) {
    viewport()->update();
}

void RichTextView::Repaint() {
    viewport()->update();
}

void RichTextView::NotifyChanged() {
    if (m_attributes & RTVA_PRIVATE_NOTIFY)
        emit notification(RTVN_PRIVATE_CHANGE, quintptr(m_controlId), 0);
    else
        emit notification(RTV_WM_COMMAND, (quintptr(RTVN_CHANGE) << 16) | quintptr(m_controlId),
                          qintptr(this));
}

void RichTextView::ApplyFlags() {
    setReadOnly(m_flags & RTVF_READONLY);
    setLineWrapMode((m_flags & RTVF_WORDWRAP) ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    setHorizontalScrollBarPolicy((m_flags & RTVF_WORDWRAP) ? Qt::ScrollBarAlwaysOff
                                                           : Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy((m_flags & RTVF_VSCROLL) ? Qt::ScrollBarAlwaysOn
                                                        : Qt::ScrollBarAsNeeded);
    if (m_flags & RTVF_SELECTABLE)
        setTextInteractionFlags(
            Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard |
            ((m_flags & RTVF_READONLY) ? Qt::NoTextInteraction : Qt::TextEditable));
    else
        setTextInteractionFlags((m_flags & RTVF_READONLY) ? Qt::NoTextInteraction
                                                          : Qt::TextEditorInteraction);
}

void RichTextView::SetMargins(const std::int32_t* m) {
    QTextFrameFormat f = document()->rootFrame()->frameFormat();
    f.setLeftMargin(m[0]);
    f.setTopMargin(m[1]);
    f.setRightMargin(m[2]);
    f.setBottomMargin(m[3]);
    document()->rootFrame()->setFrameFormat(f);
}

std::intptr_t RichTextView::SendMessage(unsigned message, std::uintptr_t wParam,
                                        std::intptr_t lParam) {
    switch (message) {
    case RTV_SETFLAGS:
        m_flags = std::uint32_t(lParam);
        ApplyFlags();
        if (wParam)
            Repaint();
        return 0;
    case RTV_SETATTRIBUTES:
        m_attributes = std::uint32_t(lParam);
        return 0;
    case RTV_GETDOCUMENT:
        return reinterpret_cast<std::intptr_t>(&m_doc);
    case RTV_GETHEIGHT:
        return DocumentHeight();
    case RTV_GETSCROLLPOS: {
        auto* out = reinterpret_cast<std::int32_t*>(lParam);
        if (out) {
            out[0] = verticalScrollBar()->value();
            out[1] = horizontalScrollBar()->value();
        }
        return 0;
    }
    case RTV_UPDATE:
        document()->documentLayout()->documentSize();
        Repaint();
        return 0;
    case RTV_SETFONT:
        SetFont(reinterpret_cast<const RtvLogFont*>(lParam), wParam != 0);
        return 0;
    case RTV_GETFONT:
        GetFont(reinterpret_cast<RtvLogFont*>(lParam));
        return 0;
    case RTV_SETSTYLE: {
        const auto bits = std::uint32_t(lParam);
        if (bits == 0) {
            m_format.setFontWeight(QFont::Normal);
            m_format.setFontItalic(false);
            m_format.setFontUnderline(false);
        } else {
            if (bits & RTV_BOLD)
                m_format.setFontWeight(m_format.fontWeight() >= QFont::Bold ? QFont::Normal
                                                                            : QFont::Bold);
            if (bits & RTV_ITALIC)
                m_format.setFontItalic(!m_format.fontItalic());
            if (bits & RTV_UNDERLINE)
                m_format.setFontUnderline(!m_format.fontUnderline());
        }
        return 0;
    }
    case RTV_GETSTYLE:
        return std::intptr_t((m_format.fontWeight() >= QFont::Bold ? std::uint32_t(RTV_BOLD) : 0u) |
                             (m_format.fontItalic() ? std::uint32_t(RTV_ITALIC) : 0u) |
                             (m_format.fontUnderline() ? std::uint32_t(RTV_UNDERLINE) : 0u));
    case RTV_SETCOLOR:
        m_format.setForeground(ToQColor(std::uint32_t(lParam)));
        return 0;
    case RTV_GETCOLOR:
        return FromQColor(m_format.foreground().color());
    case RTV_GETSEL: {
        auto* out = reinterpret_cast<std::int32_t*>(lParam);
        if (out) {
            out[0] = m_insert.selectionStart();
            out[1] = m_insert.selectionEnd();
        }
        return 0;
    }
    case RTV_INSERTTEXT:
        return InsertText(reinterpret_cast<const RtvCountedText*>(lParam));
    case RTV_MOVECARET:
        MoveCaret(unsigned(wParam), lParam);
        return 0;
    case RTV_SAVETEXT:
        return SaveText(int(wParam));
    case RTV_INSERTITEM: {
        const auto r = InsertItem(reinterpret_cast<RtvItem*>(lParam));
        if (wParam)
            Repaint();
        return r;
    }
    case RTV_GETITEM:
        return GetItem(wParam, reinterpret_cast<RtvItem*>(lParam));
    case RTV_HITTEST:
        return HitTest(lParam);
    case RTV_ATTACHITEM:
        return AttachItem(reinterpret_cast<const RtvItem*>(lParam));
    case RTV_SETMARGINS:
        if (lParam)
            SetMargins(reinterpret_cast<const std::int32_t*>(lParam));
        if (wParam)
            Repaint();
        return 0;
    default:
        return 0;
    }
}

std::intptr_t RichTextView::InsertText(const RtvCountedText* counted) {
    if (!counted || !counted->text || counted->length <= 0)
        return 0;
    const QString text = DecodeText(counted->text, std::size_t(counted->length));
    if (text.isEmpty())
        return 0;
    m_insert.clearSelection();
    // Every paragraph break is made here, so a new paragraph never inherits the continuation
    // mark of the one it follows.
    QTextBlockFormat continuation;
    continuation.setProperty(kContinuationProperty, true);
    // One edit, laid out once, however many pieces it is made of.
    m_insert.beginEditBlock();
    for (qsizetype start = 0; start <= text.size();) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        while (start < end) {
            const qsizetype room = kMaxParagraph - m_insert.positionInBlock();
            if (room <= 0) {
                m_insert.insertBlock(continuation, m_format);
                continue;
            }
            const qsizetype n = std::min(room, end - start);
            m_insert.insertText(text.mid(start, n), m_format);
            start += n;
        }
        if (end < text.size())
            m_insert.insertBlock(QTextBlockFormat(), m_format);
        start = end + 1;
    }
    m_insert.endEditBlock();
    NotifyChanged();
    return 0;
}

std::intptr_t RichTextView::InsertItem(RtvItem* record) {
    if (!record)
        return 0;
    const std::uintptr_t id = m_nextItem++;
    QTextCharFormat format = m_format;
    format.setProperty(kItemIdProperty, qulonglong(id));
    format.setAnchor(true);
    format.setAnchorHref(kAnchorPrefix + QString::number(qulonglong(id)));

    StoredItem stored{*record, {}};
    stored.record.item = id;
    stored.record.owner = reinterpret_cast<std::uintptr_t>(this);

    // A separate cursor at the record's position; the insertion point, when it stands there,
    // moves on behind the new item as every cursor at an insertion does.
    QTextCursor at(document());
    at.setPosition(std::clamp(int(record->position), 0, m_doc.TextSize()));

    if (record->type == RTV_ITEM_PICTURE) {
        const auto* image = reinterpret_cast<const QImage*>(record->data);
        if (!image || image->isNull()) {
            emit notification(RTVN_INSERT_FAILED, quintptr(m_controlId), 0);
            return 0;
        }
        stored.resource = QStringLiteral("rtv-image:%1").arg(qulonglong(id));
        document()->addResource(QTextDocument::ImageResource, QUrl(stored.resource), *image);
        QTextImageFormat img;
        img.merge(format);
        img.setName(stored.resource);
        img.setWidth(record->width ? record->width : image->width());
        img.setHeight(record->height ? record->height : image->height());
        at.insertImage(img);
    } else {
        const char* text = reinterpret_cast<const char*>(record->data);
        const QString shown = text ? DecodeText(text, std::strlen(text)) : QString();
        if (shown.isEmpty()) {
            emit notification(RTVN_INSERT_FAILED, quintptr(m_controlId), 0);
            return 0;
        }
        at.insertText(shown, format);
    }
    // Only a created item gets its id; a failed insertion leaves the record's id at 0.
    record->item = id;
    record->owner = stored.record.owner;
    m_items.emplace(id, stored);
    NotifyChanged();
    return 0;
}

std::intptr_t RichTextView::GetItem(std::uintptr_t id, RtvItem* out) const {
    const auto it = m_items.find(id);
    if (it == m_items.end() || !out)
        return 0;
    *out = it->second.record;
    return 1;
}

std::intptr_t RichTextView::HitTest(std::intptr_t lParam) const {
    const int x = std::int16_t(lParam & 0xFFFF);
    const int y = std::int16_t((lParam >> 16) & 0xFFFF);
    const QString href = anchorAt(QPoint(x, y));
    if (!href.startsWith(kAnchorPrefix))
        return 0;
    bool ok = false;
    const auto id = href.mid(kAnchorPrefix.size()).toULongLong(&ok);
    if (!ok || !m_items.count(id))
        return 0;
    return std::intptr_t(id);
}

std::intptr_t RichTextView::AttachItem(const RtvItem* record) const {
    if (!record)
        return 0;
    if (record->item && m_items.count(record->item))
        return std::intptr_t(record->item);
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
        if (it->second.record.reference == record->reference &&
            it->second.record.position == record->position)
            return std::intptr_t(it->first);
    return 0;
}

void RichTextView::MoveCaret(unsigned code, std::intptr_t position) {
    m_insert.clearSelection();
    switch (code) {
    case RTV_CARET_POSITION:
        m_insert.setPosition(std::clamp(int(position), 0, m_doc.TextSize()));
        break;
    case RTV_CARET_DOC_START:
        m_insert.movePosition(QTextCursor::Start);
        break;
    case RTV_CARET_LINE_START:
        m_insert.movePosition(QTextCursor::StartOfBlock);
        break;
    case RTV_CARET_DOC_END:
        m_insert.movePosition(QTextCursor::End);
        break;
    case RTV_CARET_LINE_END:
        m_insert.movePosition(QTextCursor::EndOfBlock);
        break;
    case RTV_CARET_WORD_END:
        m_insert.movePosition(QTextCursor::EndOfWord);
        break;
    case RTV_CARET_LINE_UP:
        m_insert.movePosition(QTextCursor::Up);
        break;
    case RTV_CARET_LINE_DOWN:
        m_insert.movePosition(QTextCursor::Down);
        break;
    default:
        break;
    }
}

void RichTextView::SetFont(const RtvLogFont* lf, bool toExisting) {
    if (!lf)
        return;
    const QString face = kivra::platform::FromWire(
        std::string_view(lf->lfFaceName, strnlen(lf->lfFaceName, sizeof(lf->lfFaceName))));
    const int px = std::abs(lf->lfHeight);
    if (!face.isEmpty())
        m_format.setFontFamilies({face});
    if (px > 0)
        m_format.setProperty(QTextFormat::FontPixelSize, px);
    m_format.setFontWeight(lf->lfWeight >= 700 ? QFont::Bold : QFont::Normal);
    m_format.setFontItalic(lf->lfItalic != 0);
    m_format.setFontUnderline(lf->lfUnderline != 0);
    m_format.setFontStrikeOut(lf->lfStrikeOut != 0);

    QFont def = document()->defaultFont();
    if (!face.isEmpty())
        def.setFamilies({face});
    if (px > 0)
        def.setPixelSize(px);
    document()->setDefaultFont(def);

    if (toExisting && !document()->isEmpty()) {
        // Only face and size: the runs keep their own weight, slant and colour.
        QTextCharFormat sizeOnly;
        if (!face.isEmpty())
            sizeOnly.setFontFamilies({face});
        if (px > 0)
            sizeOnly.setProperty(QTextFormat::FontPixelSize, px);
        QTextCursor all(document());
        all.select(QTextCursor::Document);
        all.mergeCharFormat(sizeOnly);
        Repaint();
    }
}

void RichTextView::GetFont(RtvLogFont* lf) const {
    if (!lf)
        return;
    *lf = RtvLogFont{};
    const QFont f = m_format.font().resolve(document()->defaultFont());
    int px = f.pixelSize();
    if (px <= 0)
        px = int(std::lround(f.pointSizeF() * 96.0 / 72.0));
    lf->lfHeight = -px;
    lf->lfWeight = f.weight() >= QFont::Bold ? 700 : 400;
    lf->lfItalic = f.italic();
    lf->lfUnderline = f.underline();
    lf->lfStrikeOut = f.strikeOut();
    const QByteArray face =
        kivra::platform::ToWire(f.family()).left(qsizetype(sizeof(lf->lfFaceName) - 1));
    std::memcpy(lf->lfFaceName, face.constData(), std::size_t(face.size()));
}

QByteArray RichTextView::PlainText() const {
    QString text;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        if (b != document()->begin() && !b.blockFormat().hasProperty(kContinuationProperty))
            text.append(QLatin1Char('\n'));
        text.append(b.text());
    }
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == 0x2028 || u == 0x2029)
            out.append(QLatin1Char('\n'));
        else if (u == '\t' || u == 0xA0)
            out.append(QLatin1Char(' '));
        else if (u != QChar::ObjectReplacementCharacter && Printable(u))
            out.append(ch);
    }
    return kivra::platform::ToWire(out);
}

std::intptr_t RichTextView::SaveText(int fd) const {
    if (fd < 0)
        return 1;
    const QByteArray text = PlainText();
    const char* p = text.constData();
    qsizetype left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, std::size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 1;
        p += n;
        left -= n;
    }
    return 0;
}

void RichTextView::DiscardItemsIn(int start, int end) {
    // Ids that have a run inside the range; a run that also reaches outside keeps its item.
    std::set<std::uintptr_t> touched;
    for (QTextBlock b = document()->findBlock(start); b.isValid() && b.position() < end;
         b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.position() + f.length() <= start || f.position() >= end)
                continue;
            const QVariant v = f.charFormat().property(kItemIdProperty);
            if (v.isValid())
                touched.insert(std::uintptr_t(v.toULongLong()));
        }

    QTextCursor c(document());
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    c.removeSelectedText();

    if (touched.empty())
        return;
    for (QTextBlock b = document()->begin(); b.isValid() && !touched.empty(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QVariant v = it.fragment().charFormat().property(kItemIdProperty);
            if (v.isValid())
                touched.erase(std::uintptr_t(v.toULongLong()));
        }
    for (const auto id : touched) {
        const auto found = m_items.find(id);
        if (found == m_items.end())
            continue;
        const StoredItem gone = found->second;
        m_items.erase(found);
        if (!gone.resource.isEmpty())
            document()->addResource(QTextDocument::ImageResource, QUrl(gone.resource), QVariant());
        OnItemDiscarded(gone.record);
    }
}

void RichTextView::OnItemDiscarded(const RtvItem&) {}

QMimeData* RichTextView::createMimeDataFromSelection() const {
    QMimeData* data = QTextEdit::createMimeDataFromSelection();
    if (data && data->hasHtml())
        data->setData(kClipboardFormat, data->html().toUtf8());
    return data;
}
