#include "XmlScanner.h"

#include <array>
#include <cstring>

namespace {

using uchar = unsigned char;

// Byte classes.  Text: bytes that end a plain run of character data ('<',
// '&', ']' of "]]>", a carriage return, control characters, the first byte
// of a multi-byte character).  Names: letters, '_' and ':' may start one;
// digits, '-' and '.' follow.  Bytes from 0x80 are checked as UTF-8.
enum : uchar { NameStart = 1, NameChar = 2, TextStop = 4, Space = 8, ValueStop = 16 };

constexpr std::array<uchar, 256> MakeClasses()
{
    std::array<uchar, 256> t{};
    for (int c = 0; c < 256; ++c) {
        uchar k = 0;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':')
            k |= NameStart | NameChar;
        if ((c >= '0' && c <= '9') || c == '-' || c == '.')
            k |= NameChar;
        if (c == '<' || c == '&' || c == ']' || c == '\r' || c >= 0x80 ||
            (c < 0x20 && c != '\t' && c != '\n'))
            k |= TextStop;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            k |= Space;
        if (c == '<' || c == '&' || c == '"' || c == '\'' || c >= 0x80 || c < 0x20)
            k |= ValueStop;
        t[c] = k;
    }
    return t;
}

constexpr std::array<uchar, 256> Classes = MakeClasses();

inline bool Is(char c, uchar kind)
{
    return Classes[uchar(c)] & kind;
}

// The length of the UTF-8 character at p, when it is one XML allows: 0 when
// it is not, -1 when the input ends within it.
inline int Utf8Length(const char* s, const char* end)
{
    const auto* p = reinterpret_cast<const uchar*>(s);
    const uchar c = p[0];
    if (c < 0x80)
        return 1;
    int length;
    uchar low = 0x80, high = 0xBF; // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0)
            low = 0xA0;
        else if (c == 0xED)
            high = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0)
            low = 0x90;
        else if (c == 0xF4)
            high = 0x8F; // up to U+10FFFF
    } else {
        return 0;
    }
    const qsizetype available = reinterpret_cast<const uchar*>(end) - p;
    for (int i = 1; i < length; ++i) {
        if (i >= available)
            return -1;
        const uchar lo = i == 1 ? low : 0x80;
        const uchar hi = i == 1 ? high : 0xBF;
        if (p[i] < lo || p[i] > hi)
            return 0;
    }
    // U+FFFE and U+FFFF are no characters.
    if (c == 0xEF && p[1] == 0xBF && p[2] >= 0xBE)
        return 0;
    return length;
}

