// The fast scanner must read every document exactly as expat does, however the document is cut into
// chunks: the same events at the same offsets, and the same documents refused.
#include <gtest/gtest.h>

#include "XmlEvents.h"

namespace zentora::spreadsheet::testing {
namespace {

const char* const kDocuments[] = {
    // What workbook writers produce: a declaration, prefixes, empty elements, attributes in both quotes.
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<x:worksheet "
    "xmlns:x=\"urn:x\"><x:sheetData>"
    "<x:row r=\"1\" spans='1:2'><x:c r=\"A1\" t=\"s\"><x:v>0</x:v></x:c><x:c r = 'B1' s=\"1\"/></x:row>"
    "</x:sheetData></x:worksheet>\n",
    "<a:b:c d:e='1'>x</a:b:c>",
    // Text and attributes with references, non-ASCII text, brackets that do not close a section.
    "<r a=\"&lt;&gt;&amp;&quot;&apos;&#65;&#x1F600;\" b='\"' c=\"'\">&#xe9;t&#233; "
    "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80 "
    "]] ] &amp;]]&gt; a>b\t\n</r>",
    "<?xml version='1.0'?><r>\n  <s/>\n  <t u=\"\"></t >\n</r \n>\n\n",
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
    "<r a='&#10;&#13;&#9;'>&#13;</r>",
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
  std::vector<std::string> documents(std::begin(kDocuments), std::end(kDocuments));
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
