// `dmm decode` from the outside: the built tool is run on files and pipes, and its standard
// output, standard error and exit code are checked. Skipped where the tool is not built (the
// Qt-free sanitizer build).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Result {
    int rc = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The build tree: DMM_BINARY_DIR, or else two levels above this test program (build/tests/).
std::string binaryDir() {
    if (const char* bin = std::getenv("DMM_BINARY_DIR")) return bin;
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return ".";
    std::string path(self, static_cast<std::size_t>(n));
    for (int up = 0; up < 2; ++up) path = path.substr(0, path.rfind('/'));
    return path;
}

class DecodeTool : public ::testing::Test {
protected:
    void SetUp() override {
        tool_ = binaryDir() + "/tools/dmm/dmm";
        if (::access(tool_.c_str(), X_OK) != 0) GTEST_SKIP() << "dmm is not built here";
        char tmpl[] = "/tmp/dmm-decode-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf " + quote(dir_)).c_str());
    }

    std::string writeInput(const std::string& name, const std::string& bytes) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // Runs `dmm decode args...`; with `pipeFrom` set, that file is piped in through cat, so the
    // tool reads a real pipe.
    Result run(const std::vector<std::string>& args, const std::string& pipeFrom = {},
               const std::string& command = "decode") {
        std::string cmd;
        if (!pipeFrom.empty()) cmd = "cat " + quote(pipeFrom) + " | ";
        cmd += quote(tool_) + " " + command;
        for (const auto& a : args) cmd += " " + quote(a);
        if (pipeFrom.empty()) cmd += " < /dev/null";
        cmd += " > " + quote(dir_ + "/out") + " 2> " + quote(dir_ + "/err");
        const int status = std::system(cmd.c_str());
        Result r;
        r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readFile(dir_ + "/out");
        r.err = readFile(dir_ + "/err");
        return r;
    }

    std::string tool_;
    std::string dir_;
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// 0x0A, then frames of nine data bytes, 0x0D, 0x0A.
std::string q32Stream(const std::vector<std::string>& frames) {
    std::string s = "\x0A";
    for (const auto& f : frames) {
        for (char c : f) s += static_cast<char>(0x30 | (c <= '9' ? c - '0' : c - 'A' + 10));
        s += "\x0D\x0A";
    }
    return s;
}

TEST_F(DecodeTool, SerialQ32FileGivesOneJsonObjectPerDecodedFrame) {
    const std::string in =
        "\x31\x32\x0D" + q32Stream({"123453101", "12345B101", "A00003305", "AC0003301"});
    const Result r = run({"--family", "q32", writeInput("q32.bin", in)});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.err, "decoded 3, rejected 1, undecodable 1\n");
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 3u) << r.out;
    EXPECT_EQ(out[0],
              R"({"family":"q32","frame":"123453101DA","value":"123.45","numeric":12345,)"
              R"("dcac":"DC","unit":"V","range":"AUTO","fullscale":200,)"
              R"("digits":{"LcdD0":"1","LcdDa":"2","LcdDb":"3","LcdDc":"4","LcdDd":"5"},)"
              R"("hidden":[],"on":["LcdAuto","LcdP2","LcdV"],"bar":12,"max":"123.45","min":""})");
    EXPECT_NE(out[1].find(R"("value":"-0.L","numeric":-200,)"), std::string::npos) << out[1];
    EXPECT_NE(out[1].find(R"("on":["LcdAuto","LcdFH","LcdP2","LcdV","Lcdm"])"), std::string::npos)
        << out[1];
    EXPECT_NE(out[2].find(R"("value":"L0.")"), std::string::npos) << out[2];
    EXPECT_NE(out[2].find(R"("bar":1,)"), std::string::npos) << out[2];
}

TEST_F(DecodeTool, StandardInputThroughAPipeDecodesAlike) {
    const std::string path = writeInput("q32.bin", q32Stream({"123453101", "543213105"}));
    const Result fromFile = run({"--family", "q32", path});
    const Result fromPipe = run({"--family", "q32"}, path);
    const Result dash = run({"--family", "q32", "-"}, path);
    EXPECT_EQ(fromPipe.rc, 0);
    EXPECT_EQ(fromPipe.out, fromFile.out);
    EXPECT_EQ(dash.out, fromFile.out);
    EXPECT_EQ(fromPipe.err, "decoded 2, rejected 0, undecodable 0\n");
}

TEST_F(DecodeTool, HidLinesInEitherCaseWithBlankLines) {
    const std::string in = "00 00 00\n"
                           "\n"
                           "00 07 31 32 33 34 35 33 31\r\n"
                           "  00\t04 30 31 0d 0a  \n"
                           "00 00\n"
                           "00 05 30 30 30 30 35\n"
                           "00 06 33 31 30 31 0D 0A\n"
                           "00"; // an empty report without a final newline ends the frame
    const Result r = run({"--hid", "--family", "q32", "--separator", ",", writeInput("h", in)});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.err, "decoded 2, rejected 0, undecodable 0\n");
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_NE(out[0].find(R"("value":"123,45")"), std::string::npos) << out[0];
    EXPECT_NE(out[1].find(R"("value":"000,05")"), std::string::npos) << out[1];
}

