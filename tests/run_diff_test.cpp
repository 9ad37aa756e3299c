// The diff's command line, run for real: exit status as diff's, the changes to the -o file
// or standard output, nothing written on trouble, and its messages for standard error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nmsbuild/sample.h"
#include "run_support.h"

namespace symdeck::test {
namespace {

using nmsbuild::sampleDatabase;

TEST_F(RunTest, DiffExitStatusAndWhatItWrites) {
    std::vector<uint8_t> edited = sampleDatabase();
    writeFile("a.nms", edited);
    edited[0x701] ^= 1;  // a local variable's name index
    writeFile("b.nms", edited);
    writeFile("text.nms", {'h', 'e', 'l', 'l', 'o'});
    const struct {
        std::vector<std::string> args;
        int status;
        const char* begins;  // what out.txt begins with; "" for no file
        const char* says;    // a part of the console's text
    } cases[] = {
        {{"--diff", "a.nms", "a.nms", "-o", "out.txt"}, 0, "--- ", ""},
        {{"--diff", "a.nms", "b.nms", "-o", "out.txt"}, 1, "--- ", ""},
        {{"--diff", "a.nms", "b.nms", "--json-lines", "-o", "out.txt"}, 1, "{\"line\":\"header\"", ""},
        {{"--diff", "a.nms", "b.nms", "--JSON", "-o", "out.txt"}, 1, "{\"line\":\"header\"", ""},
        {{"--diff", "a.nms", "missing.nms", "-o", "out.txt"}, 2, "", "Can't open nms file"},
        {{"--diff", "text.nms", "a.nms", "-o", "out.txt"}, 2, "", "no nms database"},
        {{"--diff", "a.nms"}, 2, "", "--diff needs the names of two nms files"},
        {{"--diff", "a.nms", "b.nms", "-o", "no/such/folder/out.txt"}, 2, "", ""},
    };
    for (const auto& c : cases) {
        fs::remove(dir_ / "out.txt");
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        EXPECT_EQ(run(c.args), c.status) << line;
        EXPECT_TRUE(consoleToError_) << line;
        EXPECT_NE(console_.find(c.says), std::string::npos) << line << console_;
        if (*c.begins == 0) {
            EXPECT_FALSE(fs::exists(dir_ / "out.txt")) << line;
        } else {
            EXPECT_EQ(readFile("out.txt").rfind(c.begins, 0), 0u) << line;
        }
    }
}

}  // namespace
}  // namespace symdeck::test
