#include "dcc/dcc.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "base/error.h"

namespace kvtapp {
namespace {

// A side of a point: reading, error, U.
SideCells side(const std::string& reading, const std::string& error, const std::string& u,
               const std::string& verdict = "pass") {
    SideCells s;
    s.present = true;
    s.reading = reading;
    s.error = error;
    s.errorPercent = "0.01";
    s.uncertainty = u;
    s.tur = u.empty() ? "" : "4.2";
    s.verdict = verdict;
    return s;
}

PointRowPart row(const std::string& point, const std::string& nominal, const std::string& expected,
                 SideCells found, SideCells left = {}) {
    return {point, nominal, expected, std::move(found), std::move(left)};
}

// A test of the demo's kind: the instrument's unit (in) read against the value sourced (out),
// as found and, when adjusted, as left.
TablePart table(const std::string& in, const std::string& out, bool adjusted) {
    TablePart t;
    t.caption = "PT-101: tolerance ±0.25 % of span";
    t.foundLabel = "as found";
    t.leftLabel = adjusted ? "as left" : "";
    t.inUnit = in;
    t.outUnit = out;
    const SideCells left = adjusted ? side("12.001", "0.001", "0.0012") : SideCells{};
    t.rows = {row("0 ↑", "0", "4", side("4.0031", "0.0031", "0.0012")),
              row("50 ↑", "5", "12", side("12.011", "0.011", "0.0012", "fail"), left),
              row("100 ↓", "10", "20", side("19.998", "-0.002", ""))};
    return t;
}

CertificateContent demo(std::vector<TablePart> tables) {
    CertificateContent c;
    c.number = "NIL-000042";
    c.numberValue = 42;
    c.issued = "2025-03-04";
    c.calibrated = "2025-03-03";
    c.calibration = 7;
    c.lab = {"Northwind Instrument Lab", "1 Harbour Road\nPortsmouth", "UKAS 0000"};
    c.customer = {"Acme Chemicals", "Plant 2"};
    c.item = {"PT-101", false,         "Rosedale",   "3051",
              "SN-1",   "0 to 10 bar", "\"PT-101\"", "measures current"};
    c.method = {"5-point up/down", "WI-12"};
    c.standards = {{"calibrator", "K27", "K270001", "C-9", "2024-06-01", "2025-06-01", "Metro Lab",
                    "within its calibration", true},
                   {"pressure module", "", "PM-7", "", "", "", "", "not recorded", false}};
    c.traceability = "The results are traceable.";
    c.temperature = "22.5 °C";
    c.humidity = "41 %";
    c.decisionRule = "simple";
    c.decisionStatement = "Simple acceptance.";
    c.uncertaintyStated = true;
    c.uncertaintyStatement = "U is expanded with k = 2.";
    c.tables = std::move(tables);
    c.asFound = "fail";
    c.asLeft = "pass";
    c.adjustment = "adjusted";
    c.technician = "J. Smith";
    c.authorisedBy = "A. Jones";
    return c;
}

// A test whose display showed no number at some points.
CertificateContent shownAsText() {
    TablePart t = table("mV", "°C", true);
    t.rows[0].found = side("-OL-", "", "");
    t.rows[1].left = side("1.2.3", "0.001", "-0.1");
    return demo({t});
}

std::string schemaFolder() {
    const char* given = std::getenv("KVTLNK_DCC_SCHEMAS");
    return given && *given ? given : KVTLNK_DCC_SCHEMAS_BESIDE;
}

using Doc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

Doc parsed(const std::string& bytes) {
    return Doc(xmlReadMemory(bytes.data(), int(bytes.size()), "dcc.xml", nullptr, XML_PARSE_NONET),
               &xmlFreeDoc);
}

// What the schema finds wrong with a document, one line each; "" for a valid one.
std::string schemaErrors(const std::string& bytes) {
    static std::string errors;
    errors.clear();
    const std::string xsd = schemaFolder() + "/dcc.xsd";
    xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(xsd.c_str());
    xmlSchemaPtr schema = xmlSchemaParse(parser);
    xmlSchemaFreeParserCtxt(parser);
    if (!schema) return "the schema " + xsd + " does not load";
    xmlSchemaValidCtxtPtr valid = xmlSchemaNewValidCtxt(schema);
    xmlSchemaSetValidStructuredErrors(
        valid, [](void*, xmlErrorPtr e) { errors += std::to_string(e->line) + ": " + e->message; },
        nullptr);
    Doc doc = parsed(bytes);
    if (!doc) errors = "not well-formed XML";
    if (doc && xmlSchemaValidateDoc(valid, doc.get()) != 0 && errors.empty()) errors = "invalid";
    xmlSchemaFreeValidCtxt(valid);
    xmlSchemaFree(schema);
    return errors;
}

// The texts an XPath (prefixes dcc and si) selects.
std::vector<std::string> select(const std::string& bytes, const char* path) {
    Doc doc = parsed(bytes);
    std::vector<std::string> texts;
    if (!doc) return texts;
    xmlXPathContextPtr context = xmlXPathNewContext(doc.get());
    xmlXPathRegisterNs(context, BAD_CAST "dcc", BAD_CAST "https://ptb.de/dcc");
    xmlXPathRegisterNs(context, BAD_CAST "si", BAD_CAST "https://ptb.de/si");
    xmlXPathObjectPtr found = xmlXPathEvalExpression(BAD_CAST path, context);
    for (int i = 0; found && found->nodesetval && i < found->nodesetval->nodeNr; ++i) {
        xmlChar* text = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
        texts.emplace_back(reinterpret_cast<const char*>(text));
        xmlFree(text);
    }
    xmlXPathFreeObject(found);
    xmlXPathFreeContext(context);
    return texts;
}

DccOptions options() {
    return {"1.1.0", "GB"};
}

TEST(DccSchema, DemoCalibrationsValidate) {
    if (!std::filesystem::exists(schemaFolder() + "/dcc.xsd")) {
        GTEST_SKIP() << "the DCC schemas are not in " << schemaFolder()
                     << " (set KVTLNK_DCC_SCHEMAS): the DCC is not checked against them";
    }
    CertificateContent bare = demo({table("mA", "bar", false)});
    bare.lab.accreditation.clear();
    bare.customer = {};
    bare.item = {"unnamed 3", true, "", "", "", "", "", ""};
    bare.standards.clear();
    bare.temperature.clear();
    bare.humidity.clear();
    bare.authorisedBy.clear();
    bare.asLeft.clear();
    bare.undecoded = {"result 2: no points"};
    const struct {
        const char* name;
        CertificateContent content;
    } cases[] = {
        {"transmitter mA against bar, adjusted", demo({table("mA", "bar", true)})},
        {"volts, mV and °C tables",
         demo({table("V", "V", false), table("mV", "°C", true), table("°C", "mV", false)})},
        {"ohms and hertz", demo({table("Ω", "kΩ", true), table("Hz", "kHz", false)})},
        {"a measuring side only", demo({table("mA", "", false)})},
        {"nothing known but the results", bare},
        {"no table at all", demo({})},
        {"readings shown as text", shownAsText()},
    };
    for (const auto& c : cases) {
        const std::string xml = dccXml(c.content, options());
        EXPECT_EQ(schemaErrors(xml), "") << c.name;
    }
}

TEST(Dcc, PointsAreDsiQuantities) {
    const std::string xml = dccXml(demo({table("mA", "bar", true)}), options());
    // Readings in the instrument's unit, nominals in the unit sourced, as found and as left.
    EXPECT_EQ(select(xml,
                     "//dcc:result[@refType='asFound']//dcc:quantity[@refType="
                     "'basic_measuredValue']/si:real/si:value"),
              (std::vector<std::string>{"4.0031", "12.011", "19.998"}));
    EXPECT_EQ(select(xml,
                     "//dcc:result[@refType='asLeft']//dcc:quantity[@refType="
                     "'basic_measuredValue']/si:real/si:value"),
              (std::vector<std::string>{"12.001"}));
    EXPECT_EQ(select(xml,
                     "//dcc:result[@refType='asFound']//dcc:quantity[@refType="
                     "'basic_nominalValue']/si:real/si:unit")[1],
              "\\bar");
    EXPECT_EQ(select(xml, "(//dcc:quantity[@refType='basic_measuredValue'])[1]/si:real/si:unit"),
              (std::vector<std::string>{"\\milli\\ampere"}));
    // The error carries its expanded uncertainty; a point without one has none.
    EXPECT_EQ(select(xml,
                     "//dcc:result[@refType='asFound']//dcc:quantity[@refType="
                     "'basic_measurementError']/si:real/si:expandedUnc/si:uncertainty"),
              (std::vector<std::string>{"0.0012", "0.0012"}));
    EXPECT_EQ(select(xml, "//dcc:result[@refType='asFound']//dcc:conformity"),
              (std::vector<std::string>{"pass", "fail", "pass"}));
    EXPECT_EQ(select(xml, "//dcc:influenceCondition/dcc:data//si:unit"),
              (std::vector<std::string>{"\\degreecelsius", "\\percent"}));
    EXPECT_EQ(select(xml, "//dcc:statement[@refType='decisionRule']/dcc:convention"),
              (std::vector<std::string>{"simple"}));
    EXPECT_EQ(select(xml, "//dcc:coreData/dcc:uniqueIdentifier"),
              (std::vector<std::string>{"NIL-000042"}));
}

TEST(Dcc, ReadingsThatAreNotNumbersStayTexts) {
    CertificateContent content = shownAsText();
    content.tables[0].rows[2].found.reading = std::string(200000, '9') + ".";
    const std::string xml = dccXml(content, options());
    EXPECT_EQ(
        select(xml, "//dcc:quantity[@refType='basic_measuredValue']/dcc:noQuantity/dcc:content"),
        (std::vector<std::string>{"-OL-", "1.2.3"}));
    // A number is a number at any length; an uncertainty below zero is no uncertainty.
    EXPECT_EQ(select(xml,
                     "//dcc:result[@refType='asFound']//dcc:quantity[@refType="
                     "'basic_measuredValue']/si:real/si:value")
                  .back()
                  .size(),
              200001u);
    EXPECT_EQ(select(xml, "//dcc:result[@refType='asLeft']//si:expandedUnc").size(), 0u);
}

TEST(Dcc, HostileTextsAreEscapedAndReadBack) {
    const struct {
        std::string text, readBack;
    } cases[] = {
        {"<tag a=\"1\">&amp;", "<tag a=\"1\">&amp;"},
        {"x]]>y'\"", "x]]>y'\""},
        {"<![CDATA[z]]>", "<![CDATA[z]]>"},
        {"Ω 4\xe2\x80\x89mA", "Ω 4\xe2\x80\x89mA"},
        // What XML cannot hold becomes U+FFFD: controls, bytes that are not UTF-8.
        {"a\x1b[31mb\x01", "a\xef\xbf\xbd[31mb\xef\xbf\xbd"},
        {std::string("n\0l", 3), "n\xef\xbf\xbdl"},
        {"\xc0\xafz\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbdz\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
    };
    for (const auto& c : cases) {
        CertificateContent content = demo({table("mA", "bar", false)});
        content.item.tag = c.text;
        content.customer.name = c.text;
        content.remarks = c.text;
        const std::string xml = dccXml(content, options());
        EXPECT_EQ(select(xml, "//dcc:item//dcc:identification[dcc:issuer='customer']/dcc:value"),
                  std::vector<std::string>{c.readBack})
            << c.text;
        EXPECT_EQ(select(xml, "//dcc:customer/dcc:name/dcc:content"),
                  std::vector<std::string>{c.readBack})
            << c.text;
        if (std::filesystem::exists(schemaFolder() + "/dcc.xsd")) {
            EXPECT_EQ(schemaErrors(xml), "") << c.text;
        }
    }
}

TEST(Dcc, FrozenContentGivesTheSameBytes) {
    CertificateContent content = demo({table("mA", "bar", true), table("°C", "Ω", false)});
    content.item.tag = "PT-<101> & \"x\"";
    const std::string first = dccXml(content, options());
    // As the archive keeps it and reads it back on a certificate printed again.
    const CertificateContent frozen =
        certificateContentFromJson(nlohmann::json::parse(contentText(content)));
    EXPECT_EQ(dccXml(frozen, options()), first);
    EXPECT_EQ(dccXml(frozen, options()), dccXml(frozen, options()));
    EXPECT_EQ(first.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u);
}

TEST(Dcc, RefusesWhatItCannotState) {
    const struct {
        const char* name;
        CertificateContent content;
        DccOptions options;
        const char* named;
    } cases[] = {
        {"psi", demo({table("mA", "psi", false)}), options(), "psi"},
        {"°F", demo({table("°F", "mV", false)}), options(), "°F"},
        {"inH2O", demo({table("inH₂O", "mA", false)}), options(), "inH₂O"},
        {"a user unit", demo({table("mA", "UDF", false)}), options(), "UDF"},
        {"a lowercase country", demo({}), {"1.1.0", "gb"}, "\"gb\""},
        {"no country", demo({}), {"1.1.0", ""}, "ISO 3166"},
    };
    for (const auto& c : cases) {
        try {
            dccXml(c.content, c.options);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.fault(), Fault::Input) << c.name;
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
    }
    CertificateContent undated = demo({});
    undated.calibrated = "2025-13-01";
    EXPECT_THROW(dccXml(undated, options()), Error);
}

TEST(Dcc, UnitsOfTheInstrumentInDsi) {
    const struct {
        const char* shown;
        std::optional<std::string> dsi;
    } cases[] = {
        {"mA", "\\milli\\ampere"}, {"µA", "\\micro\\ampere"}, {"kΩ", "\\kilo\\ohm"},
        {"MΩ", "\\mega\\ohm"},     {"mV", "\\milli\\volt"},   {"kHz", "\\kilo\\hertz"},
        {"kPa", "\\kilo\\pascal"}, {"mmHg", "\\mmhg"},        {"°C", "\\degreecelsius"},
        {"bar", "\\bar"},          {"mbar", std::nullopt},    {"m°C", std::nullopt},
        {"k%", std::nullopt},      {"psi", std::nullopt},     {"°F", std::nullopt},
        {"", std::nullopt},        {"m", std::nullopt},       {"mm", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dsiUnit(c.shown), c.dsi) << c.shown;
}

}  // namespace
}  // namespace kvtapp