TEST_F(DecodeTool, HidQ13AndSerialQ31) {
    const std::string q13 = "00 07 17 20 35 4D 5B 61 7F\n00 07 82 97 A0 B0 C0 D4 E0\n00 00\n";
    const Result h = run({"--hid", "--family", "q13", writeInput("q13", q13)});
    EXPECT_EQ(h.rc, 0);
    EXPECT_NE(h.out.find(R"("family":"q13","frame":"705DB1F2700040","value":"1.234",)"),
              std::string::npos)
        << h.out;
    EXPECT_NE(h.out.find(R"("on":["LCD232C","LCDRS","LcdAuto","LcdP1","LcdV"])"), std::string::npos)
        << h.out;

    const std::string q31 = std::string("\x0A\x31\x31\x32\x33\x34\x3B\x30\x30\x32\x0D", 11);
    const Result s = run({"--family", "q31", writeInput("q31", q31)});
    EXPECT_EQ(s.rc, 0);
    EXPECT_NE(s.out.find(R"("frame":"A11234B002D","value":"1.234","numeric":1234,)"),
              std::string::npos)
        << s.out;
}

TEST_F(DecodeTool, Ifqv31SelectsTheCountProfileAndTheLeadingDigit) {
    const std::string path = writeInput("q32.bin", q32Stream({"987653101"}));
    struct Row {
        std::vector<std::string> args;
        const char* bar; // the bar maximum of the profile clamps 98
    };
    const Row rows[] = {
        {{}, R"("bar":20,)"},
        {{"--ifqv31=0"}, R"("bar":40,)"},
        {{"--ifqv31=0", "--count-profile", "2"}, R"("bar":20,)"},
        {{"--count-profile=4"}, R"("bar":40,)"},
        {{"--ifqv31=1"}, R"("bar":20,)"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"--family", "q32", path};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const Result r = run(args);
        EXPECT_EQ(r.rc, 0);
        EXPECT_NE(r.out.find(row.bar), std::string::npos) << r.out;
    }
    // LcdD0's start text shows in a Q13 frame, which never writes that place.
    const std::string q13 =
        writeInput("q13", "\x17\x20\x35\x4D\x5B\x61\x7F\x82\x97\xA0\xB0\xC0\xD4\xE0");
    EXPECT_NE(run({"--family", "q13", q13}).out.find(R"("LcdD0":"1")"), std::string::npos);
    const Result four = run({"--family", "q13", "--ifqv31=0", q13});
    EXPECT_NE(four.out.find(R"("LcdD0":"3")"), std::string::npos) << four.out;
    EXPECT_NE(four.out.find(R"("fullscale":40000,)"), std::string::npos) << four.out;
}

TEST_F(DecodeTool, JsonEscapesQuotesAndControlsAndPassesHighBytes) {
    const std::string path = writeInput("q32.bin", q32Stream({"123453101"}));
    const Result quoteSep = run({"--family", "q32", "--separator", "\"\x01", path});
    EXPECT_NE(quoteSep.out.find(R"("value":"123\"\u000145")"), std::string::npos) << quoteSep.out;
    const Result dot = run({"--family", "q32", "--separator", "\xC2\xB7", path});
    EXPECT_NE(dot.out.find("\"value\":\"123\xC2\xB7"
                           "45\""),
              std::string::npos)
        << dot.out;
}

TEST_F(DecodeTool, BadOptionsAndInputsExitWithTwo) {
    const std::string path = writeInput("q32.bin", q32Stream({"123453101"}));
    const std::vector<std::vector<std::string>> bad = {
        {path},
        {"--family", "q99", path},
        {"--family"},
        {"--hid", "--family", "q31", path},
        {"--family", "q32", "--count-profile", "3", path},
        {"--family", "q32", "--ifqv31=2", path},
        {"--family", "q32", "--frobnicate", path},
        {"--family", "q32", dir_ + "/missing"},
        {"--family", "q32", dir_},
        {"--family", "q32", path, path},
    };
    for (const auto& args : bad) {
        const Result r = run(args);
        EXPECT_EQ(r.rc, 2) << args.back();
        EXPECT_NE(r.err.find("dmm decode: "), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    const Result notHex =
        run({"--hid", "--family", "q32", writeInput("h", "00 00\n\n00 0x31\n00 00\n")});
    EXPECT_EQ(notHex.rc, 2);
    EXPECT_NE(notHex.err.find("line 3"), std::string::npos) << notHex.err;
    const Result tooWide = run({"--hid", "--family", "q32", writeInput("w", "00 100\n")});
    EXPECT_EQ(tooWide.rc, 2);
    EXPECT_NE(tooWide.err.find("line 1"), std::string::npos) << tooWide.err;
}

// Every command parses its options alike: --help and --version on standard output with exit 0,
// an unknown option on standard error with exit 2.
TEST_F(DecodeTool, EveryCommandAnswersHelpAndVersionAlike) {
    for (const std::string command : {"decode", "simulate", "log", "table"}) {
        const Result help = run({"--help"}, {}, command);
        EXPECT_EQ(help.rc, 0) << command;
        EXPECT_EQ(help.out.rfind("usage: dmm " + command, 0), 0u) << help.out;
        EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
        const Result version = run({"--version"}, {}, command);
        EXPECT_EQ(version.rc, 0) << command;
        EXPECT_EQ(version.out, "dmm " + command + " " DMM_TEST_VERSION "\n");
        const Result bad = run({"--frobnicate"}, {}, command);
        EXPECT_EQ(bad.rc, 2) << command;
        EXPECT_EQ(bad.err.rfind("dmm " + command + ": ", 0), 0u) << bad.err;
        EXPECT_TRUE(bad.out.empty()) << bad.out;
    }
}

} // namespace
