// The fixture of the conversion run's tests: each test in a directory of its own under the
// system's temporary directory, with the files it makes and the run's console text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frontend/command_line.h"
#include "frontend/run.h"
#include "entry/render.h"
#include "test_support.h"

namespace symdeck::test {

namespace fs = std::filesystem;

const std::string kTitle = "\n  NMS symbol database to text converter.\n\n";

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "symdeck-run-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream f(path(name), std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::string readFile(const std::string& name) const {
        std::ifstream f(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    }
    // Runs with the arguments; names not starting with '-', '+' or '/' are taken inside the
    // test's directory.
    int run(std::vector<std::string> args) {
        std::vector<const char*> argv = {"symdeck"};
        for (auto& a : args) {
            if (!a.empty() && a[0] != '-' && a[0] != '+' && a[0] != '/') a = path(a);
            argv.push_back(a.c_str());
        }
        Console console;
        const int status = runConversion(static_cast<int>(argv.size()), argv.data(), console);
        console_ = console.text;
        consoleToError_ = console.toStandardError;
        return status;
    }
    // Everything in the directory, so a test can see that nothing was left behind.
    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
    std::string console_;          // what the run had to say
    bool consoleToError_ = false;  // ... for standard error rather than standard output
};

}  // namespace symdeck::test
