// The viewer's page with a database in it (--html): the writer that fills the page's places,
// checked on a small page of its own, and the run, with whichever page this build carries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/html_page.h"
#include "frontend/viewer_page.h"
#include "nmsbuild/sample.h"
#include "run_support.h"

namespace symdeck::test {
namespace {

// The inverse of the page's base64, for the checks.
std::string unbase64(const std::string& text) {
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        const size_t v = kAlphabet.find(c);
        EXPECT_NE(v, std::string::npos) << "not base64: " << c;
        bits = bits << 6 | static_cast<uint32_t>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>(bits >> count & 0xFF);
        }
    }
    return bytes;
}

constexpr PageTemplate kPage{"<p data-left-out=\"", "\" data-name=\"", "\">", "</p>\n"};

std::string page(const std::string& name, const std::vector<uint8_t>& bytes, const SectionSelection& selection = {}) {
    std::string text;
    ReportWriter out(stringSink(text), 0);
    writeHtmlPage(out, kPage, name, NmsImage{bytes.data(), bytes.size()}, selection);
    out.flush();
    return text;
}

TEST(HtmlPage, TheDatabaseNameAndSwitchesInTheirPlaces) {
    SectionSelection selection;
    selection.skipSttb = selection.skipFpod = true;  // kinds 2 and 8
    EXPECT_EQ(page("dir/sub\\App.nms", {'N', 'M', '3', '2', 0xFF}, selection),
              "<p data-left-out=\"260\" data-name=\"App.nms\">Tk0zMv8=</p>\n");
    EXPECT_EQ(page("", {}), "<p data-left-out=\"0\" data-name=\"\"></p>\n");
    EXPECT_EQ(leftOutBits(SectionSelection{true, true, true, true, true, true, true, true}), 0x1FEu);

    // Every length's padding, and every byte value, come back as they went in.
    std::vector<uint8_t> all;
    for (int i = 0; i < 256 * 3 + 2; ++i) all.push_back(static_cast<uint8_t>(i * 7 + i / 256));
    for (size_t size : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{4}, size_t{56}, size_t{57},
                        size_t{58}, size_t{171}, all.size()}) {
        const std::vector<uint8_t> bytes(all.begin(), all.begin() + static_cast<long>(size));
        const std::string text = page("a.nms", bytes);
        const size_t from = text.find("\">") + 2, to = text.rfind("</p>");
        const std::string encoded = text.substr(from, to - from);
        EXPECT_EQ(encoded.size(), (size + 2) / 3 * 4) << size;
        EXPECT_EQ(unbase64(encoded), std::string(bytes.begin(), bytes.end())) << size;
    }
}

// The name is an attribute's value: what HTML reads as markup is escaped, valid UTF-8 stays
// as it is, and each maximal invalid sequence becomes one U+FFFD.
TEST(HtmlPage, NamesEscapedForTheAttribute) {
    const struct {
        std::string name;
        std::string shown;
    } cases[] = {
        {"a\"b'c<d>&e.nms", "a&quot;b&#39;c&lt;d&gt;&amp;e.nms"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80.nms", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80.nms"},
        {"a\xFF" "b.nms", "a&#xFFFD;b.nms"},
        {"a\xE2\x82" "b.nms", "a&#xFFFD;b.nms"},  // a sequence cut short: one replacement
        {"\xC0\xAF.nms", "&#xFFFD;&#xFFFD;.nms"},  // an overlong form: two
        {"\xED\xA0\x80.nms", "&#xFFFD;&#xFFFD;&#xFFFD;.nms"},  // a surrogate: three
        {"x\xE2\x82", "x&#xFFFD;"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(page(c.name, {}), "<p data-left-out=\"0\" data-name=\"" + c.shown + "\"></p>\n") << c.name;
}

// The run: this build's page with the database, under the derived name, -o and -o -; or,
// in a build without the viewer, the one line that says so, and no file.
TEST_F(RunTest, HtmlWritesTheViewerWithTheDatabaseOrSaysThereIsNone) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("App.nms", bytes);
    const std::optional<PageTemplate> viewer = embeddedViewerPage();
    if (!viewer) {
        EXPECT_EQ(run({"App.nms", "--html"}), 1);
        EXPECT_EQ(console_, kTitle + kNoViewerMessage);
        EXPECT_EQ(std::count(console_.begin(), console_.end(), '\n'), 4);
        EXPECT_EQ(listing(), (std::vector<std::string>{"App.nms"}));
        return;
    }
    EXPECT_EQ(run({"App.nms", "--html", "-symd"}), 0);
    EXPECT_EQ(console_, "");
    std::string expected;
    {
        ReportWriter out(stringSink(expected), 0);
        SectionSelection selection;
        selection.skipSymd = true;
        writeHtmlPage(out, *viewer, path("App.nms"), NmsImage{bytes.data(), bytes.size()}, selection);
        out.flush();
    }
    EXPECT_EQ(readFile("App.html"), expected);
    EXPECT_NE(expected.find("data-left-out=\"64\" data-name=\"App.nms\">"), std::string::npos);
    EXPECT_EQ(run({"App.nms", "View.HTML", "--html", "-symd"}), 0);
    EXPECT_EQ(readFile("View.HTML"), expected);
    EXPECT_EQ(run({"App.nms", "--html", "-symd", "-o", "out.page"}), 0);
    EXPECT_EQ(readFile("out.page"), expected);

    // --check walks the database for its status; the page is written all the same.
    auto damaged = bytes;
    damaged.resize(0x640);
    writeFile("d.nms", damaged);
    EXPECT_EQ(run({"d.nms", "--html", "--check"}), 2);
    EXPECT_NE(readFile("d.html").find("data-name=\"d.nms\">"), std::string::npos);
    EXPECT_EQ(run({"d.nms", "--html"}), 0);

    // A database larger than a page holds (a sparse file: its size is what counts) gets
    // one line that sends it to the standalone viewer, and no page.
    for (const bool check : {false, true}) {
        fs::remove(path("big.html"));
        std::ofstream(path("big.nms")).close();
        fs::resize_file(path("big.nms"), kLargestPageDatabase + 1);
        EXPECT_EQ(run(check ? std::vector<std::string>{"big.nms", "--html", "--check"}
                            : std::vector<std::string>{"big.nms", "--html"}),
                  1);
        EXPECT_EQ(console_, kTitle + "  " + path("big.nms") +
                                " is larger than a page holds (256 MiB): open it in the standalone viewer, "
                                "symdeck-viewer.html (make viewer; share/symdeck where symdeck is installed).\n");
        EXPECT_FALSE(fs::exists(path("big.html")));
    }
    fs::resize_file(path("big.nms"), kLargestPageDatabase);
    EXPECT_EQ(run({"big.nms", "--html", "-o", "/dev/null"}), 0);
}

}  // namespace
}  // namespace symdeck::test
