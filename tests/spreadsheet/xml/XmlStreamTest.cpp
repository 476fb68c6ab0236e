// The XML stream must read every document exactly as expat alone does, however the document is cut into
// chunks: the same events at the same offsets, and the same documents refused; and its scanner must read
// what spreadsheet writers produce without handing it to expat.
#include <gtest/gtest.h>

#include "Spreadsheet/xml/PlainScanner.h"
#include "XmlEvents.h"

namespace zentora::spreadsheet::testing {
namespace {

// What spreadsheet writers produce, which the scanner reads alone: declarations, prefixes, empty elements,
// whitespace in tags, attributes in both quotes, references and UTF-8 of every length up to the limits of
// XML characters, brackets that do not close a section.
const char* const kPlain[] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<x:worksheet "
    "xmlns:x=\"urn:x\"><x:sheetData>"
    "<x:row r=\"1\" spans='1:2'><x:c r=\"A1\" t=\"s\"><x:v>0</x:v></x:c><x:c r = 'B1' s=\"1\"/></x:row>"
    "</x:sheetData></x:worksheet>\r\n",
    "<a:b:c d:e='1' _f.g-9='2'>x</a:b:c>",
    "<_r\r\n\tx = \"1\"\t/>",
    "<:r/>",
    "<r a=\"&lt;&gt;&amp;&quot;&apos;&#65;&#x1F600;&#10;&#13;&#9;\" b='\"' c=\"'\">&#xe9;t&#233; "
    "&#x20;&#xD7FF;&#xE000;&#xFFFD;&#x10000;&#x10FFFF;&#9;&#xA;&#xD;"
    "\xC2\x80\xDF\xBF\xE0\xA4\x85\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF "
    "]] ] ]]] &amp;]]&gt; a>b\t\n\x7E</r>",
    "<?xml version='1.0'?><r>\n  <s/>\n  <t u=\"\"></t >\n</r \n>\n\n",
    "<?xml version = \"1.0\" encoding='utf-8' standalone=\"no\" ?>\n<r/>",
};

const char* const kOthers[] = {
    // Handed over to expat, which reads them on: comments, CDATA, processing instructions, carriage
    // returns, whitespace in attribute values, non-ASCII names, a byte order mark, another encoding.
    "<r><a>1</a><!-- <b> --><b>2<![CDATA[<c>&]]></b><?pi x?></r><!-- end -->",
    "<r><!--x--></r>",
    "<r>a\r\nb<c d=\"1\r\n2\te\"/></r>",
    "<r><\xC3\xA4 x='1'>\xC3\xA9</\xC3\xA4></r>",
    "\xEF\xBB\xBF<r>1</r>",
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>1</r>",
    "<?xml version=\"1.1\"?><r/>",
    "<?xml-stylesheet href='a'?><r/>",
    // Refused: malformed in each way the scanner checks, a DOCTYPE, entities, depth.
    "<!DOCTYPE r [<!ENTITY e \"x\">]><r>&e;</r>",
    "<r>&e;</r>",
    "<r>&#0;</r>",
    "<r>&#xD800;</r>",
    "<r>&#x110000;</r>",
    "<r>&#X41;</r>",
    "<r>&#;</r>",
    "<r>]]></r>",
    "<r>\xC3</r>",
    "<r>\xC0\x80</r>",
    "<r>\xED\xA0\x80</r>",
    "<r>\xEF\xBF\xBE</r>",
    "<r>\xF4\x90\x80\x80</r>",
    "<r>\x01</r>",
    "<r a='<'/>",
    "<r a='1' a='2'/>",
    "<r a='1'b='2'/>",
    "<r a=1/>",
    "<r></s>",
    "<r/><s/>",
    "<r/>x",
    "<r>",
    "",
    "  ",
    "<r></r",
    "<r><1/></r>",
    "<r a='x/>",
    "<?xml version=\"1.0\"?><?xml version=\"1.0\"?><r/>",
    "<r/><?xml version=\"1.0\"?>",
};

TEST(XmlStream, ReadsEveryDocumentAsExpatDoesInAnyChunks) {
  std::vector<std::string> documents(std::begin(kPlain), std::end(kPlain));
  documents.insert(documents.end(), std::begin(kOthers), std::end(kOthers));
  for (int depth : {256, 257}) {
    std::string deep;
    for (int i = 0; i < depth; ++i) deep.insert(deep.size() / 2, "<d></d>");
    documents.push_back(deep);
  }
  for (const std::string& document : documents) {
    const std::string expected = ExpatEvents(document);
    EXPECT_EQ(StreamEvents(document, {}), expected) << document;
    std::vector<std::size_t> bytes;
    for (std::size_t cut = 1; cut < document.size(); ++cut) {
      EXPECT_EQ(StreamEvents(document, {cut}), expected) << "cut at " << cut << ": " << document;
      bytes.push_back(cut);
    }
    EXPECT_EQ(StreamEvents(document, bytes), expected) << "byte by byte: " << document;
  }
}

TEST(XmlStream, ReadsPlainDocumentsWithoutExpatInAnyChunks) {
  struct Ignore : xml::XmlHandler {
    void StartElement(std::string_view, const char**) override {}
    void EndElement(std::string_view) override {}
    void Characters(std::string_view) override {}
  } ignore;
  for (const std::string_view document : kPlain) {
    xml::PlainScanner whole(ignore, 256);
    EXPECT_TRUE(whole.Feed(document.data(), document.size(), true)) << document;
    xml::PlainScanner bytes(ignore, 256);
    for (std::size_t at = 0; at < document.size(); ++at) {
      ASSERT_TRUE(bytes.Feed(document.data() + at, 1, at + 1 == document.size())) << at << ": " << document;
    }
  }
}

// A handler's error stops the read with the byte offset of its event, a limit as a limit and anything else
// as a malformed workbook, whether the scanner or expat reads the part.
TEST(XmlStream, ReportsHandlerErrorsAtTheirEventWhoeverReads) {
  struct Refuse : xml::XmlHandler {
    ErrorCode code;
    explicit Refuse(ErrorCode refused) : code(refused) {}
    void StartElement(std::string_view name, const char**) override {
      if (name == "b") throw Error(code, "refused");
    }
    void EndElement(std::string_view) override {}
    void Characters(std::string_view) override {}
  };
  for (const std::string_view document : {"<r><a/><b></b></r>", "<r><!----><b></b></r>"}) {
    for (const auto& [code, reported] : {std::pair{ErrorCode::LimitExceeded, ErrorCode::LimitExceeded},
                                         std::pair{ErrorCode::InvalidArgument, ErrorCode::NotAWorkbook}}) {
      Refuse refuse(code);
      xml::XmlStream stream("part", refuse);
      try {
        stream.Feed(document.data(), document.size(), true);
        ADD_FAILURE() << document;
      } catch (const Error& error) {
        EXPECT_EQ(error.code(), reported) << document;
        EXPECT_STREQ(error.what(), (document[4] == '!' ? "part, byte 10: refused" : "part, byte 7: refused"));
      }
    }
  }
}

TEST(XmlStream, ReadsTokensLongerThanAMebibyteInChunksAsExpatDoes) {
  for (const std::string& document :
       {"<r a='" + std::string(3u << 20, 'x') + "'/>", std::string(3u << 20, ' ') + "<r/>"}) {
    std::vector<std::size_t> cuts;
    for (std::size_t cut = 65536; cut < document.size(); cut += 65536) cuts.push_back(cut);
    EXPECT_EQ(StreamEvents(document, cuts), ExpatEvents(document));
  }
}

}  // namespace
}  // namespace zentora::spreadsheet::testing
