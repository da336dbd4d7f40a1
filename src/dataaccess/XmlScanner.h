#pragma once

#include <QtGlobal>
#include <string>
#include <vector>

// A streaming XML scanner made for the parts of a workbook: fed a piece at a
// time, it hands out elements and text as they complete and keeps only the
// token not yet complete.  It checks what makes XML well-formed (names,
// nesting and matching end tags, quoted attributes without '<' and without
// duplicates, valid UTF-8 and XML characters, the five predefined entities
// and character references, comments without "--", CDATA only within the
// root element, the declaration only at the start) and stops at the end of
// the root element: nothing after it is read.  Documents in UTF-8 only.
//
// Element names are handed out without their prefix ("x:row" as "row");
// attributes keep theirs.  Texts come in pieces (a piece per input chunk at
// most), references and line ends resolved; comments and processing
// instructions are skipped, reported by their length; a document type stops
// the scan where it starts.
class XmlScanner
{
public:
    class Handler
    {
    public:
        virtual ~Handler() = default;
        // `attributes`: NUL-terminated name/value pairs, then nullptr.
        virtual void StartElement(const char* name, const char** attributes) = 0;
        virtual void EndElement(const char* name) = 0;
        virtual void Characters(const char* text, int length) = 0;
        // A comment or a processing instruction: its UTF-16 length.
        virtual void Remark(qsizetype) {}
        // A document type begins (the scan goes on unless the handler stops it).
        virtual void DocumentType() {}
    };

    explicit XmlScanner(Handler& handler) : m_handler(handler) {}

    // Room for `bytes` more input; fill it, then Scan() what was written.
    char* Room(qsizetype bytes);
    // Scans the `bytes` just written into Room(); `last` when the input ends
    // with them.  False once the scan has ended: malformed, stopped or the
    // root element closed.
    bool Scan(qsizetype bytes, bool last);
    // Stops the scan (from a handler: no further event is handed out).
    void Stop() { m_stopped = true; }

    bool Failed() const { return m_error != nullptr; }
    // What is malformed (in the words of the common XML parsers).
    const char* Error() const { return m_error; }
    // Where the last event began, in bytes of the input.
    qint64 EventOffset() const { return m_eventOffset; }
    // The root element has closed.
    bool Complete() const { return m_complete; }

private:
    enum class Step { Next, More, Fail };

    Step Text(char* p, char* end);
    Step CData(char* p, char* end);
    Step Markup(char* p, char* end);
    Step StartTag(char* p, char* end);
    Step EndTag(char* p, char* end);
    Step Comment(char* p, char* end);
    Step Instruction(char* p, char* end);
    bool Declaration(const char* p, const char* end);
    Step Fail(const char* error)
    {
        m_error = error;
        return Step::Fail;
    }
    void Event(const char* p) { m_eventOffset = m_base + (p - m_buffer.data()); }

    struct Attribute
    {
        char* name;
        int nameLength;
        char* value;
        int valueLength;
        bool normalise; // holds references or white space to replace
    };

    Handler& m_handler;
    std::vector<char> m_buffer;
    qsizetype m_pos = 0; // first byte not yet scanned
    qsizetype m_end = 0; // end of the input held
    qint64 m_base = 0;   // offset of m_buffer[0] in the input
    qint64 m_eventOffset = 0;
    bool m_last = false;
    bool m_atStart = true; // nothing but a byte order mark read yet
    bool m_inData = false; // within a CDATA section
    bool m_rootSeen = false;
    bool m_complete = false;
    bool m_stopped = false;
    const char* m_error = nullptr;
    // The open elements' names, each NUL-terminated, and where each starts.
    std::string m_names;
    std::vector<std::pair<qsizetype, qsizetype>> m_open; // name start, local name start
    std::vector<Attribute> m_attributes;
    std::vector<const char*> m_pairs;
};
