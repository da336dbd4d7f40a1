// The XML scanner of the workbook reader against expat: the same events and
// the same verdict for what a sheet may hold, wherever the input is cut into
// pieces, and for malformed and damaged documents.
#include "RandomRun.h"
#include "XmlScanner.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cstring>
#include <expat.h>

namespace {

// Events written out: elements with their attributes, the text between them
// joined, comments and instructions by their length.
struct Events : XmlScanner::Handler
{
    QByteArray out;
    QByteArray text;
    XmlScanner* scanner = nullptr;

    void Flush()
    {
        if (!text.isEmpty())
            out += "T[" + text + "]";
        text.clear();
    }
    void StartElement(const char* name, const char** a) override
    {
        Flush();
        out += "<" + QByteArray(name);
        for (; *a; a += 2)
            out += " " + QByteArray(a[0]) + "=[" + a[1] + "]";
        out += ">";
    }
    void EndElement(const char* name) override
    {
        Flush();
        out += "</" + QByteArray(name) + ">";
    }
    void Characters(const char* t, int n) override { text.append(t, n); }
    void Remark(qsizetype n) override
    {
        Flush();
        out += "R" + QByteArray::number(n);
    }
    void DocumentType() override
    {
        Flush();
        out += "DTD";
        scanner->Stop();
    }
};

// The scanner's events for `doc` fed in pieces ending at `cuts`; "!" at the
// end when it is malformed.
QByteArray Scanned(const QByteArray& doc, QList<qsizetype> cuts = {})
{
    Events events;
    XmlScanner scanner(events);
    events.scanner = &scanner;
    cuts << doc.size();
    qsizetype at = 0;
    bool going = true;
    for (qsizetype cut : cuts) {
        const qsizetype n = cut - at;
        std::memcpy(scanner.Room(n), doc.constData() + at, size_t(n));
        at = cut;
        if (!(going = scanner.Scan(n, false)))
            break;
    }
    if (going) {
        scanner.Room(0);
        scanner.Scan(0, true);
    }
    events.Flush();
    return events.out + (scanner.Failed() ? "!" : "");
}

// expat's events for `doc`, read to the end of the root element as the
// scanner reads it, names without their prefix.
QByteArray Expat(const QByteArray& doc)
{
    struct Context
    {
        Events events;
        XML_Parser parser;
        int depth = 0;
        bool done = false;
    } c;
    c.parser = XML_ParserCreate(nullptr);
    XML_SetUserData(c.parser, &c);
    XML_SetElementHandler(
        c.parser,
        [](void* d, const XML_Char* name, const XML_Char** a) {
            auto* c = static_cast<Context*>(d);
            ++c->depth;
            const char* colon = std::strrchr(name, ':');
            c->events.StartElement(colon ? colon + 1 : name, a);
        },
        [](void* d, const XML_Char* name) {
            auto* c = static_cast<Context*>(d);
            const char* colon = std::strrchr(name, ':');
            c->events.EndElement(colon ? colon + 1 : name);
            if (--c->depth == 0) {
                c->done = true;
                XML_StopParser(c->parser, XML_FALSE);
            }
        });
    XML_SetCharacterDataHandler(c.parser, [](void* d, const XML_Char* t, int n) {
        static_cast<Context*>(d)->events.Characters(t, n);
    });
    XML_SetCommentHandler(c.parser, [](void* d, const XML_Char* t) {
        static_cast<Context*>(d)->events.Remark(QString::fromUtf8(t).size());
    });
    XML_SetProcessingInstructionHandler(c.parser, [](void* d, const XML_Char*, const XML_Char* t) {
        static_cast<Context*>(d)->events.Remark(QString::fromUtf8(t).size());
    });
    XML_SetStartDoctypeDeclHandler(c.parser,
                                   [](void* d, const XML_Char*, const XML_Char*, const XML_Char*, int) {
                                       auto* c = static_cast<Context*>(d);
                                       c->events.Flush();
                                       c->events.out += "DTD";
                                       c->done = true;
                                       XML_StopParser(c->parser, XML_FALSE);
                                   });
    const bool failed =
        XML_Parse(c.parser, doc.constData(), int(doc.size()), XML_TRUE) == XML_STATUS_ERROR && !c.done;
    XML_ParserFree(c.parser);
    c.events.Flush();
    return c.events.out + (failed ? "!" : "");
}

// A sheet as other programs write it: prefixes, either quote, references,
// CDATA, comments and instructions among the cells, rich text, line ends.
const QByteArray Rich =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<!-- written elsewhere --><?mso-application progid=\"x\"?>\n"
    "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<x:sheetData>\n  <x:row r = '1' spans=\"1:4\">"
    "<x:c t='inlineStr' r=\"A1\"><x:is><x:r><x:t xml:space=\"preserve\"> 甲 </x:t></x:r>"
    "<x:r><x:rPr><x:b/></x:rPr><x:t>&lt;乙&gt;&amp;&quot;&apos;&#20013;&#x4E01;&#x1F600;&#9;</x:t></x:r></"
    "x:is></x:c>"
    "<!-- between cells --><x:c r=\"B1\" s=\"1\" ><x:v>45000.5</x:v></x:c>"
    "<?pi data?><x:c><x:f>SUM(A1:B1)</x:f><x:v>3</x:v></x:c>"
    "<x:c t=\"inlineStr\"><x:is><x:t><![CDATA[<b>&amp; ]] >\r\nline]]>tail</x:t></x:is></x:c>"
    "<x:c r=\"F1\" t=\"e\"/></x:row><x:row/>\r\n<x:row><x:c t=\"str\" a=\"&#10;&#x9;x\ty\r\nz\">"
    "<x:v>text\rmore\r\nend \xF0\x9F\x98\x80</x:v></x:c></x:row>"
    "</x:sheetData></x:worksheet>"
    "<!-- nothing after the root is read -->";

} // namespace