bool IsXmlChar(quint32 c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

int PutUtf8(quint32 c, char* out)
{
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (c >> 18));
    out[1] = char(0x80 | ((c >> 12) & 0x3F));
    out[2] = char(0x80 | ((c >> 6) & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

constexpr const char* Invalid = "not well-formed (invalid token)";
constexpr const char* Unclosed = "unclosed token";

// The reference at p ('&'), written to `out` (never longer than the
// reference): the bytes written, 0 when it is malformed or names no
// predefined entity (`*error` says which), -1 when the input ends within it.
int Reference(const char* p, const char* end, char* out, const char** next, const char** error)
{
    const char* r = p + 1;
    if (r == end)
        return -1;
    if (*r == '#') {
        ++r;
        if (r == end)
            return -1;
        const bool hex = *r == 'x';
        if (hex && ++r == end)
            return -1;
        quint32 value = 0;
        const char* digits = r;
        for (; r < end && *r != ';'; ++r) {
            int d;
            if (*r >= '0' && *r <= '9')
                d = *r - '0';
            else if (hex && *r >= 'a' && *r <= 'f')
                d = *r - 'a' + 10;
            else if (hex && *r >= 'A' && *r <= 'F')
                d = *r - 'A' + 10;
            else
                return *error = Invalid, 0;
            value = value * (hex ? 16 : 10) + quint32(d);
            if (value > 0x10FFFF)
                value = 0x110000; // stays out of range, whatever follows
        }
        if (r == end)
            return -1;
        if (r == digits)
            return *error = Invalid, 0;
        if (!IsXmlChar(value))
            return *error = "reference to invalid character number", 0;
        *next = r + 1;
        return PutUtf8(value, out);
    }
    const char* name = r;
    if (!Is(*r, NameStart) && uchar(*r) < 0x80)
        return *error = Invalid, 0;
    for (; r < end && *r != ';'; ++r)
        if (!Is(*r, NameChar) && uchar(*r) < 0x80)
            return *error = Invalid, 0;
    if (r == end)
        return -1;
    const qsizetype n = r - name;
    char c;
    if (n == 2 && name[0] == 'l' && name[1] == 't')
        c = '<';
    else if (n == 2 && name[0] == 'g' && name[1] == 't')
        c = '>';
    else if (n == 3 && std::memcmp(name, "amp", 3) == 0)
        c = '&';
    else if (n == 4 && std::memcmp(name, "quot", 4) == 0)
        c = '"';
    else if (n == 4 && std::memcmp(name, "apos", 4) == 0)
        c = '\'';
    else
        return *error = "undefined entity", 0;
    *out = c;
    *next = r + 1;
    return 1;
}

// Whether the character of `length` bytes at s (valid UTF-8, from U+0080
// on) may stand in a name, as its first character or further on: the
// ranges of XML's name characters, which leave out symbols, punctuation and
// private use.
bool IsNameCharacter(const char* s, int length, bool first)
{
    const auto* p = reinterpret_cast<const uchar*>(s);
    quint32 c = p[0] & (0xFFu >> (length + 1));
    for (int i = 1; i < length; ++i)
        c = (c << 6) | (p[i] & 0x3Fu);
    if (!first && (c == 0xB7 || (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040))
        return true;
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

// The end of the name at p: nullptr when p starts none or a character that
// no name holds follows, `end` when the input may end within it.
const char* NameEnd(const char* p, const char* end)
{
    if (p == end)
        return end;
    if (!Is(*p, NameStart) && uchar(*p) < 0x80)
        return nullptr;
    const char* const start = p;
    while (p < end) {
        if (Is(*p, NameChar)) {
            ++p;
        } else if (uchar(*p) >= 0x80) {
            const int n = Utf8Length(p, end);
            if (n == 0)
                return nullptr;
            if (n < 0)
                return end;
            if (!IsNameCharacter(p, n, p == start))
                return nullptr;
            p += n;
        } else {
            break;
        }
    }
    return p;
}

const char* SkipSpace(const char* p, const char* end)
{
    while (p < end && Is(*p, Space))
        ++p;
    return p;
}

// Checks characters of a comment or an instruction: their UTF-16 length,
// -1 when one is not allowed.
qsizetype CheckedLength(const char* p, const char* end)
{
    qsizetype units = 0;
    while (p < end) {
        const uchar c = uchar(*p);
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return -1;
            // A line end is one character, whichever way it is written.
            if (!(c == '\r' && p + 1 < end && p[1] == '\n'))
                ++units;
            ++p;
            continue;
        }
        const int n = Utf8Length(p, end);
        if (n <= 0)
            return -1;
        p += n;
        units += n == 4 ? 2 : 1;
    }
    return units;
}

} // namespace

char* XmlScanner::Room(qsizetype bytes)
{
    // What is scanned is dropped; the token not yet complete moves to the
    // front.
    if (m_pos > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_pos, size_t(m_end - m_pos));
        m_base += m_pos;
        m_end -= m_pos;
        m_pos = 0;
    }
    // Never a null pointer, not even for no bytes before any input: the
    // caller copies into it (a copy to null is undefined, even of nothing).
    if (qsizetype(m_buffer.size()) < qMax<qsizetype>(m_end + bytes, 1))
        m_buffer.resize(size_t(qMax<qsizetype>(m_end + bytes, 1)));
    return m_buffer.data() + m_end;
}

bool XmlScanner::Scan(qsizetype bytes, bool last)
{
    m_end += bytes;
    m_last = last;
    char* const end = m_buffer.data() + m_end;
    while (!m_stopped && !m_error && !m_complete) {
        char* p = m_buffer.data() + m_pos;
        if (p == end)
            break;
        Step step;
        if (m_inData)
            step = CData(p, end);
        else if (*p == '<')
            step = Markup(p, end);
        else
            step = Text(p, end);
        if (step == Step::More) {
            if (last)
                Fail(Unclosed);
            break;
        }
    }
    if (last && !m_stopped && !m_error && !m_complete)
        Fail("no element found");
    return !m_stopped && !m_error && !m_complete;
}

XmlScanner::Step XmlScanner::Text(char* p, char* end)
{
    if (m_open.empty()) {
        // Outside the root element: white space only, after a byte order
        // mark at the very start.
        if (m_atStart && uchar(*p) == 0xEF) {
            if (end - p < 3)
                return Step::More;
            if (uchar(p[1]) != 0xBB || uchar(p[2]) != 0xBF)
                return Fail(Invalid);
            m_pos += 3;
            return Step::Next;
        }
        const char* q = SkipSpace(p, end);
        if (q == p)
            return Fail(m_rootSeen ? "junk after document element" : "syntax error");
        m_atStart = false;
        m_pos += q - p;
        return Step::Next;
    }
    // Character data, resolved in place: what is written never outgrows what
    // is read.
    char* r = p;
    char* w = p;
    for (;;) {
        char* run = r;
        while (r < end && !Is(*r, TextStop))
            ++r;
        if (w != run)
            std::memmove(w, run, size_t(r - run));
        w += r - run;
        if (r == end)
            break;
        const uchar c = uchar(*r);
        if (c == '<')
            break;
        if (c == '&') {
            const char* next = nullptr;
            const int n = Reference(r, end, w, &next, &m_error);
            if (n < 0)
                break; // completed by the next piece
            if (n == 0)
                break; // malformed: the text before it still counts
            w += n;
            r = const_cast<char*>(next);
        } else if (c == ']') {
            if (end - r < 3 && !m_last)
                break;
            if (end - r >= 3 && r[1] == ']' && r[2] == '>') {
                m_error = Invalid;
                break;
            }
            *w++ = *r++;
        } else if (c == '\r') {
            if (end - r < 2 && !m_last)
                break;
            *w++ = '\n';
            r += end - r >= 2 && r[1] == '\n' ? 2 : 1;
        } else if (c >= 0x80) {
            const int n = Utf8Length(r, end);
            if (n < 0)
                break;
            if (n == 0) {
                m_error = Invalid;
                break;
            }
            if (w == r) {
                r += n;
                w = r;
            } else {
                for (int i = 0; i < n; ++i)
                    *w++ = *r++;
            }
        } else {
            m_error = Invalid;
            break;
        }
    }
    m_pos = r - m_buffer.data();
    if (w != p) {
        Event(p);
        m_handler.Characters(p, int(w - p));
    }
    if (m_error)
        return Step::Fail;
    // Stopped short of the end of the text: the rest comes with more input.
    return r == end || (*r != '<') ? Step::More : Step::Next;
}

XmlScanner::Step XmlScanner::CData(char* p, char* end)
{
    // Up to "]]>", handed out as text in pieces; line ends resolved.
    char* r = p;
    char* w = p;
    bool closed = false;
    while (r < end) {
        const uchar c = uchar(*r);
        if (c == ']') {
            if (end - r < 3)
                break;
            if (r[1] == ']' && r[2] == '>') {
                closed = true;
                break;
            }
            *w++ = *r++;
        } else if (c == '\r') {
            if (end - r < 2)
                break;
            *w++ = '\n';
            r += r[1] == '\n' ? 2 : 1;
        } else if (c >= 0x80) {
            const int n = Utf8Length(r, end);
            if (n < 0)
                break;
            if (n == 0)
                return Fail(Invalid);
            for (int i = 0; i < n; ++i)
                *w++ = *r++;
        } else if (c < 0x20 && c != '\t' && c != '\n') {
            return Fail(Invalid);
        } else {
            *w++ = *r++;
        }
    }
    m_pos = r - m_buffer.data() + (closed ? 3 : 0);
    if (w != p) {
        Event(p);
        m_handler.Characters(p, int(w - p));
    }
    if (closed) {
        m_inData = false;
        return Step::Next;
    }
    return Step::More;
}

XmlScanner::Step XmlScanner::Markup(char* p, char* end)
{
    if (end - p < 2)
        return Step::More;
    const char c = p[1];
    Step step;
    if (c == '/') {
        step = EndTag(p, end);
    } else if (c == '?') {
        step = Instruction(p, end);
    } else if (c == '!') {
        const auto starts = [&](const char* text) {
            const qsizetype n = qsizetype(std::strlen(text));
            const qsizetype have = qMin(n, qsizetype(end - p));
            if (std::memcmp(p, text, size_t(have)) != 0)
                return 0;
            return have == n ? 1 : -1;
        };
        int s;
        if ((s = starts("<!--")) != 0) {
            step = s < 0 ? Step::More : Comment(p, end);
        } else if ((s = starts("<![CDATA[")) != 0) {
            if (s < 0)
                return Step::More;
            if (m_open.empty())
                return Fail(Invalid);
            m_inData = true;
            m_pos += 9;
            step = Step::Next;
        } else if ((s = starts("<!DOCTYPE")) != 0) {
            if (s < 0)
                return Step::More;
            if (m_rootSeen)
                return Fail(Invalid);
            Event(p);
            m_handler.DocumentType();
            // Nothing of it is read; a handler that lets it through gets it
            // refused as malformed.
            if (!m_stopped)
                return Fail("document type not allowed");
            step = Step::Next;
        } else {
            return Fail(Invalid);
        }
    } else {
        step = StartTag(p, end);
    }
    if (step == Step::Next)
        m_atStart = false;
    return step;
}

XmlScanner::Step XmlScanner::StartTag(char* p, char* end)
{
    if (m_rootSeen && m_open.empty())
        return Fail("junk after document element");
    char* const name = p + 1;
    const char* r = NameEnd(name, end);
    if (!r)
        return Fail(Invalid);
    if (r == end)
        return Step::More;
    const int nameLength = int(r - name);
    // The attributes: checked first, resolved only once the tag is whole.
    m_attributes.clear();
    bool empty = false;
    for (;;) {
        const char* spaced = r;
        r = SkipSpace(r, end);
        if (r == end)
            return Step::More;
        if (*r == '>') {
            ++r;
            break;
        }
        if (*r == '/') {
            if (r + 1 == end)
                return Step::More;
            if (r[1] != '>')
                return Fail(Invalid);
            r += 2;
            empty = true;
            break;
        }
        if (r == spaced)
            return Fail(Invalid);
        char* attributeName = const_cast<char*>(r);
        r = NameEnd(r, end);
        if (!r)
            return Fail(Invalid);
        const int attributeNameLength = int(r - attributeName);
        r = SkipSpace(r, end);
        if (r == end)
            return Step::More;
        if (*r != '=')
            return Fail(Invalid);
        r = SkipSpace(r + 1, end);
        if (r == end)
            return Step::More;
        const char quote = *r;
        if (quote != '"' && quote != '\'')
            return Fail(Invalid);
        char* value = const_cast<char*>(++r);
        bool normalise = false;
        for (;;) {
            while (r < end && !Is(*r, ValueStop))
                ++r;
            if (r == end)
                return Step::More;
            const uchar c = uchar(*r);
            if (c == uchar(quote))
                break;
            if (c == '"' || c == '\'') {
                ++r;
            } else if (c == '<') {
                return Fail(Invalid);
            } else if (c == '&') {
                normalise = true;
                ++r;
            } else if (c >= 0x80) {
                const int n = Utf8Length(r, end);
                if (n < 0)
                    return Step::More;
                if (n == 0)
                    return Fail(Invalid);
                r += n;
            } else if (c == '\t' || c == '\n' || c == '\r') {
                normalise = true;
                ++r;
            } else {
                return Fail(Invalid);
            }
        }
        const char* close = r;
        m_attributes.push_back({attributeName, attributeNameLength, value, int(close - value), normalise});
        r = close + 1;
    }
    // Whole: each name and value NUL-terminated in place (over the space,
    // '=' or quote after it), references resolved.
    m_pairs.clear();
    for (size_t i = 0; i < m_attributes.size(); ++i) {
        Attribute& a = m_attributes[i];
        for (size_t j = 0; j < i; ++j)
            if (m_attributes[j].nameLength == a.nameLength &&
                std::memcmp(m_attributes[j].name, a.name, size_t(a.nameLength)) == 0)
                return Fail("duplicate attribute");
        if (a.normalise) {
            char* v = a.value;
            const char* in = a.value;
            const char* valueEnd = a.value + a.valueLength;
            while (in < valueEnd) {
                if (*in == '&') {
                    const char* next = nullptr;
                    const int n = Reference(in, valueEnd, v, &next, &m_error);
                    if (n <= 0)
                        return Fail(m_error ? m_error : Invalid);
                    v += n;
                    in = next;
                } else if (*in == '\r') {
                    *v++ = ' ';
                    in += in + 1 < valueEnd && in[1] == '\n' ? 2 : 1;
                } else if (*in == '\t' || *in == '\n') {
                    *v++ = ' ';
                    ++in;
                } else {
                    *v++ = *in++;
                }
            }
            a.valueLength = int(v - a.value);
        }
    }
    for (const Attribute& a : m_attributes) {
        a.name[a.nameLength] = 0;
        a.value[a.valueLength] = 0;
        m_pairs.push_back(a.name);
        m_pairs.push_back(a.value);
    }
    m_pairs.push_back(nullptr);
    // The name, kept for its end tag.
    const qsizetype start = qsizetype(m_names.size());
    m_names.append(name, size_t(nameLength));
    m_names.push_back('\0');
    const char* colon = static_cast<const char*>(std::memchr(name, ':', size_t(nameLength)));
    qsizetype local = start;
    if (colon) {
        // The local name is what follows the last colon.
        for (int i = nameLength - 1; i >= 0; --i)
            if (name[i] == ':') {
                local = start + i + 1;
                break;
            }
    }
    m_open.emplace_back(start, local);
    m_rootSeen = true;
    m_pos = r - m_buffer.data();
    Event(p);
    m_handler.StartElement(m_names.c_str() + local, m_pairs.data());
    if (empty && !m_stopped) {
        m_handler.EndElement(m_names.c_str() + local);
        m_names.resize(size_t(start));
        m_open.pop_back();
        m_complete = m_open.empty();
    } else if (empty) {
        m_names.resize(size_t(start));
        m_open.pop_back();
    }
    return Step::Next;
}

XmlScanner::Step XmlScanner::EndTag(char* p, char* end)
{
    const char* close = static_cast<const char*>(std::memchr(p + 2, '>', size_t(end - p - 2)));
    if (!close)
        return Step::More;
    if (m_open.empty())
        return Fail(Invalid);
    const auto [start, local] = m_open.back();
    const qsizetype length = qsizetype(m_names.size()) - start - 1;
    const char* r = p + 2;
    if (close - r < length || std::memcmp(r, m_names.data() + start, size_t(length)) != 0)
        return Fail("mismatched tag");
    r += length;
    // The name must end here: only white space up to '>'.
    if (r < close && !Is(*r, Space))
        return Fail(Is(*r, NameChar) || uchar(*r) >= 0x80 ? "mismatched tag" : Invalid);
    if (SkipSpace(r, close) != close)
        return Fail(Invalid);
    m_pos = close + 1 - m_buffer.data();
    Event(p);
    m_handler.EndElement(m_names.c_str() + local);
    m_names.resize(size_t(start));
    m_open.pop_back();
    m_complete = m_open.empty();
    return Step::Next;
}

XmlScanner::Step XmlScanner::Comment(char* p, char* end)
{
    const char* body = p + 4;
    const void* dashes = memmem(body, size_t(end - body), "--", 2);
    if (!dashes)
        return Step::More;
    const char* q = static_cast<const char*>(dashes);
    if (end - q < 3)
        return Step::More;
    if (q[2] != '>')
        return Fail(Invalid);
    const qsizetype units = CheckedLength(body, q);
    if (units < 0)
        return Fail(Invalid);
    m_pos = q + 3 - m_buffer.data();
    Event(p);
    m_handler.Remark(units);
    return Step::Next;
}

XmlScanner::Step XmlScanner::Instruction(char* p, char* end)
{
    const char* target = p + 2;
    const char* r = NameEnd(target, end);
    if (!r)
        return Fail(Invalid);
    if (r == end)
        return Step::More;
    const void* close = memmem(r, size_t(end - r), "?>", 2);
    if (!close)
        return Step::More;
    const char* q = static_cast<const char*>(close);
    const qsizetype targetLength = r - target;
    if (targetLength == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
        (target[2] | 0x20) == 'l') {
        // The declaration, only at the very start.
        if (!m_atStart || std::memcmp(target, "xml", 3) != 0)
            return Fail("XML or text declaration not at start of entity");
        if (!Declaration(r, q))
            return Step::Fail;
        m_pos = q + 2 - m_buffer.data();
        return Step::Next;
    }
    if (r != q && !Is(*r, Space))
        return Fail(Invalid);
    const char* data = SkipSpace(r, q);
    const qsizetype units = CheckedLength(data, q);
    if (units < 0)
        return Fail(Invalid);
    m_pos = q + 2 - m_buffer.data();
    Event(p);
    m_handler.Remark(units);
    return Step::Next;
}

bool XmlScanner::Declaration(const char* p, const char* end)
{
    // version, then encoding and standalone if given, in that order.
    static const char* const names[] = {"version", "encoding", "standalone"};
    int next = 0;
    bool version = false;
    const char* r = p;
    for (;;) {
        const char* spaced = r;
        r = SkipSpace(r, end);
        if (r == end)
            break;
        if (r == spaced)
            return Fail("XML declaration not well-formed"), false;
        const char* name = r;
        while (r < end && Is(*r, NameChar))
            ++r;
        const qsizetype nameLength = r - name;
        int which = next;
        while (which < 3 && !(qsizetype(std::strlen(names[which])) == nameLength &&
                              std::memcmp(name, names[which], size_t(nameLength)) == 0))
            ++which;
        if (which == 3 || (which > 0 && !version))
            return Fail("XML declaration not well-formed"), false;
        next = which + 1;
        r = SkipSpace(r, end);
        if (r == end || *r != '=')
            return Fail("XML declaration not well-formed"), false;
        r = SkipSpace(r + 1, end);
        if (r == end || (*r != '"' && *r != '\''))
            return Fail("XML declaration not well-formed"), false;
        const char quote = *r++;
        const char* value = r;
        while (r < end && *r != quote)
            ++r;
        if (r == end)
            return Fail("XML declaration not well-formed"), false;
        const std::string text(value, size_t(r - value));
        ++r;
        if (which == 0) {
            version = text.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                             "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.-") == std::string::npos;
            if (!version)
                return Fail("XML declaration not well-formed"), false;
        } else if (which == 1) {
            std::string lower = text;
            for (char& c : lower)
                c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
            if (lower != "utf-8")
                return Fail("unknown encoding"), false;
        } else if (text != "yes" && text != "no") {
            return Fail("XML declaration not well-formed"), false;
        }
    }
    if (!version)
        return Fail("XML declaration not well-formed"), false;
    return true;
}
