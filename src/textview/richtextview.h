#pragma once
// RichTextView: the styled-text engine behind the chat views. It keeps a document of styled
// runs and embedded items (pictures and hot-spot texts), lays it out, scrolls it and paints
// it, and is driven through numbered messages (rtvmessages.h) plus a few direct document
// operations, so its users never touch the document model itself.

#include "rtvmessages.h"

#include <QImage>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <cstdint>
#include <map>

class RichTextView;

// The direct document operations, reached through the reference RTV_GETDOCUMENT returns.
class RichTextDocument {
public:
    explicit RichTextDocument(RichTextView& view) : m_view(view) {}
    // Number of characters in the document (a line break and a picture count one each).
    int TextSize() const;
    // Removes the characters and items in [start, end).
    void DeleteRange(int start, int end, bool redraw);
    // Scrolls so that `position` is in view; -1 is the end of the document, 0 its start.
    void ScrollTo(int position, bool redraw);
    // Brings the caret's display up to date after a programmatic change.
    void CaretUpdate(bool redraw);

private:
    RichTextView& m_view;
};

class RichTextView : public QTextEdit {
    Q_OBJECT
public:
    // The class registration: counted, once per user. Each call sets the default face of new
    // views; the first one also prepares the engine.
    static void RegisterClass(const QString& defaultFace);
    static void UnregisterClass();
    static int RegistrationCount();
    static QString DefaultFace();

    explicit RichTextView(QWidget* parent = nullptr, int controlId = 0);
    ~RichTextView() override;

    // The message interface. Pointers travel in lParam as pointer-sized integers.
    std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    RichTextDocument& Document() { return m_doc; }
    int ControlId() const { return m_controlId; }
    std::uint32_t Flags() const { return m_flags; }
    std::uint32_t Attributes() const { return m_attributes; }
    // The laid-out height of the document in pixels; 0 for an empty document.
    int DocumentHeight() const;
    // The document as plain text, line breaks as "\n", pictures left out, no control bytes.
    QByteArray PlainText() const;
    // The user's copy command (Ctrl+C and the keyboard hook).
    void Copy() { copy(); }

    // While deferred, insertions and deletions are not laid out one by one but all together when
    // the outermost EndDeferredLayout comes, or earlier when the viewport needs the layout.
    // Heights and scroll positions read in between are those of the last layout. Calls nest.
    void BeginDeferredLayout();
    void EndDeferredLayout();
    bool LayoutDeferred() const { return m_deferOpen; }

signals:
    // The notifications a parent window would receive.
    void notification(unsigned message, quintptr wParam, qintptr lParam);

protected:
    // Called when an embedded item leaves the document (deleted range, cleared view).
    virtual void OnItemDiscarded(const RtvItem& item);
    QMimeData* createMimeDataFromSelection() const override;
    // A chat view scrolls by a line for every line that arrives: repainting what shows at the next
    // paint is far cheaper than moving the pixels on every step.
    void scrollContentsBy(int dx, int dy) override;
    // Anything that reaches the viewport (paint, mouse, resize) needs the text laid out.
    bool viewportEvent(QEvent* event) override;

private:
    void FlushDeferredLayout();

    int m_deferDepth = 0;
    bool m_deferOpen = false;
    QTextCursor m_deferCursor;

    friend class RichTextDocument;
    struct StoredItem {
        RtvItem record;
        QString resource; // picture resource name, empty for text items
    };

    std::intptr_t InsertText(const RtvCountedText* counted);
    std::intptr_t InsertItem(RtvItem* record);
    std::intptr_t GetItem(std::uintptr_t id, RtvItem* out) const;
    std::intptr_t HitTest(std::intptr_t lParam) const;
    std::intptr_t AttachItem(const RtvItem* record) const;
    std::intptr_t SaveText(int fd) const;
    void SetFont(const RtvLogFont* font, bool toExisting);
    void GetFont(RtvLogFont* font) const;
    void MoveCaret(unsigned code, std::intptr_t position);
    void ApplyFlags();
    void SetMargins(const std::int32_t* margins);
    void Repaint();
    void NotifyChanged();
    void DiscardItemsIn(int start, int end);

    RichTextDocument m_doc;
    int m_controlId;
    std::uint32_t m_flags = 0;
    std::uint32_t m_attributes = 0;
    // The insertion point and its format, apart from the user's own selection so that
    // appending never disturbs what the user is selecting.
    QTextCursor m_insert;
    QTextCharFormat m_format;
    std::map<std::uintptr_t, StoredItem> m_items;
    std::uintptr_t m_nextItem = 1;
};