class TestXmlScanner : public QObject
{
    Q_OBJECT

private slots:
    void readsAsExpatDoesWhereverTheInputIsCut()
    {
        const QList<QByteArray> documents = {
            Rich,
            "<a b='1'\tc = \"2\"/>",
            "<a/>",
            "<?xml version='1.0'?><a>&#0065;&#x000041;</a>",
            "<a>]]</a>",
            "<a>x]</a>",
            "<a:b.c-d_e xmlns:a=\"u\"><a:b.c-d_e/></a:b.c-d_e  >",
            "<a><![CDATA[]]><![CDATA[]]]]><![CDATA[>]]></a>",
            "<a><!----><?x?><?y  z ?></a>",
            "<数据 属性=\"值\">文本</数据>",
        };
        for (const QByteArray& doc : documents) {
            const QByteArray whole = Scanned(doc);
            QCOMPARE(whole, Expat(doc));
            QVERIFY2(!whole.endsWith('!'), doc.constData());
            // Cut once at every byte, and into pieces of one byte.
            QList<qsizetype> bytes;
            for (qsizetype i = 1; i < doc.size(); ++i) {
                QCOMPARE(Scanned(doc, {i}), whole);
                bytes << i;
            }
            QCOMPARE(Scanned(doc, bytes), whole);
        }
        // What the rich sheet holds, as read.
        const QByteArray rich = Scanned(Rich);
        QVERIFY(rich.contains("<c t=[inlineStr] r=[A1]>"));
        QVERIFY(rich.contains("T[<乙>&\"'中丁\xF0\x9F\x98\x80\t]"));
        QVERIFY(rich.contains("T[<b>&amp; ]] >\nlinetail]"));
        QVERIFY(rich.contains("a=[\n\tx y z]"));
        QVERIFY(rich.contains("T[text\nmore\nend \xF0\x9F\x98\x80]"));
        QVERIFY(rich.contains("R15"));
    }

    void malformedIsRefusedAsExpatRefusesIt_data()
    {
        QTest::addColumn<QByteArray>("doc");
        const char* const rows[][2] = {
            {"mismatched", "<a><b></a></b>"},
            {"longer end name", "<a><b></bc></a>"},
            {"unclosed", "<a><b></b>"},
            {"empty", ""},
            {"only space", " \n"},
            {"unquoted value", "<a b=1/>"},
            {"value without =", "<a b/>"},
            {"< in value", "<a b=\"<\"/>"},
            {"duplicate attribute", "<a b=\"1\" b='2'/>"},
            {"no space between attributes", "<a b=\"1\"c=\"2\"/>"},
            {"unclosed value", "<a b=\"1/>"},
            {"name starting with a digit", "<1a/>"},
            {"private-use character in a name", "<a\xEF\x80\xA7/>"},
            {"multiplication sign in an attribute name", "<a b\xC3\x97=\"1\"/>"},
            {"name starting with a combining mark", "<\xCC\x80"
                                                    "a/>"},
            {"space after <", "< a/>"},
            {"undefined entity", "<a>&nbsp;</a>"},
            {"entity without ;", "<a>&amp </a>"},
            {"character 0", "<a>&#0;</a>"},
            {"surrogate reference", "<a>&#xD800;</a>"},
            {"reference beyond Unicode", "<a>&#x110000;</a>"},
            {"upper-case X", "<a>&#X41;</a>"},
            {"empty reference", "<a>&#;</a>"},
            {"reference in value", "<a b=\"&foo;\"/>"},
            {"control character", "<a>\x01</a>"},
            {"overlong UTF-8", "<a>\xC0\x80</a>"},
            {"UTF-8 surrogate", "<a>\xED\xA0\x80</a>"},
            {"lone continuation byte", "<a>\x80</a>"},
            {"cut UTF-8", "<a>\xE4\xB8</a>"},
            {"U+FFFF", "<a>\xEF\xBF\xBF</a>"},
            {"bad UTF-8 in a value", "<a b=\"\xFF\"/>"},
            {"]]> in text", "<a>]]></a>"},
            {"-- in a comment", "<a><!-- a -- b --></a>"},
            {"comment ending in -", "<a><!-- a ---></a>"},
            {"CDATA outside the root", "<![CDATA[x]]><a/>"},
            {"unclosed CDATA", "<a><![CDATA[x</a>"},
            {"declaration not at the start", " <?xml version=\"1.0\"?><a/>"},
            {"second declaration", "<?xml version=\"1.0\"?><a><?xml version=\"1.0\"?></a>"},
            {"declaration without version", "<?xml encoding=\"UTF-8\"?><a/>"},
            {"declaration out of order", "<?xml version=\"1.0\" standalone=\"yes\" encoding=\"UTF-8\"?><a/>"},
            {"reserved instruction", "<a><?XmL x?></a>"},
            {"text before the root", "x<a/>"},
            {"unknown markup", "<a><!x></a>"},
            {"stray end tag", "</a>"},
            {"empty end tag", "<a></>"},
            {"end tag with attribute", "<a></a b=\"1\">"},
            {"slash inside tag", "<a / >"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QByteArray(row[1]);
    }
    void malformedIsRefusedAsExpatRefusesIt()
    {
        QFETCH(QByteArray, doc);
        QVERIFY2(Expat(doc).endsWith('!'), "expat reads it");
        QVERIFY2(Scanned(doc).endsWith('!'), Scanned(doc).constData());
        QList<qsizetype> bytes;
        for (qsizetype i = 1; i < doc.size(); ++i)
            bytes << i;
        QVERIFY(Scanned(doc, bytes).endsWith('!'));
    }

    void roomBeforeAnyInputIsAPlaceToWrite()
    {
        // Nothing copied into the room before any input: still a place to
        // write (a copy to null is undefined, even of no bytes).
        Events events;
        XmlScanner scanner(events);
        QVERIFY(scanner.Room(0) != nullptr);
        QVERIFY(!scanner.Scan(0, true));
        QCOMPARE(scanner.Error(), "no element found");
    }

    void documentTypeStopsTheScanWhereItStarts()
    {
        const QByteArray doc = "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x \"y\">]><a>&x;</a>";
        QCOMPARE(Scanned(doc), QByteArray("DTD"));
        QCOMPARE(Expat(doc), QByteArray("DTD"));
    }

    void damagedDocumentsGetExpatsVerdict()
    {
        // Bytes changed, inserted, removed or the document cut short; the
        // scanner fed in random pieces.  Read alike, or refused by both.
        const RandomRun run = RandomRunOf(3000, 2026);
        QRandomGenerator random(run.seed);
        const QByteArray pool = "<>/=\"'&;#x:!?-[]abcrtv1 \t\r\n\xE4\xB8\xAD\xEF\xBF";
        int refused = 0;
        for (int i = 0; i < run.cases; ++i) {
            QByteArray doc = Rich;
            if (i % 5 == 0) {
                doc.truncate(random.bounded(int(doc.size())));
            } else {
                DamageBytes(doc, random, pool);
            }
            QList<qsizetype> cuts;
            for (qsizetype at = random.bounded(40); at < doc.size(); at += 1 + random.bounded(40))
                cuts << at;
            const QByteArray expat = Expat(doc);
            const QByteArray scanned = Scanned(doc, cuts);
            if (expat.endsWith('!')) {
                ++refused;
                QVERIFY2(scanned.endsWith('!'), qPrintable("read what expat refuses:\n" + doc));
            } else {
                QVERIFY2(scanned == expat, qPrintable(doc + "\nscanner: " + scanned + "\nexpat:   " + expat));
            }
        }
        // Both kinds were met.
        QVERIFY(refused > run.cases / 10 && refused < run.cases - run.cases / 30);
    }
};

QTEST_GUILESS_MAIN(TestXmlScanner)
#include "tst_xmlscanner.moc"
